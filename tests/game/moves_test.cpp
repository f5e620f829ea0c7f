// Left, Right and Turn between ticks: where they take the pieces, when they are
// refused, and that they never touch anything but the board and the pair.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "game_fixture.h"

namespace quillet::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class MovesTest : public GameFixture {
protected:
    bool PairIs(int left, int right) const {
        return game.FallingPair[0] == left && game.FallingPair[1] == right;
    }
    Events Left() { return Click(&Game::moveLeft); }
    Events Right() { return Click(&Game::moveRight); }
    Events Turn() { return Click(&Game::swapPieces); }

private:
    Events Click(void (Game::*move)()) {
        view.events.clear();
        (game.*move)();
        return view.events;
    }
};

// --- Left and Right from the entry cells and against the walls ---

TEST_F(MovesTest, LeftFromTheEntryCellsReachesTheWallAndStops) {
    Place(".34.|....|....|....|....", 1, 2);
    EXPECT_THAT(Left(), ElementsAre("cell 0=3", "cell 1=0", "cell 1=4", "cell 2=0"));
    EXPECT_TRUE(PairIs(0, 1));
    EXPECT_EQ(DrawBoard(game.Board), "34..|....|....|....|....");

    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_TRUE(PairIs(0, 1));
    EXPECT_EQ(DrawBoard(game.Board), "34..|....|....|....|....");
}

TEST_F(MovesTest, RightFromTheEntryCellsReachesTheWallAndStops) {
    Place(".34.|....|....|....|....", 1, 2);
    EXPECT_THAT(Right(), ElementsAre("cell 3=4", "cell 2=0", "cell 2=3", "cell 1=0"));
    EXPECT_TRUE(PairIs(2, 3));
    EXPECT_EQ(DrawBoard(game.Board), "..34|....|....|....|....");

    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_TRUE(PairIs(2, 3));
}

TEST_F(MovesTest, RightAtTheRightWallNeverWrapsIntoTheNextRowOrOffTheBoard) {
    Place("....|..34|....|....|....", 6, 7);
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_EQ(DrawBoard(game.Board), "....|..34|....|....|....");

    Place("....|....|....|....|..34", 18, 19);
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_TRUE(PairIs(18, 19));
}

TEST_F(MovesTest, LeftAtTheLeftWallNeverWrapsIntoThePreviousRow) {
    Place("....|....|34..|....|....", 8, 9);
    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_EQ(DrawBoard(game.Board), "....|....|34..|....|....");
}

TEST_F(MovesTest, OccupiedCellBesideTheLeadingPieceBlocksTheWholeMove) {
    Place("....|....|7341|....|....", 9, 10);
    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_TRUE(PairIs(9, 10));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|7341|....|....");
}

TEST_F(MovesTest, OnlyTheLeadingSideIsLookedAt) {
    // Something on the right does not stop a move to the left, and the other way round.
    Place("....|.342|....|....|....", 5, 6);
    EXPECT_THAT(Left(), ElementsAre("cell 4=3", "cell 5=0", "cell 5=4", "cell 6=0"));
    Place("....|134.|....|....|....", 5, 6);
    EXPECT_THAT(Right(), ElementsAre("cell 7=4", "cell 6=0", "cell 6=3", "cell 5=0"));
}

// --- One piece landed ---

TEST_F(MovesTest, WithTheRightPieceLandedOnlyLeftMovesTheLeftPieceAlone) {
    Place("....|.3..|....|....|..4.", 5, 21);
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_THAT(Left(), ElementsAre("cell 4=3", "cell 5=0"));
    EXPECT_TRUE(PairIs(4, 21));
    EXPECT_EQ(DrawBoard(game.Board), "....|3...|....|....|..4.");
}

TEST_F(MovesTest, WithTheLeftPieceLandedOnlyRightMovesTheRightPieceAlone) {
    // The cell to the left of the right piece is empty, and Left is refused all the same.
    Place("....|....|..4.|....|.3..", 20, 10);
    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_THAT(Right(), ElementsAre("cell 11=4", "cell 10=0"));
    EXPECT_TRUE(PairIs(20, 11));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|...4|....|.3..");
}

// --- Turn ---

TEST_F(MovesTest, TurnSwapsTheCountsAndRedrawsLeftThenRight) {
    Place("....|.36.|....|....|....", 5, 6);
    EXPECT_THAT(Turn(), ElementsAre("cell 5=6", "cell 6=3"));
    EXPECT_TRUE(PairIs(5, 6));
    EXPECT_EQ(DrawBoard(game.Board), "....|.63.|....|....|....");

    EXPECT_THAT(Turn(), ElementsAre("cell 5=3", "cell 6=6"));
    EXPECT_EQ(DrawBoard(game.Board), "....|.36.|....|....|....");
}

TEST_F(MovesTest, TurnOfEqualCountsStillRedrawsBothCells) {
    Place("....|....|....|22..|....", 12, 13);
    EXPECT_THAT(Turn(), ElementsAre("cell 12=2", "cell 13=2"));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|22..|....");
}

TEST_F(MovesTest, TurnWithOnePieceLandedDoesNothing) {
    Place("....|.3..|....|....|..4.", 5, 21);
    EXPECT_THAT(Turn(), IsEmpty());
    Place("....|....|..4.|....|.3..", 20, 10);
    EXPECT_THAT(Turn(), IsEmpty());
    EXPECT_EQ(DrawBoard(game.Board), "....|....|..4.|....|.3..");
}

// --- Anywhere on the board, and in sequence ---

TEST_F(MovesTest, PairInTheBottomRowCanStillMoveAndTurn) {
    Place("....|....|....|....|.12.", 17, 18);
    EXPECT_THAT(Left(), ElementsAre("cell 16=1", "cell 17=0", "cell 17=2", "cell 18=0"));
    EXPECT_THAT(Turn(), ElementsAre("cell 16=2", "cell 17=1"));
    Right();
    Right();
    EXPECT_TRUE(PairIs(18, 19));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|..21");
}

TEST_F(MovesTest, MovingOverAnOccupiedCellDoesNotLandThePair) {
    Place("....|.34.|...5|....|....", 5, 6);
    Right();
    EXPECT_TRUE(PairIs(6, 7));
    EXPECT_EQ(DrawBoard(game.Board), "....|..34|...5|....|....");
    // The next tick decides: 4 on 5 is 9, too much, so the right piece lands
    // while the left one falls on.
    Tick();
    EXPECT_TRUE(PairIs(10, 21));
    EXPECT_EQ(DrawBoard(game.Board), "....|...4|..35|....|....");
}

TEST_F(MovesTest, SeveralClicksBetweenTicksEachStartFromTheLastPosition) {
    Place(".25.|....|....|....|....", 1, 2);
    Left();
    Left();  // refused at the wall
    Right();
    Turn();
    Right();
    Right();  // refused at the wall
    EXPECT_TRUE(PairIs(2, 3));
    EXPECT_EQ(DrawBoard(game.Board), "..52|....|....|....|....");
    EXPECT_EQ(DrawBoard(view.cells), "..52|....|....|....|....");
}

TEST_F(MovesTest, MovesNeverTouchScoreCountersLabelsTimerOrCues) {
    Place("....|.34.|....|....|....", 5, 6, 4100, 4, 2400, 1);
    for (const Events& events : {Left(), Turn(), Right(), Right(), Turn(), Left()}) {
        for (const std::string& event : events) EXPECT_EQ(event.rfind("cell ", 0), 0u) << event;
    }
    EXPECT_EQ(game.Score, 4100);
    EXPECT_EQ(game.CakeCount, 4);
    EXPECT_EQ(game.FallInterval, 2400);
    EXPECT_EQ(game.ChainCount, 1);
}

// --- When there is no falling pair ---

TEST_F(MovesTest, BeforeTheFirstGameMovesChangeNothingAtAll) {
    ASSERT_TRUE(PairIs(0, 0));
    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_THAT(Turn(), IsEmpty());
    EXPECT_TRUE(PairIs(0, 0));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|....");
}

TEST_F(MovesTest, BetweenStartAndTheFirstTickMovesChangeNothingAtAll) {
    game.start();
    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_THAT(Turn(), IsEmpty());
    EXPECT_TRUE(PairIs(20, 21));
    EXPECT_EQ(DrawBoard(game.Board), "....|....|....|....|....");
}

TEST_F(MovesTest, AfterGameOverMovesChangeNothingAtAll) {
    Place(".4..|.4..|.3..|.52.|6174", 20, 21);
    Tick();
    EXPECT_THAT(Left(), IsEmpty());
    EXPECT_THAT(Right(), IsEmpty());
    EXPECT_THAT(Turn(), IsEmpty());
    EXPECT_EQ(DrawBoard(game.Board), ".4..|.4..|.3..|.52.|6174");
}

}  // namespace
}  // namespace quillet::testing
