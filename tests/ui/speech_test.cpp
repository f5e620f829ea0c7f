// What a player who cannot see the board hears: the messages the game hands
// to a screen reader through a scripted game, in order, and nothing at all
// while no reader listens.

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "tests/game/board_text.h"
#include "tests/ui/screen_reader.h"
#include "tests/ui/ui_fixture.h"
#include "ui/announcer.h"
#include "ui/narration.h"
#include "ui/translations.h"

namespace quillet::testing {
namespace {

// The rows below drive the game through these.
class SpeechTest : public KeyboardTest {
public:
    using FormTest::m_mainWindow;
    using KeyboardTest::game;
    using KeyboardTest::landInTheEntryCells;
    using KeyboardTest::startFalling;

    // Puts the pieces of `board` on the board, as a drawing (see board_text.h),
    // with the falling pair at `left` and `right`.
    void arrange(const std::string& board, int left, int right) {
        const BoardCells cells = parseBoard(board);
        for (int i = 0; i < rules::CellCount; ++i) game().setCell(i, cells[i]);
        game().fallingPair = {static_cast<std::int16_t>(left), static_cast<std::int16_t>(right)};
        holdTheTimer();
    }
    // The rows that arrange the board tick by hand.
    void holdTheTimer() { m_mainWindow->fallTimer->stop(); }

    void press(Qt::Key key) { QTest::keyClick(m_mainWindow.get(), key); }
};

struct SpokenRow {
    const char* what;
    // Brings the game to the moment the row is about; whatever it speaks is
    // not the row's business.
    std::function<void(SpeechTest&)> arrange;
    std::function<void(SpeechTest&)> act;
    std::vector<std::string> spoken;
};

// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const SpokenRow& row, std::ostream* os) {
    *os << row.what;
}

class Spoken : public SpeechTest, public ::testing::WithParamInterface<SpokenRow> {};

TEST_P(Spoken, EachEventIsToldInOrder) {
    const SpokenRow& row = GetParam();
    ScreenReader reader;
    row.arrange(*this);
    // Whatever the arranging left waiting is spoken before the row acts.
    QTest::qWait(Announcer::SettleMilliseconds * 2);
    reader.spoken.clear();
    row.act(*this);
    ASSERT_TRUE(reader.waitForSpoken(row.spoken.size())) << "heard only " << reader.spoken.size();
    // A position waiting to settle would come out now.
    QTest::qWait(Announcer::SettleMilliseconds * 2);
    EXPECT_EQ(reader.spoken, row.spoken);
}

const auto Nothing = [](SpeechTest&) {};
const auto Falling = [](SpeechTest& test) { test.startFalling(); };  // 1 and 3 in cells 1, 2
// The next tick ends the game: the entry cells are taken.
const auto Ending = [](SpeechTest& test) {
    test.landInTheEntryCells();
    test.holdTheTimer();
};

INSTANTIATE_TEST_SUITE_P(
    ScriptedGame, Spoken,
    ::testing::Values(
        SpokenRow{"a pair entering, with the pair after it",
                  Nothing,
                  [](SpeechTest& test) {
                      test.startFalling({0.5, 0.0, 0.0, 0.99, 0.5, 0.5});
                  },
                  {"New pair in columns 2 and 3: 1 slice, 7 slices. Next: 3 slices, 1 slice."}},
        SpokenRow{"moves and a turn in quick succession: only where the pair ends up", Falling,
                  [](SpeechTest& test) {
                      test.press(Qt::Key_Left);
                      test.press(Qt::Key_Right);
                      test.press(Qt::Key_Left);
                      test.press(Qt::Key_Up);
                  },
                  {"Row 1, columns 1 and 2: 3 slices, 1 slice."}},
        SpokenRow{"a fall of one row", Falling, [](SpeechTest& test) { test.press(Qt::Key_Down); },
                  {"Row 2, columns 2 and 3: 1 slice, 3 slices."}},
        SpokenRow{"a pair landing on the floor",
                  [](SpeechTest& test) {
                      test.startFalling();
                      test.arrange("....|....|....|....|23..", 16, 17);
                  },
                  [](SpeechTest& test) { test.m_mainWindow->tick(); },
                  {"Landed in row 5, columns 1 and 2."}},
        SpokenRow{"a merge, the partner falling on",
                  [](SpeechTest& test) {
                      test.startFalling();
                      test.arrange("....|....|....|.43.|.2.5", 13, 14);
                  },
                  [](SpeechTest& test) { test.m_mainWindow->tick(); },
                  {"Merged in row 5, column 2: 6 slices. Row 5, column 3: 3 slices."}},
        SpokenRow{"a cake, its score and the speed-up",
                  [](SpeechTest& test) {
                      test.startFalling();
                      test.arrange("....|....|....|.53.|.3..", 13, 14);
                  },
                  [](SpeechTest& test) { test.m_mainWindow->tick(); },
                  {"Cake in row 5, column 2! Score 1800. Faster! Row 5, column 3: 3 slices."}},
        SpokenRow{"two cakes at once",
                  [](SpeechTest& test) {
                      test.startFalling();
                      test.arrange("....|....|....|.53.|.35.", 13, 14);
                  },
                  [](SpeechTest& test) { test.m_mainWindow->tick(); },
                  {"Cake in row 5, column 2! Second cake, in row 5, column 3! Bonus! "
                   "Score 13600. Faster!"}},
        SpokenRow{"a pause and the resume", Falling,
                  [](SpeechTest& test) {
                      test.press(Qt::Key_P);
                      test.press(Qt::Key_P);
                  },
                  {"Paused. P resumes.", "Resumed."}},
        SpokenRow{"a game over that does not rank",
                  Ending,
                  [](SpeechTest& test) { test.m_mainWindow->tick(); },
                  {"Game over. Score 0, not a high score."}},
        SpokenRow{"a game over that ranks, its name and Close",
                  Ending,
                  [](SpeechTest& test) {
                      test.game().score = 5000;
                      whenModal<HighScoreWindow>([](QWidget* modal) {
                          auto* window = static_cast<HighScoreWindow*>(modal);
                          QLineEdit* box = window->nameEdits[0];
                          EXPECT_EQ(box->accessibleDescription(),
                                    QStringLiteral("Game over. Score 5000, 1st place. ") +
                                        Narration::namePrompt());
                          QTest::keyClicks(box, QStringLiteral("Ann"));
                          QTest::mouseClick(window->closeButton, Qt::LeftButton);
                      });
                      test.m_mainWindow->tick();
                  },
                  {"Your score is stored."}},
        SpokenRow{"a game over while the table is open, its name and Close",
                  Ending,
                  [](SpeechTest& test) {
                      test.game().score = 5000;
                      whenModal<HighScoreWindow>([&test](QWidget* modal) {
                          auto* window = static_cast<HighScoreWindow*>(modal);
                          test.m_mainWindow->tick();
                          QTest::keyClicks(window->nameEdits[0], QStringLiteral("Ann"));
                          QTest::mouseClick(window->closeButton, Qt::LeftButton);
                      });
                      test.m_mainWindow->showHighScores();
                  },
                  {"Your score is stored."}},
        SpokenRow{"the table only viewed and closed", Falling,
                  [](SpeechTest& test) {
                      whenModal<HighScoreWindow>([](QWidget* modal) {
                          QTest::mouseClick(static_cast<HighScoreWindow*>(modal)->closeButton,
                                            Qt::LeftButton);
                      });
                      test.m_mainWindow->showHighScores();
                  },
                  {}},
        SpokenRow{"the board by rows, by columns, the next pair, the score and the pair",
                  [](SpeechTest& test) {
                      test.startFalling();
                      test.arrange(".13.|....|....|....|2..7", 1, 2);
                  },
                  [](SpeechTest& test) {
                      for (Qt::Key key : {Qt::Key_R, Qt::Key_C, Qt::Key_N, Qt::Key_I, Qt::Key_L}) {
                          test.press(key);
                      }
                  },
                  {"Row 1: column 2, 1 slice; column 3, 3 slices. Row 5: column 1, 2 slices; "
                   "column 4, 7 slices.",
                   "Column 1: row 5, 2 slices. Column 2: row 1, 1 slice. Column 3: row 1, "
                   "3 slices. Column 4: row 5, 7 slices.",
                   "Next: 1 slice, 3 slices.", "Score 0, 0 cakes.",
                   "Row 1, columns 2 and 3: 1 slice, 3 slices."}},
        SpokenRow{"the board by rows and by columns in Japanese: its own joints",
                  [](SpeechTest& test) {
                      test.startFalling();
                      test.arrange(".13.|....|....|....|2..7", 1, 2);
                  },
                  [](SpeechTest& test) {
                      installTranslations(QLocale(QLocale::Japanese));
                      test.press(Qt::Key_R);
                      test.press(Qt::Key_C);
                      installTranslations(QLocale(QLocale::English));
                  },
                  {"1行：2列に1切れ、3列に3切れ。5行：1列に2切れ、4列に7切れ。",
                   "1列：5行に2切れ。2列：1行に1切れ。3列：1行に3切れ。4列：5行に7切れ。"}},
        SpokenRow{"a read-out while paused keeps the board hidden, not the score", Falling,
                  [](SpeechTest& test) {
                      test.m_mainWindow->pause();
                      test.press(Qt::Key_R);
                      test.press(Qt::Key_I);
                  },
                  {"Paused. P resumes.", "Paused. P resumes.", "Score 0, 0 cakes."}},
        SpokenRow{"a read-out before the first game", Nothing,
                  [](SpeechTest& test) { test.press(Qt::Key_N); },
                  {"No game yet. F2 starts one."}}));

using Speech = SpeechTest;

TEST_F(Speech, StartGivesTheFocusToTheBoardWhereSpacePressesNothing) {
    ScreenReader reader;
    startFalling();
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(m_mainWindow->boardPanel));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "Space opened a window";
}

TEST_F(Speech, NothingAtAllIsSentWhileNoReaderListens) {
    ScreenReader notListening(false);
    startFalling();
    press(Qt::Key_Left);
    press(Qt::Key_Up);
    press(Qt::Key_R);
    arrange("....|....|....|.53.|.45.", 13, 14);
    m_mainWindow->tick();  // a cake and a merge
    m_mainWindow->pause();
    m_mainWindow->resume();
    QTest::qWait(Announcer::SettleMilliseconds * 2);
    EXPECT_EQ(notListening.commentary, 0) << "of " << notListening.events << " events";
    EXPECT_TRUE(notListening.spoken.empty());
    // Nor was anything made to be sent: no name followed the board, and there
    // is no notification to speak through.
    EXPECT_NE(game().board[17], 0);
    EXPECT_EQ(m_mainWindow->cellImages[17]->accessibleName(), Narration::cellName(17, 0));
    EXPECT_EQ(m_mainWindow->findChild<QWidget*>(QStringLiteral("quillet-notice")), nullptr);
}

}  // namespace
}  // namespace quillet::testing
