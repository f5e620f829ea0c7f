// The game in the player's language: its own texts translated, Qt's own texts
// too, the window's own seed texts exactly as they are, and English for a
// language the game has no translation for. Each test sets the language as
// the desktop would, before the window is made; no generated locale needed.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <private/qlocale_p.h>
#include <utility>

#include "tests/ui/ui_fixture.h"
#include "ui/keys_window.h"
#include "ui/narration.h"
#include "ui/pause_cover.h"
#include "ui/translations.h"

namespace quillet::testing {
namespace {

// A main window made under `language`; English again afterwards.
class InLanguage : public KeyboardTest {
protected:
    explicit InLanguage(QLocale::Language language) : m_language(language) {}
    void SetUp() override {
        installTranslations(QLocale(m_language));
        KeyboardTest::SetUp();
    }
    void TearDown() override {
        KeyboardTest::TearDown();
        installTranslations(QLocale(QLocale::English));
    }

    // What the F1 window shows: its title and both columns' texts.
    QString keysWindowText() {
        KeysWindow window(m_mainWindow.get());
        return window.windowTitle() + QLatin1Char('\n') + window.keysLabel->text() +
               QLatin1Char('\n') + window.rulesLabel->text();
    }

private:
    QLocale::Language m_language;
};

class Japanese : public InLanguage {
protected:
    Japanese() : InLanguage(QLocale::Japanese) {}
};

class German : public InLanguage {
protected:
    German() : InLanguage(QLocale::German) {}
};

TEST_F(Japanese, EveryTextTheGameAddsIsJapanese) {
    struct Row {
        const char* what;
        QString shown;
        QString expected;  // contained in what is shown
    };
    startFalling();
    m_mainWindow->pause();
    QLineEdit box;
    std::unique_ptr<QMenu> standardMenu(box.createStandardContextMenu());
    const std::vector<Row> rows{
        {"the keys window", keysWindowText(), QStringLiteral("ペアを左へ動かす")},
        {"the rules", keysWindowText(), QStringLiteral("ホールケーキ")},
        {"the pause cover", m_mainWindow->pauseCover->text(), QStringLiteral("一時停止")},
        {"the menu's pause", m_mainWindow->action(Command::Pause)->text(), QStringLiteral("再開")},
        {"the menu's sound switch", m_mainWindow->action(Command::Sound)->text(),
         QStringLiteral("音")},
        {"the failed-save message", HighScoreWindow::notStoredText(),
         QStringLiteral("保存できませんでした")},
        {"a cell's name", m_mainWindow->cellImages[1]->accessibleName(), QStringLiteral("1行2列")},
        {"a spoken message", Narration::newPair(GameMoment::of(game())),
         QStringLiteral("新しいペア")},
        {"Qt's own menu of a text box", standardMenu->actions().first()->text(),
         QStringLiteral("元に戻す")},
        {"the keys' reader text, its lines joined",
         KeysWindow(m_mainWindow.get()).keysLabel->accessibleName(),
         QStringLiteral("ペアを左へ動かす、")},
    };
    for (const Row& row : rows) {
        EXPECT_TRUE(row.shown.contains(row.expected))
            << row.what << ": " << row.shown.toStdString();
    }
}

TEST_F(Japanese, TheWindowsOwnTextsAndPixelsStayAsTheyAre) {
    const QImage japanese = m_mainWindow->grab().toImage();
    EXPECT_EQ(m_mainWindow->windowTitle(), QStringLiteral("ヌビロケーキ"));
    EXPECT_EQ(m_mainWindow->startButton->text(), QStringLiteral("Start"));
    EXPECT_EQ(m_mainWindow->highScoreButton->text(), QStringLiteral("HighScore"));
    EXPECT_EQ(m_mainWindow->nextCaption->text(), QStringLiteral("NEXT"));
    EXPECT_EQ(m_mainWindow->turnButton->toolTip(), QStringLiteral("左右反転"));
    HighScoreWindow scores(const_cast<ScoreBook&>(m_mainWindow->scores()), m_cues,
                           m_mainWindow.get());
    EXPECT_EQ(scores.windowTitle(), QStringLiteral("HighScore"));
    EXPECT_EQ(scores.rankLabels[1]->text(), QStringLiteral("2nd"));
    EXPECT_EQ(scores.closeButton->text(), QStringLiteral("Close"));

    installTranslations(QLocale(QLocale::English));
    MainWindow english(m_cues, *m_store, m_random);
    english.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&english));
    EXPECT_EQ(english.grab().toImage(), japanese) << "the main window differs by language";
}

TEST_F(German, ALanguageWithoutATranslationShowsEnglish) {
    EXPECT_TRUE(keysWindowText().contains(QStringLiteral("Move the pair left")));
    EXPECT_EQ(HighScoreWindow::notStoredText(),
              QStringLiteral("The high scores could not be saved. Close tries again next time."));
    EXPECT_EQ(Narration::slices(1), QStringLiteral("1 slice"));
    // Qt's own texts stay with the game's language.
    QLineEdit box;
    std::unique_ptr<QMenu> standardMenu(box.createStandardContextMenu());
    EXPECT_TRUE(standardMenu->actions().first()->text().contains(QStringLiteral("Undo")));
}

// The languages as the desktop sets them, LANGUAGE listing them in order: Qt's
// own system locale, but for the list, which Qt 6.4 reads from LANGUAGE only
// once a process; LANG, read again, names the locale. The environment and
// Qt's reading of it are put back afterwards.
class DesktopLanguages : public QSystemLocale {
public:
    DesktopLanguages(const char* lang, const char* language) {
        for (const char* name : Names) m_saved.push_back(qgetenv(name));
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANG", lang);
        qputenv("LANGUAGE", language);
        for (const QString& name : QString::fromLatin1(language).split(u':', Qt::SkipEmptyParts)) {
            m_languages << name;
        }
    }
    ~DesktopLanguages() override {
        for (std::size_t i = 0; i < std::size(Names); ++i) {
            if (m_saved[i].isNull()) {
                qunsetenv(Names[i]);
            } else {
                qputenv(Names[i], m_saved[i]);
            }
        }
    }

    // Qt 6.4 (Debian 12) hands the argument over by value, later Qt (6.8 in
    // Debian 13) as an rvalue reference.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    QVariant query(QueryType type, QVariant&& in) const override {
        if (type == UILanguages && !m_languages.isEmpty()) return m_languages;
        return QSystemLocale::query(type, std::move(in));
    }
#else
    QVariant query(QueryType type, QVariant in) const override {
        if (type == UILanguages && !m_languages.isEmpty()) return m_languages;
        return QSystemLocale::query(type, in);
    }
#endif

private:
    static constexpr const char* Names[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};
    std::vector<QByteArray> m_saved;
    QStringList m_languages;
};

struct LanguageRow {
    const char* lang;
    const char* language;
    QString gameText;  // in the keys window
    QString qtText;    // in Qt's menu of a text box
};

// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const LanguageRow& row, std::ostream* os) {
    *os << "LANG=" << row.lang << " LANGUAGE=" << row.language;
}

class OneLanguagePerWindow : public FormTest, public ::testing::WithParamInterface<LanguageRow> {
protected:
    void TearDown() override {
        FormTest::TearDown();
        installTranslations(QLocale(QLocale::English));
    }
};

// Qt's own texts come in the language of the game's file that was found,
// whichever place of the list it holds.
TEST_P(OneLanguagePerWindow, QtsTextsFollowTheGamesLanguage) {
    const LanguageRow& row = GetParam();
    {
        const DesktopLanguages desktop(row.lang, row.language);
        installTranslations(QLocale::system());
    }
    KeysWindow keys(m_mainWindow.get());
    EXPECT_TRUE(keys.keysLabel->text().contains(row.gameText)) << keys.keysLabel->text().toStdString();
    QLineEdit box;
    std::unique_ptr<QMenu> standardMenu(box.createStandardContextMenu());
    EXPECT_TRUE(standardMenu->actions().first()->text().contains(row.qtText))
        << standardMenu->actions().first()->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    LanguageLists, OneLanguagePerWindow,
    ::testing::Values(
        // German first has no game file: English, Qt's texts included.
        LanguageRow{"de_DE.UTF-8", "de:en", QStringLiteral("Move the pair left"),
                    QStringLiteral("&Undo")},
        LanguageRow{"fr_FR.UTF-8", "fr:ja", QStringLiteral("ペアを左へ動かす"),
                    QStringLiteral("元に戻す")},
        LanguageRow{"fr_FR.UTF-8", "fr", QStringLiteral("Move the pair left"),
                    QStringLiteral("&Undo")},
        LanguageRow{"ja_JP.UTF-8", "", QStringLiteral("ペアを左へ動かす"),
                    QStringLiteral("元に戻す")}));

}  // namespace
}  // namespace quillet::testing
