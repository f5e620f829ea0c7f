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

}  // namespace
}  // namespace quillet::testing
