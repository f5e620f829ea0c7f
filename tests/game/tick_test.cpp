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

bool pairIs(const Game& game, int left, int right) {
    return game.fallingPair[0] == left && game.fallingPair[1] == right;
}

// --- 3 slices over 5 complete a cake, 4 over 6 do not fit ---

class ThreeOverFiveTest : public FallTickTest {
protected:
    void SetUp() override {
        place("....|.34.|....|.56.|2731", 5, 6, 2300, 3, 2700);
        m_game.nextPair = {2, 5};
    }
};

TEST_F(ThreeOverFiveTest, TickAMovesBothPiecesDownLeftFirstAndKeepsTheInterval) {
    EXPECT_THAT(tick(), ElementsAre("cell 9=3", "cell 5=0", "cell 10=4", "cell 6=0", "score 2300",
                                    "cake 3"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|.34.|.56.|2731");
    EXPECT_TRUE(pairIs(m_game, 9, 10));
    EXPECT_EQ(m_game.score, 2300);
    EXPECT_EQ(m_game.fallInterval, 2700);
}

TEST_F(ThreeOverFiveTest, TickBCompletesACakeOnTheLeftAndLandsTheRightPieceUnmerged) {
    tick();
    EXPECT_THAT(tick(), ElementsAre("cue add0", "cell 9=0", "cell 13=8", "cue add", "cell 13=0",
                                    "interval 100", "interval 100", "score 4100", "cake 4"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|..4.|..6.|2731");
    EXPECT_TRUE(pairIs(m_game, 20, 21));
    EXPECT_EQ(m_game.score, 4100);
    EXPECT_EQ(m_game.cakeCount, 4);
    EXPECT_EQ(m_game.fallInterval, 2400);
    EXPECT_EQ(m_game.chainCount, 1);
}

TEST_F(ThreeOverFiveTest, TickCRestoresTheFallIntervalAndBringsInTheNextPair) {
    tick();
    tick();
    m_random.journal = &m_view.events;
    m_random.deal({0.5, 0.0, 0.5, 0.9});  // the pair after: 1 and 4
    EXPECT_THAT(tick(),
                ElementsAre("interval 2400", "cell 1=2", "cell 2=5", "random", "random", "next 0=1",
                            "random", "random", "next 1=4", "score 4100", "cake 4"));
    EXPECT_EQ(drawBoard(m_game.board), ".25.|....|..4.|..6.|2731");
    EXPECT_TRUE(pairIs(m_game, 1, 2));
    EXPECT_EQ(m_game.chainCount, 0);
    EXPECT_EQ(m_game.nextPair[0], 1);
    EXPECT_EQ(m_game.nextPair[1], 4);
}

TEST_F(ThreeOverFiveTest, BothPiecesCompletingCakesEarnTheSecondCakeBonusOnce) {
    place("....|.34.|....|.54.|2731", 5, 6, 2300, 3, 2700);
    tick();
    EXPECT_THAT(tick(),
                ElementsAre("cue add0", "cell 9=0", "cell 13=8", "cue add", "cell 13=0",
                            "interval 100", "cue add0", "cell 10=0", "cell 14=8", "cue add",
                            "cell 14=0", "cue add2", "interval 100", "score 15900", "cake 5"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|2731");
    EXPECT_EQ(m_game.score, 2300 + 13600);
    EXPECT_EQ(m_game.cakeCount, 5);
    EXPECT_EQ(m_game.fallInterval, 2400);  // 5 mod 3 = 2: only the 4th cake sped up
    EXPECT_EQ(m_game.chainCount, 2);

    tick();
    EXPECT_EQ(m_game.chainCount, 0);
    EXPECT_EQ(m_view.timerInterval, 2400);
}

// --- Falling and landing ---

TEST_F(FallTickTest, PieceReachingTheBottomRowRestsThereForOneTickBeforeLanding) {
    place("....|....|....|.34.|....", 13, 14, 0, 0, 2700);
    EXPECT_THAT(tick(), ElementsAre("cell 17=3", "cell 13=0", "cell 18=4", "cell 14=0", "score 0",
                                    "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 17, 18));

    EXPECT_THAT(tick(), ElementsAre("interval 100", "interval 100", "score 0", "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 20, 21));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|.34.");
}

TEST_F(FallTickTest, PieceInTheLastCellAboveTheBottomRowStillFalls) {
    place("....|....|....|..34|....", 14, 15);
    EXPECT_THAT(tick(), ElementsAre("cell 18=3", "cell 14=0", "cell 19=4", "cell 15=0", "score 0",
                                    "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 18, 19));
}

TEST_F(FallTickTest, BottomRowPieceLandsWhateverTheRestOfTheBoardHolds) {
    place("7777|1..1|6..6|2..2|3214", 17, 18, 900, 0);
    EXPECT_THAT(tick(), ElementsAre("interval 100", "interval 100", "score 900", "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 20, 21));
    EXPECT_EQ(drawBoard(m_game.board), "7777|1..1|6..6|2..2|3214");
}

TEST_F(FallTickTest, PairLandingInOneTickIsFollowedByTheNextPairOnTheNextTick) {
    place("....|....|....|....|.34.", 17, 18, 0, 0, 2100);
    m_game.nextPair = {6, 1};
    tick();
    EXPECT_THAT(tick(), ElementsAre("interval 2100", "cell 1=6", "cell 2=1", "next 0=1", "next 1=1",
                                    "score 0", "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 1, 2));
}

TEST_F(FallTickTest, LandedRightPieceIsLandedAgainEveryTickWhileTheLeftOneFalls) {
    place(".3..|....|....|....|..4.", 1, 21, 0, 0, 2700);
    EXPECT_THAT(tick(), ElementsAre("cell 5=3", "cell 1=0", "interval 100", "score 0", "cake 0"));
    EXPECT_THAT(tick(), ElementsAre("cell 9=3", "cell 5=0", "interval 100", "score 0", "cake 0"));
    EXPECT_THAT(tick(), ElementsAre("cell 13=3", "cell 9=0", "interval 100", "score 0", "cake 0"));
    EXPECT_THAT(tick(), ElementsAre("cell 17=3", "cell 13=0", "interval 100", "score 0", "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 17, 21));
    EXPECT_THAT(tick(), ElementsAre("interval 100", "interval 100", "score 0", "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 20, 21));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|.34.");
}

TEST_F(FallTickTest, LandedLeftPieceIsLandedAgainBeforeTheRightOneFalls) {
    place("....|..4.|....|....|.3..", 20, 6);
    EXPECT_THAT(tick(), ElementsAre("interval 100", "cell 10=4", "cell 6=0", "score 0", "cake 0"));
    EXPECT_THAT(tick(), ElementsAre("interval 100", "cell 14=4", "cell 10=0", "score 0", "cake 0"));
    EXPECT_TRUE(pairIs(m_game, 20, 14));
}

TEST_F(FallTickTest, PieceOnTopOfAnotherThatDoesNotFitLandsSilentlyWithoutScoring) {
    // 5 over 4 would be 9 slices: the pieces stay apart.
    place("....|....|.51.|.4..|.23.", 9, 10, 500, 1, 2700);
    EXPECT_THAT(tick(),
                ElementsAre("interval 100", "cell 14=1", "cell 10=0", "score 500", "cake 1"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|.5..|.41.|.23.");
    EXPECT_TRUE(pairIs(m_game, 20, 14));
    EXPECT_EQ(m_game.score, 500);
    EXPECT_EQ(m_game.cakeCount, 1);
    EXPECT_EQ(m_game.chainCount, 0);
}

TEST_F(FallTickTest, PiecesThatFitMergeIntoTheLowerCellAndScoreTheirSlices) {
    // 4 over 3 makes 7: no cake.
    place("....|....|.4..|.3..|.2..", 9, 21, 1000, 1, 2700);
    EXPECT_THAT(tick(), ElementsAre("cue add0", "cell 9=0", "cell 13=7", "interval 100",
                                    "interval 100", "score 1700", "cake 1"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|.7..|.2..");
    EXPECT_TRUE(pairIs(m_game, 20, 21));
    EXPECT_EQ(m_game.score, 1700);
    EXPECT_EQ(m_game.cakeCount, 1);
    EXPECT_EQ(m_game.fallInterval, 2700);
    EXPECT_EQ(m_game.chainCount, 0);
}

// --- Cakes and the second-cake bonus ---

TEST_F(FallTickTest, CakeFromAPieceFallingAloneScoresEighteenHundred) {
    place("....|....|..3.|..5.|..1.", 20, 10, 100, 0, 3000);
    EXPECT_THAT(tick(), ElementsAre("interval 100", "cue add0", "cell 10=0", "cell 14=8", "cue add",
                                    "cell 14=0", "interval 100", "score 1900", "cake 1"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|..1.");
    EXPECT_EQ(m_game.cakeCount, 1);
    EXPECT_EQ(m_game.fallInterval, 2700);
    EXPECT_EQ(m_game.chainCount, 1);
}

TEST_F(FallTickTest, SecondCakeOfAPairInALaterTickStillEarnsTheBonus) {
    place("....|.35.|....|.5..|..3.", 5, 6);
    tick();  // both fall one row
    tick();  // left: 3 + 5 = cake; right falls on
    EXPECT_EQ(m_game.score, 1800);
    EXPECT_EQ(m_game.chainCount, 1);
    EXPECT_THAT(tick(),
                ElementsAre("interval 100", "cue add0", "cell 14=0", "cell 18=8", "cue add",
                            "cell 18=0", "cue add2", "interval 100", "score 13600", "cake 2"));
    EXPECT_EQ(m_game.chainCount, 2);
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|....");
}

TEST_F(FallTickTest, CakesOfDifferentPairsNeverChain) {
    // The previous pair made one cake; the next pair makes one more.
    place("....|....|....|.5..|....", 20, 21, 1800, 1, 2700, 1);
    m_game.nextPair = {3, 2};
    tick();  // enters at 1 and 2
    EXPECT_EQ(m_game.chainCount, 0);
    bool bonusPlayed = false;
    for (int step = 0; step < 5; ++step) {  // fall, fall, cake, fall, land
        for (const std::string& event : tick()) bonusPlayed |= event == "cue add2";
    }
    EXPECT_FALSE(bonusPlayed);
    EXPECT_EQ(m_game.score, 3600);
    EXPECT_EQ(m_game.cakeCount, 2);
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|..2.");
}

// --- Speed ---

TEST_F(FallTickTest, EveryThirdCakeFromTheFirstSpeedsUpDownToFiveHundred) {
    m_game.resetState();
    std::vector<int> intervals;
    for (int cake = 1; cake <= 40; ++cake) {
        m_game.board = parseBoard("....|..3.|..5.|....|....");
        m_game.fallingPair = {20, 6};
        m_game.chainCount = 0;  // each cake comes from a pair of its own
        tick();
        ASSERT_EQ(m_game.cakeCount, cake);
        intervals.push_back(m_game.fallInterval);
    }
    const std::vector<int> expected = {
        2700, 2700, 2700, 2400, 2400, 2400, 2100, 2100, 2100, 1800,  // cakes 1 to 10
        1800, 1800, 1500, 1500, 1500, 1200, 1200, 1200, 900,  900,   // 11 to 20
        900,  600,  600,  600,  500,  500,  500,  500,  500,  500,   // 21 to 30
        500,  500,  500,  500,  500,  500,  500,  500,  500,  500};  // 31 to 40
    EXPECT_EQ(intervals, expected);
}

TEST_F(FallTickTest, NewFallIntervalWaitsForTheNextPairToEnter) {
    place("....|..3.|..5.|....|....", 20, 6, 0, 0, 3000);
    tick();
    EXPECT_EQ(m_game.fallInterval, 2700);
    EXPECT_EQ(m_view.timerInterval, 100);
    EXPECT_THAT(tick(), ::testing::Contains("interval 2700"));
    EXPECT_EQ(m_view.timerInterval, 2700);
}

// --- The next pair and the end of a game ---

TEST_F(FallTickTest, PairEntersAboveOccupiedCellsAndSettlesOnTheNextTick) {
    place("....|.56.|.21.|.34.|.13.", 20, 21);
    m_game.nextPair = {3, 3};
    tick();
    EXPECT_TRUE(pairIs(m_game, 1, 2));
    EXPECT_EQ(drawBoard(m_game.board), ".33.|.56.|.21.|.34.|.13.");

    // Left: 3 + 5 completes a cake. Right: 3 + 6 is too much, it stays in cell 2.
    EXPECT_THAT(tick(), ElementsAre("cue add0", "cell 1=0", "cell 5=8", "cue add", "cell 5=0",
                                    "interval 100", "interval 100", "score 1800", "cake 1"));
    EXPECT_EQ(drawBoard(m_game.board), "..3.|..6.|.21.|.34.|.13.");

    // Cell 2 is taken now: no room for the next pair.
    EXPECT_THAT(tick(), ::testing::Contains("rank"));
}

TEST_F(FallTickTest, FullOuterColumnsDoNotEndTheGame) {
    place("1..2|3..4|5..6|7..1|2..3", 20, 21);
    m_game.nextPair = {4, 4};
    const Events events = tick();
    EXPECT_THAT(events, ::testing::Not(::testing::Contains("rank")));
    EXPECT_TRUE(pairIs(m_game, 1, 2));
    EXPECT_EQ(drawBoard(m_game.board), "1442|3..4|5..6|7..1|2..3");
}

TEST_F(FallTickTest, NoRoomInTheEntryCellsEndsTheGameInOrderAndRanksBeforeTheLabels) {
    place("....|.4..|.3..|.52.|6174", 20, 21, 5000, 2, 2400, 1);
    m_game.nextPair = {2, 2};
    m_game.board[1] = 4;  // the last piece stopped in the entry cell
    m_view.cells[1] = 4;
    Events seenByRanking;
    m_view.onRank = [&] {
        seenByRanking = m_view.events;
        EXPECT_EQ(m_game.score, 5000);
        EXPECT_EQ(m_game.cakeCount, 2);
        EXPECT_EQ(m_game.chainCount, 0);
        EXPECT_TRUE(pairIs(m_game, 20, 21));
        EXPECT_FALSE(m_view.timerEnabled);
    };

    EXPECT_THAT(tick(), ElementsAre("interval 2400", "timer off", "Left off", "Right off",
                                    "Turn off", "Start on", "rank", "score 5000", "cake 2"));
    EXPECT_EQ(seenByRanking.size(), 7u);
    EXPECT_EQ(drawBoard(m_game.board), ".4..|.4..|.3..|.52.|6174");
    EXPECT_EQ(m_game.nextPair[0], 2);  // the pair that found no room stays in the preview
    EXPECT_EQ(m_game.nextPair[1], 2);
    EXPECT_EQ(m_random.taken, 0);
    EXPECT_TRUE(m_view.isEnabled(PlayButton::Start));
    EXPECT_FALSE(m_view.isEnabled(PlayButton::Left));
    EXPECT_FALSE(m_view.isEnabled(PlayButton::Right));
    EXPECT_FALSE(m_view.isEnabled(PlayButton::Turn));
}

TEST_F(FallTickTest, OccupiedRightEntryCellAloneEndsTheGame) {
    place("..1.|..3.|....|....|....", 20, 21);
    EXPECT_THAT(tick(), ::testing::Contains("rank"));
    EXPECT_FALSE(m_view.timerEnabled);
}

// --- Counters at their limits ---

TEST_F(FallTickTest, ScoreStopsAtItsLimitInsteadOfWrapping) {
    constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
    place("....|....|.3..|.5..|....", 9, 21, Max - 1800);
    tick();
    EXPECT_EQ(m_game.score, Max);

    place("....|....|.3..|.5..|....", 9, 21, Max - 1000);
    EXPECT_THAT(tick(), ::testing::Contains("score 2147483647"));
    EXPECT_EQ(m_game.score, Max);

    // A second cake at the limit: 800 + 1000 + 10000 all stop there too.
    place("....|....|..3.|..5.|....", 20, 10, Max - 5, 1, 2700, 1);
    tick();
    EXPECT_EQ(m_game.score, Max);
    EXPECT_EQ(m_game.chainCount, 2);
}

TEST_F(FallTickTest, CakeCountStopsAtItsLimitInsteadOfWrapping) {
    place("....|....|.3..|.5..|....", 9, 21, 0, 32766, 500);
    tick();
    EXPECT_EQ(m_game.cakeCount, 32767);
    EXPECT_EQ(m_game.fallInterval, 500);

    place("....|....|.3..|.5..|....", 9, 21, 0, 32767, 500);
    EXPECT_THAT(tick(), ::testing::Contains("cake 32767"));
    EXPECT_EQ(m_game.cakeCount, 32767);
    EXPECT_EQ(m_game.fallInterval, 500);
    EXPECT_EQ(m_game.score, 1800);  // the cake still scores
}

// --- setCell ---

TEST_F(FallTickTest, SetCellWithTheCellsOwnCountOnlyRedrawsIt) {
    place("....|.3..|....|....|....", 5, 21);
    m_game.setCell(5, m_game.board[5]);
    EXPECT_THAT(m_view.events, ElementsAre("cell 5=3"));
    EXPECT_EQ(drawBoard(m_game.board), "....|.3..|....|....|....");
}

TEST_F(FallTickTest, SetCellStoresAndShowsAnyCountIncludingEmptyAndWholeCake) {
    place("....|.3..|....|....|....", 5, 21);
    m_game.setCell(5, 0);
    m_game.setCell(19, 8);
    EXPECT_THAT(m_view.events, ElementsAre("cell 5=0", "cell 19=8"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|...8");
    EXPECT_EQ(drawBoard(m_view.cells), "....|....|....|....|...8");
    EXPECT_TRUE(pairIs(m_game, 5, 21));
    EXPECT_EQ(m_game.score, 0);
}

}  // namespace
}  // namespace quillet::testing
