// The fall tick: falling, landing, merging, cakes and their bonuses, speed-up,
// the entry of the next pair and the end of a game. Every test asserts the
// order of the visible effects, never how long anything takes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "game_fixture.h"

namespace quillet::testing {
namespace {

using ::testing::ElementsAre;

using FallTickTest = GameFixture;

bool PairIs(const Game& game, int left, int right) {
    return game.FallingPair[0] == left && game.FallingPair[1] == right;
}

// --- 3 slices over 5 complete a cake, 4 over 6 do not fit ---

class ThreeOverFiveTest : public FallTickTest {
protected:
    void SetUp() override {
        Place("....|.34.|....|.56.|2731", 5, 6, 2300, 3, 2700);
        game.NextPair = {2, 5};
    }
};

TEST_F(ThreeOverFiveTest, TickAMovesBothPiecesDownLeftFirstAndKeepsTheInterval) {
    EXPECT_THAT(Tick(), ElementsAre("cell 9=3", "cell 5=0", "cell 10=4", "cell 6=0", "score 2300",
                                    "cake 3"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|.34.|.56.|2731");
    EXPECT_TRUE(PairIs(game, 9, 10));
    EXPECT_EQ(game.Score, 2300);
    EXPECT_EQ(game.FallInterval, 2700);
}

TEST_F(ThreeOverFiveTest, TickBCompletesACakeOnTheLeftAndLandsTheRightPieceUnmerged) {
    Tick();
    EXPECT_THAT(Tick(), ElementsAre("cue add0", "cell 9=0", "cell 13=8", "cue add", "cell 13=0",
                                    "interval 100", "interval 100", "score 4100", "cake 4"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|..4.|..6.|2731");
    EXPECT_TRUE(PairIs(game, 20, 21));
    EXPECT_EQ(game.Score, 4100);
    EXPECT_EQ(game.CakeCount, 4);
    EXPECT_EQ(game.FallInterval, 2400);
    EXPECT_EQ(game.ChainCount, 1);
}

TEST_F(ThreeOverFiveTest, TickCRestoresTheFallIntervalAndBringsInTheNextPair) {
    Tick();
    Tick();
    random.journal = &view.events;
    random.Deal({0.5, 0.0, 0.5, 0.9});  // the pair after: 1 and 4
    EXPECT_THAT(Tick(),
                ElementsAre("interval 2400", "cell 1=2", "cell 2=5", "random", "random", "next 0=1",
                            "random", "random", "next 1=4", "score 4100", "cake 4"));
    EXPECT_EQ(DrawBoard(game.Board), ".25.|....|..4.|..6.|2731");
    EXPECT_TRUE(PairIs(game, 1, 2));
    EXPECT_EQ(game.ChainCount, 0);
    EXPECT_EQ(game.NextPair[0], 1);
    EXPECT_EQ(game.NextPair[1], 4);
}

TEST_F(ThreeOverFiveTest, BothPiecesCompletingCakesEarnTheSecondCakeBonusOnce) {
    Place("....|.34.|....|.54.|2731", 5, 6, 2300, 3, 2700);
    Tick();
    EXPECT_THAT(Tick(),
                ElementsAre("cue add0", "cell 9=0", "cell 13=8", "cue add", "cell 13=0",
                            "interval 100", "cue add0", "cell 10=0", "cell 14=8", "cue add",
                            "cell 14=0", "cue add2", "interval 100", "score 15900", "cake 5"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|2731");
    EXPECT_EQ(game.Score, 2300 + 13600);
    EXPECT_EQ(game.CakeCount, 5);
    EXPECT_EQ(game.FallInterval, 2400);  // 5 mod 3 = 2: only the 4th cake sped up
    EXPECT_EQ(game.ChainCount, 2);

    Tick();
    EXPECT_EQ(game.ChainCount, 0);
    EXPECT_EQ(view.timer_interval, 2400);
}

// --- Falling and landing ---

TEST_F(FallTickTest, PieceReachingTheBottomRowRestsThereForOneTickBeforeLanding) {
    Place("....|....|....|.34.|....", 13, 14, 0, 0, 2700);
    EXPECT_THAT(Tick(), ElementsAre("cell 17=3", "cell 13=0", "cell 18=4", "cell 14=0", "score 0",
                                    "cake 0"));
    EXPECT_TRUE(PairIs(game, 17, 18));

    EXPECT_THAT(Tick(), ElementsAre("interval 100", "interval 100", "score 0", "cake 0"));
    EXPECT_TRUE(PairIs(game, 20, 21));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|.34.");
}

TEST_F(FallTickTest, PieceInTheLastCellAboveTheBottomRowStillFalls) {
    Place("....|....|....|..34|....", 14, 15);
    EXPECT_THAT(Tick(), ElementsAre("cell 18=3", "cell 14=0", "cell 19=4", "cell 15=0", "score 0",
                                    "cake 0"));
    EXPECT_TRUE(PairIs(game, 18, 19));
}

TEST_F(FallTickTest, BottomRowPieceLandsWhateverTheRestOfTheBoardHolds) {
    Place("7777|1..1|6..6|2..2|3214", 17, 18, 900, 0);
    EXPECT_THAT(Tick(), ElementsAre("interval 100", "interval 100", "score 900", "cake 0"));
    EXPECT_TRUE(PairIs(game, 20, 21));
    EXPECT_EQ(DrawBoard(game.Board), "7777|1..1|6..6|2..2|3214");
}

TEST_F(FallTickTest, PairLandingInOneTickIsFollowedByTheNextPairOnTheNextTick) {
    Place("....|....|....|....|.34.", 17, 18, 0, 0, 2100);
    game.NextPair = {6, 1};
    Tick();
    EXPECT_THAT(Tick(), ElementsAre("interval 2100", "cell 1=6", "cell 2=1", "next 0=1", "next 1=1",
                                    "score 0", "cake 0"));
    EXPECT_TRUE(PairIs(game, 1, 2));
}

TEST_F(FallTickTest, LandedRightPieceIsLandedAgainEveryTickWhileTheLeftOneFalls) {
    Place(".3..|....|....|....|..4.", 1, 21, 0, 0, 2700);
    EXPECT_THAT(Tick(), ElementsAre("cell 5=3", "cell 1=0", "interval 100", "score 0", "cake 0"));
    EXPECT_THAT(Tick(), ElementsAre("cell 9=3", "cell 5=0", "interval 100", "score 0", "cake 0"));
    EXPECT_THAT(Tick(), ElementsAre("cell 13=3", "cell 9=0", "interval 100", "score 0", "cake 0"));
    EXPECT_THAT(Tick(), ElementsAre("cell 17=3", "cell 13=0", "interval 100", "score 0", "cake 0"));
    EXPECT_TRUE(PairIs(game, 17, 21));
    EXPECT_THAT(Tick(), ElementsAre("interval 100", "interval 100", "score 0", "cake 0"));
    EXPECT_TRUE(PairIs(game, 20, 21));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|.34.");
}

TEST_F(FallTickTest, LandedLeftPieceIsLandedAgainBeforeTheRightOneFalls) {
    Place("....|..4.|....|....|.3..", 20, 6);
    EXPECT_THAT(Tick(), ElementsAre("interval 100", "cell 10=4", "cell 6=0", "score 0", "cake 0"));
    EXPECT_THAT(Tick(), ElementsAre("interval 100", "cell 14=4", "cell 10=0", "score 0", "cake 0"));
    EXPECT_TRUE(PairIs(game, 20, 14));
}

TEST_F(FallTickTest, PieceOnTopOfAnotherThatDoesNotFitLandsSilentlyWithoutScoring) {
    // 5 over 4 would be 9 slices: the pieces stay apart.
    Place("....|....|.51.|.4..|.23.", 9, 10, 500, 1, 2700);
    EXPECT_THAT(Tick(),
                ElementsAre("interval 100", "cell 14=1", "cell 10=0", "score 500", "cake 1"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|.5..|.41.|.23.");
    EXPECT_TRUE(PairIs(game, 20, 14));
    EXPECT_EQ(game.Score, 500);
    EXPECT_EQ(game.CakeCount, 1);
    EXPECT_EQ(game.ChainCount, 0);
}

TEST_F(FallTickTest, PiecesThatFitMergeIntoTheLowerCellAndScoreTheirSlices) {
    // 4 over 3 makes 7: no cake.
    Place("....|....|.4..|.3..|.2..", 9, 21, 1000, 1, 2700);
    EXPECT_THAT(Tick(), ElementsAre("cue add0", "cell 9=0", "cell 13=7", "interval 100",
                                    "interval 100", "score 1700", "cake 1"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|.7..|.2..");
    EXPECT_TRUE(PairIs(game, 20, 21));
    EXPECT_EQ(game.Score, 1700);
    EXPECT_EQ(game.CakeCount, 1);
    EXPECT_EQ(game.FallInterval, 2700);
    EXPECT_EQ(game.ChainCount, 0);
}

// --- Cakes and the second-cake bonus ---

TEST_F(FallTickTest, CakeFromAPieceFallingAloneScoresEighteenHundred) {
    Place("....|....|..3.|..5.|..1.", 20, 10, 100, 0, 3000);
    EXPECT_THAT(Tick(), ElementsAre("interval 100", "cue add0", "cell 10=0", "cell 14=8", "cue add",
                                    "cell 14=0", "interval 100", "score 1900", "cake 1"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|..1.");
    EXPECT_EQ(game.CakeCount, 1);
    EXPECT_EQ(game.FallInterval, 2700);
    EXPECT_EQ(game.ChainCount, 1);
}

TEST_F(FallTickTest, SecondCakeOfAPairInALaterTickStillEarnsTheBonus) {
    Place("....|.35.|....|.5..|..3.", 5, 6);
    Tick();  // both fall one row
    Tick();  // left: 3 + 5 = cake; right falls on
    EXPECT_EQ(game.Score, 1800);
    EXPECT_EQ(game.ChainCount, 1);
    EXPECT_THAT(Tick(),
                ElementsAre("interval 100", "cue add0", "cell 14=0", "cell 18=8", "cue add",
                            "cell 18=0", "cue add2", "interval 100", "score 13600", "cake 2"));
    EXPECT_EQ(game.ChainCount, 2);
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|....");
}

TEST_F(FallTickTest, CakesOfDifferentPairsNeverChain) {
    // The previous pair made one cake; the next pair makes one more.
    Place("....|....|....|.5..|....", 20, 21, 1800, 1, 2700, 1);
    game.NextPair = {3, 2};
    Tick();  // enters at 1 and 2
    EXPECT_EQ(game.ChainCount, 0);
    bool bonus_played = false;
    for (int tick = 0; tick < 5; ++tick) {  // fall, fall, cake, fall, land
        for (const std::string& event : Tick()) bonus_played |= event == "cue add2";
    }
    EXPECT_FALSE(bonus_played);
    EXPECT_EQ(game.Score, 3600);
    EXPECT_EQ(game.CakeCount, 2);
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|..2.");
}

// --- Speed ---

TEST_F(FallTickTest, EveryThirdCakeFromTheFirstSpeedsUpDownToFiveHundred) {
    game.resetState();
    std::vector<int> intervals;
    for (int cake = 1; cake <= 40; ++cake) {
        game.Board = ParseBoard("....|..3.|..5.|....|....");
        game.FallingPair = {20, 6};
        game.ChainCount = 0;  // each cake comes from a pair of its own
        Tick();
        ASSERT_EQ(game.CakeCount, cake);
        intervals.push_back(game.FallInterval);
    }
    const std::vector<int> expected = {
        2700, 2700, 2700, 2400, 2400, 2400, 2100, 2100, 2100, 1800,  // cakes 1 to 10
        1800, 1800, 1500, 1500, 1500, 1200, 1200, 1200, 900,  900,   // 11 to 20
        900,  600,  600,  600,  500,  500,  500,  500,  500,  500,   // 21 to 30
        500,  500,  500,  500,  500,  500,  500,  500,  500,  500};  // 31 to 40
    EXPECT_EQ(intervals, expected);
}

TEST_F(FallTickTest, NewFallIntervalWaitsForTheNextPairToEnter) {
    Place("....|..3.|..5.|....|....", 20, 6, 0, 0, 3000);
    Tick();
    EXPECT_EQ(game.FallInterval, 2700);
    EXPECT_EQ(view.timer_interval, 100);
    EXPECT_THAT(Tick(), ::testing::Contains("interval 2700"));
    EXPECT_EQ(view.timer_interval, 2700);
}

// --- The next pair and the end of a game ---

TEST_F(FallTickTest, PairEntersAboveOccupiedCellsAndSettlesOnTheNextTick) {
    Place("....|.56.|.21.|.34.|.13.", 20, 21);
    game.NextPair = {3, 3};
    Tick();
    EXPECT_TRUE(PairIs(game, 1, 2));
    EXPECT_EQ(DrawBoard(game.Board), ".33.|.56.|.21.|.34.|.13.");

    // Left: 3 + 5 completes a cake. Right: 3 + 6 is too much, it stays in cell 2.
    EXPECT_THAT(Tick(), ElementsAre("cue add0", "cell 1=0", "cell 5=8", "cue add", "cell 5=0",
                                    "interval 100", "interval 100", "score 1800", "cake 1"));
    EXPECT_EQ(DrawBoard(game.Board), "..3.|..6.|.21.|.34.|.13.");

    // Cell 2 is taken now: no room for the next pair.
    EXPECT_THAT(Tick(), ::testing::Contains("rank"));
}

TEST_F(FallTickTest, FullOuterColumnsDoNotEndTheGame) {
    Place("1..2|3..4|5..6|7..1|2..3", 20, 21);
    game.NextPair = {4, 4};
    const Events events = Tick();
    EXPECT_THAT(events, ::testing::Not(::testing::Contains("rank")));
    EXPECT_TRUE(PairIs(game, 1, 2));
    EXPECT_EQ(DrawBoard(game.Board), "1442|3..4|5..6|7..1|2..3");
}

TEST_F(FallTickTest, NoRoomInTheEntryCellsEndsTheGameInOrderAndRanksBeforeTheLabels) {
    Place("....|.4..|.3..|.52.|6174", 20, 21, 5000, 2, 2400, 1);
    game.NextPair = {2, 2};
    game.Board[1] = 4;  // the last piece stopped in the entry cell
    view.cells[1] = 4;
    Events seen_by_ranking;
    view.on_rank = [&] {
        seen_by_ranking = view.events;
        EXPECT_EQ(game.Score, 5000);
        EXPECT_EQ(game.CakeCount, 2);
        EXPECT_EQ(game.ChainCount, 0);
        EXPECT_TRUE(PairIs(game, 20, 21));
        EXPECT_FALSE(view.timer_enabled);
    };

    EXPECT_THAT(Tick(), ElementsAre("interval 2400", "timer off", "Left off", "Right off",
                                    "Turn off", "Start on", "rank", "score 5000", "cake 2"));
    EXPECT_EQ(seen_by_ranking.size(), 7u);
    EXPECT_EQ(DrawBoard(game.Board), ".4..|.4..|.3..|.52.|6174");
    EXPECT_EQ(game.NextPair[0], 2);  // the pair that found no room stays in the preview
    EXPECT_EQ(game.NextPair[1], 2);
    EXPECT_EQ(random.taken, 0);
    EXPECT_TRUE(view.IsEnabled(PlayButton::Start));
    EXPECT_FALSE(view.IsEnabled(PlayButton::Left));
    EXPECT_FALSE(view.IsEnabled(PlayButton::Right));
    EXPECT_FALSE(view.IsEnabled(PlayButton::Turn));
}

TEST_F(FallTickTest, OccupiedRightEntryCellAloneEndsTheGame) {
    Place("..1.|..3.|....|....|....", 20, 21);
    EXPECT_THAT(Tick(), ::testing::Contains("rank"));
    EXPECT_FALSE(view.timer_enabled);
}

// --- Counters at their limits ---

TEST_F(FallTickTest, ScoreStopsAtItsLimitInsteadOfWrapping) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    Place("....|....|.3..|.5..|....", 9, 21, kMax - 1800);
    Tick();
    EXPECT_EQ(game.Score, kMax);

    Place("....|....|.3..|.5..|....", 9, 21, kMax - 1000);
    EXPECT_THAT(Tick(), ::testing::Contains("score 2147483647"));
    EXPECT_EQ(game.Score, kMax);

    // A second cake at the limit: 800 + 1000 + 10000 all stop there too.
    Place("....|....|..3.|..5.|....", 20, 10, kMax - 5, 1, 2700, 1);
    Tick();
    EXPECT_EQ(game.Score, kMax);
    EXPECT_EQ(game.ChainCount, 2);
}

TEST_F(FallTickTest, CakeCountStopsAtItsLimitInsteadOfWrapping) {
    Place("....|....|.3..|.5..|....", 9, 21, 0, 32766, 500);
    Tick();
    EXPECT_EQ(game.CakeCount, 32767);
    EXPECT_EQ(game.FallInterval, 500);

    Place("....|....|.3..|.5..|....", 9, 21, 0, 32767, 500);
    EXPECT_THAT(Tick(), ::testing::Contains("cake 32767"));
    EXPECT_EQ(game.CakeCount, 32767);
    EXPECT_EQ(game.FallInterval, 500);
    EXPECT_EQ(game.Score, 1800);  // the cake still scores
}

// --- SetCell ---

TEST_F(FallTickTest, SetCellWithTheCellsOwnCountOnlyRedrawsIt) {
    Place("....|.3..|....|....|....", 5, 21);
    game.SetCell(5, game.Board[5]);
    EXPECT_THAT(view.events, ElementsAre("cell 5=3"));
    EXPECT_EQ(DrawBoard(game.Board), "....|.3..|....|....|....");
}

TEST_F(FallTickTest, SetCellStoresAndShowsAnyCountIncludingEmptyAndWholeCake) {
    Place("....|.3..|....|....|....", 5, 21);
    game.SetCell(5, 0);
    game.SetCell(19, 8);
    EXPECT_THAT(view.events, ElementsAre("cell 5=0", "cell 19=8"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|...8");
    EXPECT_EQ(DrawBoard(view.cells), "....|....|....|....|...8");
    EXPECT_TRUE(PairIs(game, 5, 21));
    EXPECT_EQ(game.Score, 0);
}

}  // namespace
}  // namespace quillet::testing
