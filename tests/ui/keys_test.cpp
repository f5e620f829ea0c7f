// The keys of the main window, its pause, its sound switch, its menu and the
// keys and rules window, driven through real key presses on the offscreen
// platform.

#include <optional>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include "scores/sound_setting.h"
#include "scores/store_file.h"
#include "tests/ui/screen_reader.h"
#include "tests/ui/ui_fixture.h"
#include "ui/fall_clock.h"
#include "ui/key_table.h"
#include "ui/keys_window.h"
#include "ui/pause_cover.h"

namespace quillet::testing {
namespace {

enum class Phase { BeforeFirstGame, Falling, Landed, Paused, GameOver };

struct KeyRow {
    const char* what;
    QKeyCombination key;
    Phase phase;
    QPushButton* MainWindow::*button;  // the button the key presses, if any
    bool changesGame;                  // the board, the pair, the score or the timer
    bool readerListens = false;        // a screen reader listens when the key comes
};

// Names the row in test output.
// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const KeyRow& row, std::ostream* os) {
    *os << row.what;
}

class KeyTable : public KeyboardTest, public ::testing::WithParamInterface<KeyRow> {};

struct Snapshot {
    std::array<std::int16_t, rules::CellCount> board;
    std::array<std::int16_t, 2> pair;
    std::int32_t score;
    bool timerActive;
    bool operator==(const Snapshot& other) const {
        return board == other.board && pair == other.pair && score == other.score &&
               timerActive == other.timerActive;
    }
};

TEST_P(KeyTable, PressesItsButtonOnlyWhenEnabledAndNeverMovesTheFocus) {
    const KeyRow& row = GetParam();
    switch (row.phase) {
        case Phase::BeforeFirstGame:
            break;
        case Phase::Falling:
            startFalling();
            break;
        case Phase::Landed:
            landInTheEntryCells();
            break;
        case Phase::Paused:
            startFalling();
            m_mainWindow->pause();
            break;
        case Phase::GameOver:
            landInTheEntryCells();
            m_mainWindow->tick();
            ASSERT_TRUE(m_mainWindow->startButton->isEnabled());
            break;
    }
    QPushButton* button = row.button ? m_mainWindow.get()->*row.button : nullptr;
    std::unique_ptr<QSignalSpy> clicks;
    bool enabled = false;
    if (button) {
        clicks = std::make_unique<QSignalSpy>(button, &QPushButton::clicked);
        enabled = button->isEnabled();
    }
    if (button == m_mainWindow->highScoreButton) {
        whenModal<HighScoreWindow>([](QWidget* window) { window->close(); });
    }
    QWidget* focus = QApplication::focusWidget();
    const auto snapshot = [this] {
        return Snapshot{game().board, game().fallingPair, game().score,
                        m_mainWindow->fallTimer->isActive()};
    };
    const Snapshot before = snapshot();
    std::optional<ScreenReader> reader;
    if (row.readerListens) reader.emplace();

    QTest::keyClick(m_mainWindow.get(), row.key.key(), row.key.keyboardModifiers());

    if (button) {
        EXPECT_EQ(clicks->count(), enabled ? 1 : 0);
    }
    EXPECT_EQ(!(snapshot() == before), row.changesGame);
    // A button that becomes disabled gives its focus away, and a window that
    // opened takes it: neither is the key's doing.
    if (focus->isEnabled() && button != m_mainWindow->highScoreButton &&
        button != m_mainWindow->endButton) {
        EXPECT_EQ(QApplication::focusWidget(), focus) << "the keys never move the focus";
    }
}

using MW = MainWindow;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Keypad = Qt::KeypadModifier;
INSTANTIATE_TEST_SUITE_P(
    EveryKey, KeyTable,
    ::testing::Values(
        KeyRow{"Left moves the falling pair", Qt::Key_Left, Phase::Falling, &MW::leftButton, true},
        KeyRow{"A moves the falling pair", Qt::Key_A, Phase::Falling, &MW::leftButton, true},
        KeyRow{"Right moves the falling pair", Qt::Key_Right, Phase::Falling, &MW::rightButton,
               true},
        KeyRow{"D moves the falling pair", Qt::Key_D, Phase::Falling, &MW::rightButton, true},
        KeyRow{"Up turns the falling pair", Qt::Key_Up, Phase::Falling, &MW::turnButton, true},
        KeyRow{"W turns the falling pair", Qt::Key_W, Phase::Falling, &MW::turnButton, true},
        KeyRow{"Left before the first game", Qt::Key_Left, Phase::BeforeFirstGame,
               &MW::leftButton, false},
        KeyRow{"Right before the first game", Qt::Key_Right, Phase::BeforeFirstGame,
               &MW::rightButton, false},
        KeyRow{"Up after game over", Qt::Key_Up, Phase::GameOver, &MW::turnButton, false},
        KeyRow{"Left while paused", Qt::Key_Left, Phase::Paused, &MW::leftButton, false},
        KeyRow{"Up while paused", Qt::Key_Up, Phase::Paused, &MW::turnButton, false},
        KeyRow{"Down while falling brings the next tick", Qt::Key_Down, Phase::Falling, nullptr,
               true},
        KeyRow{"S while falling brings the next tick", Qt::Key_S, Phase::Falling, nullptr, true},
        KeyRow{"Down before the first game", Qt::Key_Down, Phase::BeforeFirstGame, nullptr,
               false},
        KeyRow{"Down between a landing and the next pair", Qt::Key_Down, Phase::Landed, nullptr,
               false},
        KeyRow{"Down after game over", Qt::Key_Down, Phase::GameOver, nullptr, false},
        KeyRow{"Down while paused", Qt::Key_Down, Phase::Paused, nullptr, false},
        KeyRow{"F2 starts a game", Qt::Key_F2, Phase::BeforeFirstGame, &MW::startButton, true},
        KeyRow{"Ctrl+N starts a game", Ctrl | Qt::Key_N, Phase::GameOver, &MW::startButton, true},
        KeyRow{"F2 during a game", Qt::Key_F2, Phase::Falling, &MW::startButton, false},
        KeyRow{"Ctrl+N while paused", Ctrl | Qt::Key_N, Phase::Paused, &MW::startButton, false},
        KeyRow{"Ctrl+H shows the high scores", Ctrl | Qt::Key_H, Phase::Falling,
               &MW::highScoreButton, false},
        KeyRow{"Ctrl+Q ends", Ctrl | Qt::Key_Q, Phase::Falling, &MW::endButton, false},
        KeyRow{"Ctrl+Q while paused ends", Ctrl | Qt::Key_Q, Phase::Paused, &MW::endButton,
               false},
        // The keypad's arrows play while no screen reader listens; with one,
        // the keypad is its review and plays nothing.
        KeyRow{"keypad Left moves the pair without a reader", Keypad | Qt::Key_Left,
               Phase::Falling, &MW::leftButton, true},
        KeyRow{"keypad Left is the reader's", Keypad | Qt::Key_Left, Phase::Falling, nullptr,
               false, true},
        KeyRow{"keypad Up is the reader's", Keypad | Qt::Key_Up, Phase::Falling, nullptr, false,
               true},
        KeyRow{"keypad Down is the reader's", Keypad | Qt::Key_Down, Phase::Falling, nullptr,
               false, true},
        KeyRow{"Left still moves the pair with a reader", Qt::Key_Left, Phase::Falling,
               &MW::leftButton, true, true}));

using Keyboard = KeyboardTest;

TEST_F(Keyboard, KeysDoNothingWhileAWindowOfTheGameIsOpen) {
    startFalling();
    const auto pair = game().fallingPair;
    bool checked = false;
    whenModal<QMessageBox>([&](QWidget* box) {
        for (Qt::Key key : {Qt::Key_Left, Qt::Key_Down, Qt::Key_P, Qt::Key_F1}) {
            QTest::keyClick(m_mainWindow.get(), key);
        }
        EXPECT_EQ(game().fallingPair, pair);
        EXPECT_FALSE(m_mainWindow->isPaused());
        EXPECT_EQ(QApplication::activeModalWidget(), box) << "no keys window over it";
        checked = true;
        box->close();
    });
    QTest::mouseClick(m_mainWindow->aboutButton, Qt::LeftButton);
    EXPECT_TRUE(checked);
}

// A game played with the down key as often as it does anything ends exactly
// as the same game left to the timer: the key only brings the ticks sooner.
TEST_F(Keyboard, DroppingEndsWithTheSameBoardScoreAndCakesAsWaiting) {
    const std::vector<double> draws{0.5, 0.2, 0.1, 0.9, 0.7, 0.4, 0.3, 0.6, 0.8, 0.05, 0.95};
    const auto play = [&](bool dropping) {
        SequenceRandom random(draws);
        // A table no game beats, so that the game ends without a window.
        HighScoreTable unbeatable;
        unbeatable.scores.fill(rules::ScoreLimit);
        EXPECT_TRUE(m_store->save(unbeatable));
        MainWindow window(m_cues, *m_store, random);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::mouseClick(window.startButton, Qt::LeftButton);
        int drops = 0;
        for (int step = 0; step < 5000 && !window.startButton->isEnabled(); ++step) {
            if (dropping && window.game().isPairFalling()) {
                QTest::keyClick(&window, Qt::Key_Down);
                ++drops;
            } else {
                window.tick();
            }
        }
        EXPECT_TRUE(window.startButton->isEnabled()) << "the game never ended";
        EXPECT_EQ(drops > 0, dropping);
        return std::make_tuple(window.game().board, window.game().score,
                               window.game().cakeCount);
    };
    const auto waited = play(false);
    const auto dropped = play(true);
    EXPECT_EQ(dropped, waited);
    EXPECT_GT(std::get<2>(waited), 0) << "the draws should complete a cake";
}

TEST_F(Keyboard, PauseStopsTheTimerCoversThePiecesAndResumesWhereItWas) {
    startFalling();
    const auto pair = game().fallingPair;
    QTest::keyClick(m_mainWindow.get(), Qt::Key_P);
    ASSERT_TRUE(m_mainWindow->isPaused());
    EXPECT_FALSE(m_mainWindow->fallTimer->isActive());
    EXPECT_EQ(m_mainWindow->action(Command::Pause)->text(), QStringLiteral("Resume"));
    // Nothing of the board or the next pair is left for a screen reader.
    for (QLabel* cell : m_mainWindow->cellImages) EXPECT_FALSE(cell->isVisible());
    for (QLabel* next : m_mainWindow->nextImages) EXPECT_FALSE(next->isVisible());
    ASSERT_NE(m_mainWindow->pauseCover, nullptr);
    EXPECT_TRUE(m_mainWindow->pauseCover->isVisible());
    EXPECT_FALSE(m_mainWindow->pauseCover->accessibleName().isEmpty());
    EXPECT_TRUE(m_mainWindow->scoreDisplay->isVisible());
    EXPECT_FALSE(m_mainWindow->startButton->isEnabled()) << "still a game";

    m_mainWindow->tick();  // a tick already on its way changes nothing
    EXPECT_EQ(game().fallingPair, pair);
    const std::size_t cues = m_cues.calls.size();

    QTest::mouseClick(m_mainWindow->pauseCover, Qt::LeftButton);  // a click resumes
    EXPECT_FALSE(m_mainWindow->isPaused());
    EXPECT_TRUE(m_mainWindow->fallTimer->isActive());
    for (QLabel* cell : m_mainWindow->cellImages) EXPECT_TRUE(cell->isVisible());
    EXPECT_EQ(game().fallingPair, pair);
    EXPECT_EQ(m_cues.calls.size(), cues);
    QTest::keyClick(m_mainWindow.get(), Qt::Key_Pause);
    EXPECT_TRUE(m_mainWindow->isPaused());
    QTest::keyClick(m_mainWindow.get(), Qt::Key_Pause);
    EXPECT_FALSE(m_mainWindow->isPaused());
}

TEST_F(Keyboard, PauseKeyDoesNothingOutsideAGame) {
    QTest::keyClick(m_mainWindow.get(), Qt::Key_P);
    EXPECT_FALSE(m_mainWindow->isPaused());
    landInTheEntryCells();
    m_mainWindow->tick();  // game over
    QTest::keyClick(m_mainWindow.get(), Qt::Key_P);
    EXPECT_FALSE(m_mainWindow->isPaused());
}

// The same game paused with two different boards: the covered window shows
// the very same pixels, so no piece shows through.
TEST_F(Keyboard, CoverHidesEveryPiece) {
    startFalling();
    const auto pausedPicture = [this] {
        m_mainWindow->pause();
        const QImage picture = m_mainWindow->grab().toImage();
        m_mainWindow->resume();
        return picture;
    };
    for (int i = 0; i < rules::CellCount; ++i) game().setCell(i, i % 7 + 1);
    const QImage full = pausedPicture();
    for (int i = 0; i < rules::CellCount; ++i) game().setCell(i, 0);
    m_random.deal({0.5, 0.5});  // another next pair: 3 and 3 instead of 1 and 3
    game().drawNextPair();
    const QImage empty = pausedPicture();
    EXPECT_EQ(full, empty);
    EXPECT_NE(full, m_mainWindow->grab().toImage()) << "the cover shows while paused only";
}

TEST_F(Keyboard, AnotherApplicationOrMinimisingPausesButTheGamesOwnWindowsDoNot) {
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(m_mainWindow->isPaused()) << "no game yet";

    startFalling();
    bool checked = false;
    whenModal<QMessageBox>([&](QWidget* box) {
        EXPECT_FALSE(m_mainWindow->isPaused()) << "the About box leaves the game going";
        emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
        EXPECT_TRUE(m_mainWindow->isPaused()) << "another application took the focus";
        checked = true;
        box->close();
    });
    QTest::mouseClick(m_mainWindow->aboutButton, Qt::LeftButton);
    EXPECT_TRUE(checked);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(m_mainWindow->isPaused()) << "only the player resumes";

    m_mainWindow->resume();
    m_mainWindow->showMinimized();
    EXPECT_TRUE(m_mainWindow->isPaused());
}

// The time left of the interval outlives a pause: the tick after a resume
// comes when the rest of the interval has passed, then the interval goes on.
TEST(FallClockPause, ResumeRunsOutTheTimeLeftThenTheIntervalGoesOn) {
    QObject owner;
    FallClock clock(&owner);
    clock.timer()->start(10000);
    QTest::qWait(20);
    clock.pause();
    clock.resume();
    EXPECT_LT(clock.timer()->interval(), 10000) << "a fresh interval would cost time";
    clock.pause();  // paused twice before the next tick
    clock.resume();
    clock.restart();  // what a drop does: the whole interval from now
    EXPECT_EQ(clock.timer()->interval(), 10000);

    clock.timer()->start(60);
    QTest::qWait(20);
    clock.pause();
    clock.resume();
    const int left = clock.timer()->interval();
    EXPECT_LT(left, 60);
    QSignalSpy ticks(&clock, &FallClock::ticked);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_EQ(clock.timer()->interval(), 60) << "back to the interval after the time left";
    EXPECT_TRUE(clock.timer()->isActive());
}

TEST_F(Keyboard, MSilencesEveryCueAndIsRemembered) {
    ASSERT_TRUE(m_mainWindow->isSoundOn());
    QTest::keyClick(m_mainWindow.get(), Qt::Key_M);
    EXPECT_FALSE(m_mainWindow->isSoundOn());
    EXPECT_FALSE(m_mainWindow->action(Command::Sound)->isChecked());
    EXPECT_FALSE(loadSoundOn(*m_store));
    m_cues.calls.clear();
    startFalling();
    whenModal<HighScoreWindow>([](QWidget* window) { window->close(); });
    QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton);
    EXPECT_TRUE(m_cues.calls.empty()) << "no cue, and no wait for a click";

    activate();
    QTest::keyClick(m_mainWindow.get(), Qt::Key_M);
    EXPECT_TRUE(m_mainWindow->isSoundOn());
    EXPECT_TRUE(loadSoundOn(*m_store));
}

// A store the game may not write, here one past the size cap: M switches the
// sound for the rest of the run all the same, and the file keeps every byte.
class OversizedStore : public KeyboardTest {
protected:
    void prepareStore() override {
        m_bytes = "[Preferences]\nSound=on\n;" + QByteArray(MaxStoreBytes, 'c') + "\n";
        QFile file(m_store->filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(m_bytes), m_bytes.size());
    }
    QByteArray m_bytes;
};

TEST_F(OversizedStore, MStillSilencesTheRunAndTheFileKeepsEveryByte) {
    ::testing::internal::CaptureStderr();
    QTest::keyClick(m_mainWindow.get(), Qt::Key_M);
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "") << "the failed save says so";
    EXPECT_FALSE(m_mainWindow->isSoundOn());
    EXPECT_FALSE(m_mainWindow->action(Command::Sound)->isChecked());
    m_cues.calls.clear();
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    EXPECT_TRUE(m_cues.calls.empty());
    QFile file(m_store->filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == m_bytes);
}

class SoundOffAtStart : public FormTest {
protected:
    void prepareStore() override { ASSERT_TRUE(saveSoundOn(*m_store, false)); }
};

TEST_F(SoundOffAtStart, TheSoundSystemIsNotMadeReadyUntilTheSoundIsOn) {
    m_mainWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_mainWindow.get()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_mainWindow->isSoundOn());
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    EXPECT_EQ(m_cues.prepares, 0);
    EXPECT_TRUE(m_cues.calls.empty());
    m_mainWindow->setSoundOn(true);
    EXPECT_EQ(m_cues.prepares, 1);
}

TEST_F(Keyboard, F1ListsEveryKeyPausesTheGameAndClosesWithEscape) {
    startFalling();
    bool shown = false;
    whenModal<KeysWindow>([&](QWidget* modal) {
        auto* window = qobject_cast<KeysWindow*>(modal);
        EXPECT_TRUE(m_mainWindow->isPaused());
        const QString spoken = window->keysLabel->accessibleName();
        for (const KeyCommand& row : keyTable()) {
            EXPECT_TRUE(window->keysLabel->text().contains(row.name()))
                << row.name().toStdString();
            for (const QKeySequence& key : row.keys) {
                EXPECT_TRUE(spoken.contains(keyText(key) + QStringLiteral(" ")) ||
                            spoken.contains(keyText(key) + QStringLiteral(":")))
                    << keyText(key).toStdString();
            }
        }
        EXPECT_TRUE(window->rulesLabel->text().contains(QStringLiteral("1,800")));
        shown = true;
        QTest::keyClick(window, Qt::Key_Escape);
    });
    QTest::keyClick(m_mainWindow.get(), Qt::Key_F1);
    EXPECT_TRUE(shown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(m_mainWindow->isPaused()) << "resumed only by the player";
}

TEST_F(Keyboard, RightClickOutsideTheButtonsOffersPauseSoundHelpAndZoom) {
    // The texts of the menu that a right click on `widget` opens, if any.
    const auto menuAt = [](QWidget* widget) {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions()) {
                    if (!action->isSeparator()) texts.append(action->text());
                }
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                widget->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(widget, &event);
        QCoreApplication::processEvents();  // the timer, when no menu ran its loop
        return texts;
    };
    const QStringList offered{QStringLiteral("Pause"),       QStringLiteral("Sound"),
                              QStringLiteral("Keys and rules…"), QStringLiteral("Zoom"),
                              QStringLiteral("Full screen")};
    EXPECT_EQ(menuAt(m_mainWindow->cellImages[6]), offered);
    EXPECT_FALSE(m_mainWindow->action(Command::Pause)->isEnabled()) << "no game to pause";
    EXPECT_TRUE(menuAt(m_mainWindow->startButton).isEmpty());
    startFalling();
    EXPECT_EQ(menuAt(m_mainWindow->scoreDisplay), offered);
    EXPECT_TRUE(m_mainWindow->action(Command::Pause)->isEnabled());
}

}  // namespace
}  // namespace quillet::testing
