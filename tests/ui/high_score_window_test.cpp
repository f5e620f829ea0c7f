#include <string>

#include <sys/inotify.h>
#include <unistd.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/scores/qstring_printer.h"
#include "tests/ui/ui_fixture.h"
#include "ui/fonts.h"
#include "ui/line_widget.h"

namespace quillet::testing {
namespace {

class HighScoreWindowTest : public FormTest {
protected:
    void prepareStore() override {
        HighScoreTable stored;
        stored.names = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                        QStringLiteral("D"), QStringLiteral("E")};
        stored.scores = {5000, 3000, 3000, 1000, 0};
        ASSERT_TRUE(m_store->save(stored));
    }

    HighScoreTable stored() const {
        HighScoreTable table;
        m_store->load(table);
        return table;
    }

    // Another game, running beside this one over the same file, stores an
    // entry as its Close does.
    void otherGameStores(const QString& name, qint32 score) {
        HighScoreTable ignored;
        ASSERT_TRUE(ScoreStore(m_store->filePath()).mergeAndSave({{name, score}}, ignored));
    }

    // Puts the game one tick away from its end, with `score` points: both
    // pieces landed and the entry cell 1 taken.
    void bringGameToItsLastTick(qint32 score) {
        QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
        m_mainWindow->tick();  // the first pair enters at cells 1 and 2
        Game& game = m_mainWindow->game();
        game.fallingPair = {20, 21};
        game.score = score;
        m_cues.calls.clear();
    }
};

TEST_F(HighScoreWindowTest, ViewingShowsTheTableInTheFixedLayout) {
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("HighScore"));
        EXPECT_EQ(window->size(), QSize(345, 169));
        EXPECT_EQ(window->minimumSize(), window->maximumSize());
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(window->parentWidget(), m_mainWindow.get())
            << "a transient window stays out of the task bar";
        EXPECT_EQ(window->windowIcon().cacheKey(), m_mainWindow->windowIcon().cacheKey());
        EXPECT_EQ(window->palette().color(QPalette::Window), QColor(128, 128, 128));
        EXPECT_EQ(window->rankLabels[0]->text(), QStringLiteral("1st"));
        EXPECT_EQ(window->rankLabels[0]->geometry(), QRect(8, 8, 25, 16));
        EXPECT_EQ(window->rankLabels[1]->geometry(), QRect(8, 32, 28, 16));
        EXPECT_EQ(window->rankLabels[4]->text(), QStringLiteral("5th"));
        EXPECT_EQ(window->rankLabels[4]->geometry(), QRect(8, 104, 26, 16));
        EXPECT_EQ(window->nameLabels[3]->geometry(), QRect(48, 80, 169, 16));
        EXPECT_EQ(window->nameEdits[3]->geometry(), QRect(48, 80, 169, 18));
        EXPECT_EQ(window->scoreLabels[4]->geometry(), QRect(245, 104, 98, 16));
        EXPECT_EQ(window->divider->geometry(), QRect(232, 8, 1, 113));
        EXPECT_EQ(window->closeButton->geometry(), QRect(240, 136, 97, 25));
        EXPECT_EQ(window->nameLabels[0]->palette().color(QPalette::WindowText),
                  QColor(0xFF, 0x0F, 0x7B));
        EXPECT_EQ(window->scoreLabels[1]->palette().color(QPalette::WindowText),
                  QColor(0x17, 0x40, 0xFF));
        EXPECT_EQ(window->rankLabels[2]->palette().color(QPalette::WindowText),
                  QColor(0x02, 0xFF, 0x61));
        EXPECT_EQ(window->nameLabels[4]->palette().color(QPalette::WindowText), QColor(64, 64, 64));
        EXPECT_TRUE(window->scoreLabels[0]->alignment().testFlag(Qt::AlignRight));
        EXPECT_EQ(window->nameLabels[0]->font().family(), CaptionFontFamily);
        EXPECT_EQ(window->closeButton->font().weight(), QFont::Bold);
        EXPECT_EQ(window->nameLabels[1]->text(), QStringLiteral("B"));
        EXPECT_EQ(window->scoreLabels[0]->text(), QStringLiteral("5000"));
        for (QLineEdit* box : window->nameEdits) EXPECT_FALSE(box->isVisible());
        EXPECT_TRUE(window->closeButton->isEnabled());
        EXPECT_EQ(window->focusWidget(), window->closeButton);
        window->reject();
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    EXPECT_EQ(m_cues.calls, std::vector<std::string>{"sync click"});
}

// Viewing shows the table as stored when HighScore is pressed, and Close
// stores the table as it stands then: never the older one the window shows.
TEST_F(HighScoreWindowTest, CloseInViewingStoresTheTableAsStoredNowClicksAndDestroysTheWindow) {
    // The table was reset (its file deleted) after this game loaded it.
    ASSERT_TRUE(QFile::remove(m_store->filePath()));
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->nameLabels[0]->text(), QString());
        EXPECT_EQ(window->scoreLabels[0]->text(), QStringLiteral("0"));
        otherGameStores(QStringLiteral("Other"), 700);  // while the table is on screen
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
        EXPECT_EQ(window->nameLabels[0]->text(), QStringLiteral("Other"));
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    EXPECT_EQ(m_cues.calls, (std::vector<std::string>{"sync click", "sync click"}));
    EXPECT_EQ(stored().names[0], QStringLiteral("Other"));
    EXPECT_EQ(stored().scores[0], 700);
    EXPECT_EQ(stored().scores[1], 0);
    EXPECT_EQ(m_mainWindow->table().names[0], QStringLiteral("Other"));
    EXPECT_EQ(m_mainWindow->highScoreWindow(), nullptr);
}

TEST_F(HighScoreWindowTest, EscapeAndEnterDoNotCloseTheWindow) {
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        QSignalSpy finished(window, &QDialog::finished);
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Enter);
        EXPECT_EQ(finished.count(), 0);
        EXPECT_TRUE(window->isVisible());
        window->close();  // the title bar's close box
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    EXPECT_EQ(m_cues.calls, std::vector<std::string>{"sync click"}) << "only the opening click";
}

TEST_F(HighScoreWindowTest, EveryShowingStartsAfreshFromTheLayout) {
    HighScoreWindow* first = nullptr;
    whenModal([&](QWidget* modal) {
        first = qobject_cast<HighScoreWindow*>(modal);
        first->nameEdits[2]->show();
        first->close();
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    deliverDeferredDeletes();
    whenModal([&](QWidget* modal) {
        auto* second = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(second, nullptr);
        for (QLineEdit* box : second->nameEdits) EXPECT_FALSE(box->isVisible());
        second->reject();
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
}

// Ranking: the worked example of a game ending with 3000 points over the
// table A 5000, B 3000, C 3000, D 1000, E 0.
TEST_F(HighScoreWindowTest, AWinningGameOpensTheWindowWithANameBoxOnItsRow) {
    bringGameToItsLastTick(3000);
    bool shown = false;
    whenModal([&](QWidget* modal) {
        shown = true;
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        // The game is over before the window opens.
        EXPECT_FALSE(m_mainWindow->fallTimer->isActive());
        EXPECT_TRUE(m_mainWindow->startButton->isEnabled());
        EXPECT_FALSE(m_mainWindow->leftButton->isEnabled());
        EXPECT_EQ(m_cues.calls, std::vector<std::string>{"async claps"});
        for (int i = 0; i < 5; ++i) EXPECT_EQ(window->nameEdits[i]->isVisible(), i == 3) << i;
        EXPECT_EQ(window->focusWidget(), window->nameEdits[3]);
        // The new entry has no name until one is typed, never the name of the
        // entry it pushed down.
        const QStringList names{"A", "B", "C", "", "D"};
        const QStringList scores{"5000", "3000", "3000", "3000", "1000"};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(window->nameLabels[i]->text(), names[i]) << i;
            EXPECT_EQ(window->scoreLabels[i]->text(), scores[i]) << i;
        }
        EXPECT_TRUE(window->closeButton->isEnabled()) << "Close works before anything is typed";
        QTest::keyClicks(window->nameEdits[3], QStringLiteral("F"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();
    ASSERT_TRUE(shown);
    const HighScoreTable storedTable = stored();
    EXPECT_EQ(storedTable.names, (std::array<QString, 5>{"A", "B", "C", "F", "D"}));
    EXPECT_EQ(storedTable.scores, (std::array<qint32, 5>{5000, 3000, 3000, 3000, 1000}));
    EXPECT_EQ(m_cues.calls, (std::vector<std::string>{"async claps", "sync click"}));
    EXPECT_EQ(m_mainWindow->scoreDisplay->text(), QStringLiteral("3000"))
        << "labels written after ranking";
}

TEST_F(HighScoreWindowTest, CloseIsDisabledWhileTheChangedNameBoxIsEmpty) {
    bringGameToItsLastTick(6000);
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        QLineEdit* box = window->nameEdits[0];
        QTest::keyClicks(box, QStringLiteral("Ab"));
        EXPECT_TRUE(window->closeButton->isEnabled());
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        EXPECT_FALSE(window->closeButton->isEnabled());
        QTest::mouseClick(window->closeButton,
                          Qt::LeftButton);  // a disabled button delivers no click
        EXPECT_TRUE(window->isVisible());
        box->insert(QStringLiteral("ゆ"));  // as an input method would type it
        EXPECT_TRUE(window->closeButton->isEnabled());
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();
    EXPECT_EQ(stored().names[0], QStringLiteral("ゆ"));
    EXPECT_EQ(stored().scores[0], 6000);
}

// Only keys pressed after the naming window opened reach its name box: S, the
// second key for ↓, held down as the last pair lands types nothing, however
// long it repeats; released and pressed again, it types and repeats as any
// key does. The script is of the S key, held since before the window opened:
// R a repeat, U a release, P a press, X a repeat as an X server without
// detectable auto-repeat sends it (a release and a press with one timestamp,
// not marked as a repeat).
struct HeldKeyRow {
    const char* what;
    const char* script;
    const char* typed;
};

// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const HeldKeyRow& row, std::ostream* os) {
    *os << row.what;
}

class HeldKey : public HighScoreWindowTest, public ::testing::WithParamInterface<HeldKeyRow> {
protected:
    void send(QWidget* to, QEvent::Type type, bool repeat, quint64 timestamp) {
        QKeyEvent key(type, Qt::Key_S, Qt::NoModifier, QStringLiteral("s"), repeat);
        key.setTimestamp(timestamp);
        QApplication::sendEvent(to, &key);
    }
};

TEST_P(HeldKey, TypesOnlyWhatWasPressedAfterTheWindowOpened) {
    const HeldKeyRow& row = GetParam();
    bringGameToItsLastTick(6000);
    // Pressed for the game: the drop's shortcut takes it.
    m_mainWindow->show();
    m_mainWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == m_mainWindow.get(); }));
    QTest::keyPress(m_mainWindow.get(), Qt::Key_S);
    quint64 time = 1000;
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        QLineEdit* box = window->nameEdits[0];
        for (const char* step = row.script; *step != '\0'; ++step) {
            ++time;
            if (*step == 'U' || *step == 'X') send(box, QEvent::KeyRelease, false, time);
            if (*step != 'U') send(box, QEvent::KeyPress, *step == 'R', time);
        }
        EXPECT_EQ(box->text(), QString::fromLatin1(row.typed));
        QTest::keyClicks(box, QStringLiteral("Ann"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();
    EXPECT_EQ(stored().names[0], QString::fromLatin1(row.typed) + QStringLiteral("Ann"));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HeldKey,
    ::testing::Values(HeldKeyRow{"its repeats", "RRRRR", ""},
                      HeldKeyRow{"its repeats as release and press pairs", "XXXX", ""},
                      HeldKeyRow{"its release, then a press and its repeats", "RRUPRR", "sss"},
                      HeldKeyRow{"the same, the repeats as pairs", "XXUPXX", "sss"},
                      HeldKeyRow{"released as the window opened, then pressed twice", "UPUP",
                                 "ss"}));

TEST_F(HighScoreWindowTest, CloseAtOnceStoresAnEmptyName) {
    bringGameToItsLastTick(2000);
    whenModal([&](QWidget* modal) {
        QTest::mouseClick(qobject_cast<HighScoreWindow*>(modal)->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();
    EXPECT_EQ(stored().names[3], QString());
    EXPECT_EQ(stored().scores[3], 2000);
    EXPECT_EQ(stored().names[4], QStringLiteral("D"));
}

// A paste longer than the table shows is cut where the table cuts names, and
// an emoji that the cut would split is left out whole.
TEST_F(HighScoreWindowTest, TheNameBoxKeepsTwoHundredUnitsAndNoHalfCharacter) {
    bringGameToItsLastTick(6000);
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        QLineEdit* box = window->nameEdits[0];
        const QString start(HighScoreWindow::ShownNameLength - 1, QLatin1Char('a'));
        box->insert(start + QString::fromUtf8("😀b"));
        EXPECT_EQ(box->text(), start);
        QTest::keyClicks(box, QStringLiteral("cd"));
        EXPECT_EQ(box->text(), start + QLatin1Char('c'));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();
    EXPECT_EQ(stored().names[0].size(), HighScoreWindow::ShownNameLength);
}

// The first game's Close cannot store the table (a folder stands in the
// file's place): once the window has closed, the player is told, in plain
// text. The next game's Close stores both entries and tells nothing.
TEST_F(HighScoreWindowTest, AFailedSaveIsToldAfterCloseAndTheNextGameStoresBoth) {
    const QString path = m_store->filePath();
    bringGameToItsLastTick(6000);
    QString told;
    whenModal<HighScoreWindow>([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QDir().mkdir(path));
        QTest::keyClicks(window->nameEdits[0], QStringLiteral("Ann"));
        whenModal<QMessageBox>([&](QWidget* box) {
            EXPECT_FALSE(window->isVisible()) << "told after the window closed";
            auto* message = qobject_cast<QMessageBox*>(box);
            told = message->text();
            EXPECT_EQ(message->textFormat(), Qt::PlainText);
            message->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    ::testing::internal::CaptureStderr();
    m_mainWindow->tick();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, HighScoreWindow::notStoredText());
    ASSERT_TRUE(QDir().rmdir(path));

    bringGameToItsLastTick(4000);
    whenModal<HighScoreWindow>([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        QTest::keyClicks(window->nameEdits[1], QStringLiteral("Zoe"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a good save shows nothing";
    EXPECT_EQ(stored().names[0], QStringLiteral("Ann"));
    EXPECT_EQ(stored().names[1], QStringLiteral("Zoe"));
    EXPECT_EQ(stored().scores[1], 4000);
}

// Tells whether a file has been opened since the watch began: a label that
// took a name for markup would open the picture an <img> in it names.
class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0) {
            m_watching = ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(),
                                             IN_OPEN | IN_ACCESS) >= 0;
        }
    }
    ~OpenWatch() {
        if (m_fd >= 0) ::close(m_fd);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool watching() const { return m_watching; }
    bool opened() const {
        alignas(inotify_event) char events[4096];
        return ::read(m_fd, events, sizeof events) > 0;
    }

private:
    int m_fd;
    bool m_watching = false;
};

// Closing the naming window from its title bar stores nothing, but the new
// entry keeps the name typed so far (possibly none), never the name of the
// entry it pushed down; the next Close stores it under that name. A name is
// text: whatever it holds is stored as typed and shown as typed, never taken
// for markup, and a screen reader reads it as typed too. Of a very long name
// the box keeps, and the label shows, the beginning: far more than the label
// has room for.
class TitleBarClose : public HighScoreWindowTest,
                      public ::testing::WithParamInterface<std::string> {};

TEST_P(TitleBarClose, StoresNothingAndKeepsTheNameTypedSoFarForTheNextClose) {
    // A picture that exists, for the name that points at it.
    const QString picture = m_dir.filePath(QStringLiteral("cake.png"));
    QImage cake(64, 64, QImage::Format_RGB32);
    cake.fill(Qt::magenta);
    ASSERT_TRUE(cake.save(picture));
    const OpenWatch pictureWatch(picture);
    ASSERT_TRUE(pictureWatch.watching());
    const QString typed =
        QString::fromStdString(GetParam()).replace(QStringLiteral("{picture}"), picture);
    const QString shown = typed.left(HighScoreWindow::ShownNameLength);

    bringGameToItsLastTick(4000);
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        QTest::keyClicks(window->nameEdits[1], typed);
        window->close();
    });
    m_mainWindow->tick();
    EXPECT_EQ(stored().scores[1], 3000) << "the store is untouched";
    EXPECT_EQ(m_mainWindow->table().scores[1], 4000);
    EXPECT_EQ(m_mainWindow->table().names[1], shown);
    EXPECT_EQ(m_mainWindow->table().names[2], QStringLiteral("B"));
    EXPECT_EQ(m_cues.calls, std::vector<std::string>{"async claps"});

    // The next Close, in a later viewing, stores it.
    deliverDeferredDeletes();
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        QLabel* name = window->nameLabels[1];
        EXPECT_EQ(name->text(), shown);
        EXPECT_EQ(window->scoreLabels[1]->text(), QStringLiteral("4000"));
        window->grab();  // paints every label, as the screen does
        // What the label shows, as a reader is told it: every character as
        // typed, in the row's place.
        const QAccessibleInterface* read = QAccessible::queryAccessibleInterface(name);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->text(QAccessible::Name), shown);
        EXPECT_EQ(name->geometry(), QRect(48, 32, 169, 16));
        const QString row = typed.isEmpty() ? QStringLiteral("2nd, 4000")
                                            : QStringLiteral("2nd, %1, 4000").arg(shown);
        const QAccessibleInterface* rank =
            QAccessible::queryAccessibleInterface(window->rankLabels[1]);
        ASSERT_NE(rank, nullptr);
        EXPECT_EQ(rank->text(QAccessible::Name), row);
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
        EXPECT_EQ(name->text(), shown) << "as stored and read back";
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    EXPECT_EQ(stored().scores[1], 4000);
    EXPECT_EQ(stored().names[1], shown);
    EXPECT_EQ(stored().names[2], QStringLiteral("B"));
    EXPECT_TRUE(m_mainWindow->scores().pending().empty());
    EXPECT_FALSE(pictureWatch.opened()) << "a name loaded a picture";
}

INSTANTIATE_TEST_SUITE_P(TypedOrNot, TitleBarClose,
                         ::testing::Values("Z", "", "<b>Bold</b>", "<s>cake</s> eater", "a<br>b",
                                           "&lt;3 cake", "<img src={picture}>",
                                           std::string(500, 'W')));

// Another game running beside this one stores entries while this one is
// played and while its naming window is open. This game is ranked against the
// table as stored when it ends, and its Close keeps the other game's entries.
TEST_F(HighScoreWindowTest, EntriesAnotherGameStoresMeanwhileAreKept) {
    otherGameStores(QStringLiteral("second"), 4000);  // after this game loaded the table
    bringGameToItsLastTick(3500);
    whenModal([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(window->nameEdits[i]->isVisible(), i == 2) << i;
        EXPECT_EQ(window->nameLabels[1]->text(), QStringLiteral("second"));
        EXPECT_EQ(window->scoreLabels[2]->text(), QStringLiteral("3500"));
        otherGameStores(QStringLiteral("third"), 6000);
        QTest::keyClicks(window->nameEdits[2], QStringLiteral("first"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
        EXPECT_EQ(window->nameLabels[3]->text(), QStringLiteral("first")) << "the merged table";
    });
    m_mainWindow->tick();
    const HighScoreTable storedTable = stored();
    EXPECT_EQ(storedTable.names, (std::array<QString, 5>{"third", "A", "second", "first", "B"}));
    EXPECT_EQ(storedTable.scores, (std::array<qint32, 5>{6000, 5000, 4000, 3500, 3000}));
    EXPECT_EQ(m_mainWindow->table().names, storedTable.names);
    EXPECT_TRUE(m_mainWindow->scores().pending().empty());
}

TEST_F(HighScoreWindowTest, AScoreThatDoesNotEnterChangesNothing) {
    bringGameToItsLastTick(0);
    m_mainWindow->tick();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(m_mainWindow->highScoreWindow(), nullptr);
    EXPECT_TRUE(m_cues.calls.empty());
    EXPECT_EQ(m_mainWindow->table().names[4], QStringLiteral("E"));
    EXPECT_TRUE(m_mainWindow->startButton->isEnabled());
}

TEST_F(HighScoreWindowTest, AGameEndingWhileTheTableIsViewedUsesTheOpenWindow) {
    bringGameToItsLastTick(1500);
    m_mainWindow->fallTimer->stop();  // the test drives the ticks itself
    int modalShowings = 0;
    whenModal([&](QWidget* modal) {
        ++modalShowings;
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        ASSERT_NE(window, nullptr);
        m_mainWindow->tick();  // the game ends underneath
        EXPECT_EQ(QApplication::activeModalWidget(), window) << "not shown twice";
        EXPECT_TRUE(window->nameEdits[3]->isVisible());
        EXPECT_EQ(window->scoreLabels[3]->text(), QStringLiteral("1500"));
        EXPECT_EQ(m_cues.calls, (std::vector<std::string>{"sync click", "async claps"}));
        QTest::keyClicks(window->nameEdits[3], QStringLiteral("G"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    EXPECT_EQ(modalShowings, 1);
    EXPECT_EQ(stored().names[3], QStringLiteral("G"));
    EXPECT_EQ(stored().scores[3], 1500);
}

TEST_F(HighScoreWindowTest, FallTimerKeepsTickingWhileTheTableIsViewed) {
    EXPECT_GE(ticksWhileModal(m_mainWindow->highScoreButton,
                              [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); }),
              3);
}

}  // namespace
}  // namespace quillet::testing
