// Pressing Start: the order of its effects, what it resets and what it leaves
// alone, and the first tick of the game that it begins.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "game_fixture.h"

namespace quillet::testing {
namespace {

using ::testing::ElementsAreArray;

class StartTest : public GameFixture {
protected:
    // Ends a game with 5000 points and 2 cakes at a fall interval of 2400: the
    // pair has landed and cell 1 is taken, so the tick finds no room.
    void finishAGame() {
        place(".4..|.4..|.3..|.52.|6174", 20, 21, 5000, 2, 2400);
        ASSERT_THAT(tick(), ::testing::Contains("rank"));
        ASSERT_TRUE(m_view.isEnabled(PlayButton::Start));
        ASSERT_FALSE(m_view.timerEnabled);
    }
};

TEST_F(StartTest, EmptiesCellsInOrderThenDrawsThenSwitchesControlsThenPlaysStart) {
    m_random.deal({0.0, 0.9, 0.5, 0.1});  // left piece wide range: 7; right narrow: 1
    m_random.journal = &m_view.events;

    m_game.start();

    Events expected;
    for (int cell = 0; cell < 20; ++cell) expected.push_back("cell " + std::to_string(cell) + "=0");
    expected.insert(expected.end(),
                    {"random", "random", "next 0=7", "random", "random", "next 1=1", "Start off",
                     "Left on", "Right on", "Turn on", "timer on", "cue start"});
    EXPECT_THAT(m_view.events, ElementsAreArray(expected));
    EXPECT_EQ(m_random.taken, 4);
}

TEST_F(StartTest, ResetsBoardCountersAndPairMidGame) {
    place("....|.34.|..1.|.56.|2..1", 5, 6, 41200, 17, 1200, 1);
    m_game.nextPair = {6, 6};
    m_random.deal({0.5, 0.5});  // narrow range, 3 each

    m_game.start();

    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|....");
    EXPECT_EQ(drawBoard(m_view.cells), "....|....|....|....|....");
    EXPECT_EQ(m_game.fallingPair[0], 20);
    EXPECT_EQ(m_game.fallingPair[1], 21);
    EXPECT_EQ(m_game.score, 0);
    EXPECT_EQ(m_game.cakeCount, 0);
    EXPECT_EQ(m_game.fallInterval, 3000);
    EXPECT_EQ(m_game.nextPair[0], 3);
    EXPECT_EQ(m_game.nextPair[1], 3);
    EXPECT_EQ(m_view.next[0], 3);
    EXPECT_EQ(m_view.next[1], 3);
}

TEST_F(StartTest, LeavesLabelsTimerIntervalAndChainCountAsTheyWere) {
    finishAGame();
    m_game.chainCount = 1;  // the reset does not own it
    m_view.events.clear();

    m_game.start();

    for (const std::string& event : m_view.events) {
        EXPECT_EQ(event.rfind("score", 0), std::string::npos) << event;
        EXPECT_EQ(event.rfind("cake", 0), std::string::npos) << event;
        EXPECT_EQ(event.rfind("interval", 0), std::string::npos) << event;
    }
    EXPECT_EQ(m_view.scoreCaption, "5000");
    EXPECT_EQ(m_view.cakeCaption, "2");
    EXPECT_EQ(m_view.timerInterval, 2400);
    EXPECT_EQ(m_game.chainCount, 1);
}

TEST_F(StartTest, AfterGameOverPlayingPhaseReturnsAndFirstTickShowsZeros) {
    finishAGame();
    m_game.start();

    EXPECT_FALSE(m_view.isEnabled(PlayButton::Start));
    EXPECT_TRUE(m_view.isEnabled(PlayButton::Left));
    EXPECT_TRUE(m_view.isEnabled(PlayButton::Right));
    EXPECT_TRUE(m_view.isEnabled(PlayButton::Turn));
    EXPECT_TRUE(m_view.timerEnabled);
    EXPECT_EQ(m_game.score, 0);
    EXPECT_EQ(m_game.cakeCount, 0);
    EXPECT_EQ(m_game.fallInterval, 3000);
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|....");

    const auto left = m_game.nextPair[0];
    const auto right = m_game.nextPair[1];
    m_random.deal({0.9, 0.5});  // the pair after: 3 and 3
    EXPECT_THAT(tick(),
                ElementsAreArray<std::string>({"interval 3000", "cell 1=" + std::to_string(left),
                                               "cell 2=" + std::to_string(right), "next 0=3",
                                               "next 1=3", "score 0", "cake 0"}));
}

TEST_F(StartTest, FirstStartOfRunClearsTheAlreadyEmptyBoardAndFirstTickBringsInThePreview) {
    m_random.deal({0.0, 0.3, 0.9, 0.9});  // preview: 3 on the left, 4 on the right
    m_game.start();
    ASSERT_EQ(std::count_if(m_view.events.begin(), m_view.events.end(),
                            [](const std::string& e) { return e.rfind("cell ", 0) == 0; }),
              20);
    ASSERT_EQ(m_game.nextPair[0], 3);
    ASSERT_EQ(m_game.nextPair[1], 4);

    tick();

    EXPECT_EQ(drawBoard(m_game.board), ".34.|....|....|....|....");
    EXPECT_EQ(m_game.fallingPair[0], 1);
    EXPECT_EQ(m_game.fallingPair[1], 2);
    EXPECT_EQ(m_game.chainCount, 0);
    EXPECT_EQ(m_view.timerInterval, 3000);
    EXPECT_EQ(m_random.taken, 8);
}

TEST_F(StartTest, NewGameContinuesTheRandomSequenceWithoutReseeding) {
    m_game.start();
    tick();
    finishAGame();
    const int before = m_random.taken;

    m_game.start();

    EXPECT_EQ(m_random.taken, before + 4);
    EXPECT_EQ(m_random.seedCalls, 0);
}

}  // namespace
}  // namespace quillet::testing
