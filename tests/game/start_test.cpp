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
    void FinishAGame() {
        Place(".4..|.4..|.3..|.52.|6174", 20, 21, 5000, 2, 2400);
        ASSERT_THAT(Tick(), ::testing::Contains("rank"));
        ASSERT_TRUE(view.IsEnabled(PlayButton::Start));
        ASSERT_FALSE(view.timer_enabled);
    }
};

TEST_F(StartTest, EmptiesCellsInOrderThenDrawsThenSwitchesControlsThenPlaysStart) {
    random.Deal({0.0, 0.9, 0.5, 0.1});  // left piece wide range: 7; right narrow: 1
    random.journal = &view.events;

    game.start();

    Events expected;
    for (int cell = 0; cell < 20; ++cell) expected.push_back("cell " + std::to_string(cell) + "=0");
    expected.insert(expected.end(),
                    {"random", "random", "next 0=7", "random", "random", "next 1=1", "Start off",
                     "Left on", "Right on", "Turn on", "timer on", "cue start"});
    EXPECT_THAT(view.events, ElementsAreArray(expected));
    EXPECT_EQ(random.taken, 4);
}

TEST_F(StartTest, ResetsBoardCountersAndPairMidGame) {
    Place("....|.34.|..1.|.56.|2..1", 5, 6, 41200, 17, 1200, 1);
    game.NextPair = {6, 6};
    random.Deal({0.5, 0.5});  // narrow range, 3 each

    game.start();

    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|....");
    EXPECT_EQ(DrawBoard(view.cells), "....|....|....|....|....");
    EXPECT_EQ(game.FallingPair[0], 20);
    EXPECT_EQ(game.FallingPair[1], 21);
    EXPECT_EQ(game.Score, 0);
    EXPECT_EQ(game.CakeCount, 0);
    EXPECT_EQ(game.FallInterval, 3000);
    EXPECT_EQ(game.NextPair[0], 3);
    EXPECT_EQ(game.NextPair[1], 3);
    EXPECT_EQ(view.next[0], 3);
    EXPECT_EQ(view.next[1], 3);
}

TEST_F(StartTest, LeavesLabelsTimerIntervalAndChainCountAsTheyWere) {
    FinishAGame();
    game.ChainCount = 1;  // the reset does not own it
    view.events.clear();

    game.start();

    for (const std::string& event : view.events) {
        EXPECT_EQ(event.rfind("score", 0), std::string::npos) << event;
        EXPECT_EQ(event.rfind("cake", 0), std::string::npos) << event;
        EXPECT_EQ(event.rfind("interval", 0), std::string::npos) << event;
    }
    EXPECT_EQ(view.score_caption, "5000");
    EXPECT_EQ(view.cake_caption, "2");
    EXPECT_EQ(view.timer_interval, 2400);
    EXPECT_EQ(game.ChainCount, 1);
}

TEST_F(StartTest, AfterGameOverPlayingPhaseReturnsAndFirstTickShowsZeros) {
    FinishAGame();
    game.start();

    EXPECT_FALSE(view.IsEnabled(PlayButton::Start));
    EXPECT_TRUE(view.IsEnabled(PlayButton::Left));
    EXPECT_TRUE(view.IsEnabled(PlayButton::Right));
    EXPECT_TRUE(view.IsEnabled(PlayButton::Turn));
    EXPECT_TRUE(view.timer_enabled);
    EXPECT_EQ(game.Score, 0);
    EXPECT_EQ(game.CakeCount, 0);
    EXPECT_EQ(game.FallInterval, 3000);
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|....");

    const auto left = game.NextPair[0];
    const auto right = game.NextPair[1];
    random.Deal({0.9, 0.5});  // the pair after: 3 and 3
    EXPECT_THAT(Tick(),
                ElementsAreArray<std::string>({"interval 3000", "cell 1=" + std::to_string(left),
                                               "cell 2=" + std::to_string(right), "next 0=3",
                                               "next 1=3", "score 0", "cake 0"}));
}

TEST_F(StartTest, FirstStartOfRunClearsTheAlreadyEmptyBoardAndFirstTickBringsInThePreview) {
    random.Deal({0.0, 0.3, 0.9, 0.9});  // preview: 3 on the left, 4 on the right
    game.start();
    ASSERT_EQ(std::count_if(view.events.begin(), view.events.end(),
                            [](const std::string& e) { return e.rfind("cell ", 0) == 0; }),
              20);
    ASSERT_EQ(game.NextPair[0], 3);
    ASSERT_EQ(game.NextPair[1], 4);

    Tick();

    EXPECT_EQ(DrawBoard(game.Board), ".34.|....|....|....|....");
    EXPECT_EQ(game.FallingPair[0], 1);
    EXPECT_EQ(game.FallingPair[1], 2);
    EXPECT_EQ(game.ChainCount, 0);
    EXPECT_EQ(view.timer_interval, 3000);
    EXPECT_EQ(random.taken, 8);
}

TEST_F(StartTest, NewGameContinuesTheRandomSequenceWithoutReseeding) {
    game.start();
    Tick();
    FinishAGame();
    const int before = random.taken;

    game.start();

    EXPECT_EQ(random.taken, before + 4);
    EXPECT_EQ(random.seed_calls, 0);
}

}  // namespace
}  // namespace quillet::testing
