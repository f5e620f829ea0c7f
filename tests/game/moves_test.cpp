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
    bool pairIs(int left, int right) const {
        return m_game.fallingPair[0] == left && m_game.fallingPair[1] == right;
    }
    Events left() { return click(&Game::moveLeft); }
    Events right() { return click(&Game::moveRight); }
    Events turn() { return click(&Game::swapPieces); }

private:
    Events click(void (Game::*move)()) {
        m_view.events.clear();
        (m_game.*move)();
        return m_view.events;
    }
};

// --- Left and Right from the entry cells and against the walls ---

TEST_F(MovesTest, LeftFromTheEntryCellsReachesTheWallAndStops) {
    place(".34.|....|....|....|....", 1, 2);
    EXPECT_THAT(left(), ElementsAre("cell 0=3", "cell 1=0", "cell 1=4", "cell 2=0"));
    EXPECT_TRUE(pairIs(0, 1));
    EXPECT_EQ(drawBoard(m_game.board), "34..|....|....|....|....");

    EXPECT_THAT(left(), IsEmpty());
    EXPECT_TRUE(pairIs(0, 1));
    EXPECT_EQ(drawBoard(m_game.board), "34..|....|....|....|....");
}

TEST_F(MovesTest, RightFromTheEntryCellsReachesTheWallAndStops) {
    place(".34.|....|....|....|....", 1, 2);
    EXPECT_THAT(right(), ElementsAre("cell 3=4", "cell 2=0", "cell 2=3", "cell 1=0"));
    EXPECT_TRUE(pairIs(2, 3));
    EXPECT_EQ(drawBoard(m_game.board), "..34|....|....|....|....");

    EXPECT_THAT(right(), IsEmpty());
    EXPECT_TRUE(pairIs(2, 3));
}

TEST_F(MovesTest, RightAtTheRightWallNeverWrapsIntoTheNextRowOrOffTheBoard) {
    place("....|..34|....|....|....", 6, 7);
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_EQ(drawBoard(m_game.board), "....|..34|....|....|....");

    place("....|....|....|....|..34", 18, 19);
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_TRUE(pairIs(18, 19));
}

TEST_F(MovesTest, LeftAtTheLeftWallNeverWrapsIntoThePreviousRow) {
    place("....|....|34..|....|....", 8, 9);
    EXPECT_THAT(left(), IsEmpty());
    EXPECT_EQ(drawBoard(m_game.board), "....|....|34..|....|....");
}

TEST_F(MovesTest, OccupiedCellBesideTheLeadingPieceBlocksTheWholeMove) {
    place("....|....|7341|....|....", 9, 10);
    EXPECT_THAT(left(), IsEmpty());
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_TRUE(pairIs(9, 10));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|7341|....|....");
}

TEST_F(MovesTest, OnlyTheLeadingSideIsLookedAt) {
    // Something on the right does not stop a move to the left, and the other way round.
    place("....|.342|....|....|....", 5, 6);
    EXPECT_THAT(left(), ElementsAre("cell 4=3", "cell 5=0", "cell 5=4", "cell 6=0"));
    place("....|134.|....|....|....", 5, 6);
    EXPECT_THAT(right(), ElementsAre("cell 7=4", "cell 6=0", "cell 6=3", "cell 5=0"));
}

// --- One piece landed ---

TEST_F(MovesTest, WithTheRightPieceLandedOnlyLeftMovesTheLeftPieceAlone) {
    place("....|.3..|....|....|..4.", 5, 21);
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_THAT(left(), ElementsAre("cell 4=3", "cell 5=0"));
    EXPECT_TRUE(pairIs(4, 21));
    EXPECT_EQ(drawBoard(m_game.board), "....|3...|....|....|..4.");
}

TEST_F(MovesTest, WithTheLeftPieceLandedOnlyRightMovesTheRightPieceAlone) {
    // The cell to the left of the right piece is empty, and Left is refused all the same.
    place("....|....|..4.|....|.3..", 20, 10);
    EXPECT_THAT(left(), IsEmpty());
    EXPECT_THAT(right(), ElementsAre("cell 11=4", "cell 10=0"));
    EXPECT_TRUE(pairIs(20, 11));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|...4|....|.3..");
}

// --- Turn ---

TEST_F(MovesTest, TurnSwapsTheCountsAndRedrawsLeftThenRight) {
    place("....|.36.|....|....|....", 5, 6);
    EXPECT_THAT(turn(), ElementsAre("cell 5=6", "cell 6=3"));
    EXPECT_TRUE(pairIs(5, 6));
    EXPECT_EQ(drawBoard(m_game.board), "....|.63.|....|....|....");

    EXPECT_THAT(turn(), ElementsAre("cell 5=3", "cell 6=6"));
    EXPECT_EQ(drawBoard(m_game.board), "....|.36.|....|....|....");
}

TEST_F(MovesTest, TurnOfEqualCountsStillRedrawsBothCells) {
    place("....|....|....|22..|....", 12, 13);
    EXPECT_THAT(turn(), ElementsAre("cell 12=2", "cell 13=2"));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|22..|....");
}

TEST_F(MovesTest, TurnWithOnePieceLandedDoesNothing) {
    place("....|.3..|....|....|..4.", 5, 21);
    EXPECT_THAT(turn(), IsEmpty());
    place("....|....|..4.|....|.3..", 20, 10);
    EXPECT_THAT(turn(), IsEmpty());
    EXPECT_EQ(drawBoard(m_game.board), "....|....|..4.|....|.3..");
}

// --- Anywhere on the board, and in sequence ---

TEST_F(MovesTest, PairInTheBottomRowCanStillMoveAndTurn) {
    place("....|....|....|....|.12.", 17, 18);
    EXPECT_THAT(left(), ElementsAre("cell 16=1", "cell 17=0", "cell 17=2", "cell 18=0"));
    EXPECT_THAT(turn(), ElementsAre("cell 16=2", "cell 17=1"));
    right();
    right();
    EXPECT_TRUE(pairIs(18, 19));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|..21");
}

TEST_F(MovesTest, MovingOverAnOccupiedCellDoesNotLandThePair) {
    place("....|.34.|...5|....|....", 5, 6);
    right();
    EXPECT_TRUE(pairIs(6, 7));
    EXPECT_EQ(drawBoard(m_game.board), "....|..34|...5|....|....");
    // The next tick decides: 4 on 5 is 9, too much, so the right piece lands
    // while the left one falls on.
    tick();
    EXPECT_TRUE(pairIs(10, 21));
    EXPECT_EQ(drawBoard(m_game.board), "....|...4|..35|....|....");
}

TEST_F(MovesTest, SeveralClicksBetweenTicksEachStartFromTheLastPosition) {
    place(".25.|....|....|....|....", 1, 2);
    left();
    left();  // refused at the wall
    right();
    turn();
    right();
    right();  // refused at the wall
    EXPECT_TRUE(pairIs(2, 3));
    EXPECT_EQ(drawBoard(m_game.board), "..52|....|....|....|....");
    EXPECT_EQ(drawBoard(m_view.cells), "..52|....|....|....|....");
}

TEST_F(MovesTest, MovesNeverTouchScoreCountersLabelsTimerOrCues) {
    place("....|.34.|....|....|....", 5, 6, 4100, 4, 2400, 1);
    for (const Events& events : {left(), turn(), right(), right(), turn(), left()}) {
        for (const std::string& event : events) EXPECT_EQ(event.rfind("cell ", 0), 0u) << event;
    }
    EXPECT_EQ(m_game.score, 4100);
    EXPECT_EQ(m_game.cakeCount, 4);
    EXPECT_EQ(m_game.fallInterval, 2400);
    EXPECT_EQ(m_game.chainCount, 1);
}

// --- When there is no falling pair ---

TEST_F(MovesTest, BeforeTheFirstGameMovesChangeNothingAtAll) {
    ASSERT_TRUE(pairIs(0, 0));
    EXPECT_THAT(left(), IsEmpty());
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_THAT(turn(), IsEmpty());
    EXPECT_TRUE(pairIs(0, 0));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|....");
}

TEST_F(MovesTest, BetweenStartAndTheFirstTickMovesChangeNothingAtAll) {
    m_game.start();
    EXPECT_THAT(left(), IsEmpty());
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_THAT(turn(), IsEmpty());
    EXPECT_TRUE(pairIs(20, 21));
    EXPECT_EQ(drawBoard(m_game.board), "....|....|....|....|....");
}

TEST_F(MovesTest, AfterGameOverMovesChangeNothingAtAll) {
    place(".4..|.4..|.3..|.52.|6174", 20, 21);
    tick();
    EXPECT_THAT(left(), IsEmpty());
    EXPECT_THAT(right(), IsEmpty());
    EXPECT_THAT(turn(), IsEmpty());
    EXPECT_EQ(drawBoard(m_game.board), ".4..|.4..|.3..|.52.|6174");
}

}  // namespace
}  // namespace quillet::testing
