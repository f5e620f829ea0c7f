// Drawing the next pair: which numbers make which counts, the order in which
// they are taken, and the odds of the counts over many draws.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "game_fixture.h"

namespace quillet::testing {
namespace {

using ::testing::ElementsAre;

const double kJustBelowThird = std::nextafter(1.0 / 3.0, 0.0);
const double kJustBelowOne = std::nextafter(1.0, 0.0);

class NextPairTest : public GameFixture {
protected:
    std::array<int, 2> Draw(std::vector<double> numbers) {
        random.Deal(std::move(numbers));
        game.drawNextPair();
        return {game.NextPair[0], game.NextPair[1]};
    }
};

TEST_F(NextPairTest, FirstNumberBelowOneThirdPicksTheWideRangeUpToSeven) {
    EXPECT_EQ(Draw({kJustBelowThird, kJustBelowOne, 0.0, kJustBelowOne}),
              (std::array<int, 2>{7, 7}));
    EXPECT_EQ(Draw({0.0, 0.5, kJustBelowThird, 0.5}), (std::array<int, 2>{4, 4}));
}

TEST_F(NextPairTest, FirstNumberFromOneThirdUpPicksTheNarrowRangeUpToFour) {
    EXPECT_EQ(Draw({1.0 / 3.0, kJustBelowOne, kJustBelowOne, kJustBelowOne}),
              (std::array<int, 2>{4, 4}));
    EXPECT_EQ(Draw({1.0 / 3.0, 0.5, 0.7, 0.5}), (std::array<int, 2>{3, 3}));
}

TEST_F(NextPairTest, SecondNumberZeroGivesOneSliceInEitherRange) {
    EXPECT_EQ(Draw({0.0, 0.0, 0.99, 0.0}), (std::array<int, 2>{1, 1}));
}

TEST_F(NextPairTest, TakesBothNumbersOfTheLeftPieceAndShowsItBeforeTheRightPiece) {
    random.journal = &view.events;
    // Left piece: r1 0.0 (wide), r2 0.9 -> 7. Right piece: r1 0.9 (narrow), r2 0.0 -> 1.
    EXPECT_EQ(Draw({0.0, 0.9, 0.9, 0.0}), (std::array<int, 2>{7, 1}));
    EXPECT_THAT(view.events,
                ElementsAre("random", "random", "next 0=7", "random", "random", "next 1=1"));
    EXPECT_EQ(random.taken, 4);
}

TEST_F(NextPairTest, PreviewImagesShowTheDrawnPair) {
    Draw({0.1, 0.6, 0.4, 0.3});  // 5 on the left, 2 on the right
    EXPECT_EQ(view.next[0], 5);
    EXPECT_EQ(view.next[1], 2);
    EXPECT_EQ(game.NextPair[0], 5);
    EXPECT_EQ(game.NextPair[1], 2);
}

TEST_F(NextPairTest, DrawChangesNothingButThePair) {
    Place("....|.34.|..1.|.56.|2..1", 5, 6, 700, 1, 2700, 1);
    Draw({0.1, 0.6, 0.4, 0.3});
    EXPECT_EQ(DrawBoard(game.Board), "....|.34.|..1.|.56.|2..1");
    EXPECT_EQ(game.FallingPair[0], 5);
    EXPECT_EQ(game.FallingPair[1], 6);
    EXPECT_EQ(game.Score, 700);
    EXPECT_EQ(game.CakeCount, 1);
    EXPECT_EQ(game.FallInterval, 2700);
    EXPECT_EQ(game.ChainCount, 1);
    EXPECT_THAT(view.events, ElementsAre("next 0=5", "next 1=2"));
}

TEST_F(NextPairTest, SourceOutsideTheUnitIntervalNeverDealsAWholeCakeOrNothing) {
    EXPECT_EQ(Draw({1.0}), (std::array<int, 2>{4, 4}));
    EXPECT_EQ(Draw({0.0, 1.0}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(Draw({0.0, 3.5}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(Draw({0.0, std::numeric_limits<double>::infinity()}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(Draw({-0.25}), (std::array<int, 2>{1, 1}));
    EXPECT_EQ(Draw({-1e300, 1e300}), (std::array<int, 2>{7, 7}));
}

TEST(ClockSeededRandomTest, NumbersStayInsideZeroToOneExcludingOne) {
    ClockSeededRandom random;
    random.Seed(20240611);
    double lowest = 1.0;
    double highest = 0.0;
    for (int i = 0; i < 1'000'000; ++i) {
        const double r = random.NextUniform();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    // The whole interval is reached, not a corner of it.
    EXPECT_LT(lowest, 1e-5);
    EXPECT_GT(highest, 1.0 - 1e-5);
}

TEST(ClockSeededRandomTest, SameSeedDealsSameSequenceAndClockSeedsDiffer) {
    ClockSeededRandom a;
    ClockSeededRandom b;
    a.Seed(7);
    b.Seed(7);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a.NextUniform(), b.NextUniform());

    b.Seed(8);
    int same = 0;
    for (int i = 0; i < 100; ++i) same += a.NextUniform() == b.NextUniform();
    EXPECT_LT(same, 100);
}

TEST(NextPairOddsTest, CountsFollowTheirOddsOverManyDraws) {
    RecordingView view;
    ClockSeededRandom random;
    random.Seed(1234567);
    Game game(view, random);

    constexpr int kPairs = 100'000;
    std::array<int, 9> counts{};
    int both_ones = 0;
    int both_sevens = 0;
    long long slices = 0;
    for (int i = 0; i < kPairs; ++i) {
        view.events.clear();
        game.drawNextPair();
        for (int element = 0; element < 2; ++element) {
            const int count = game.NextPair[element];
            ASSERT_GE(count, 1);
            ASSERT_LE(count, 7);
            ++counts[count];
            slices += count;
        }
        both_ones += game.NextPair[0] == 1 && game.NextPair[1] == 1;
        both_sevens += game.NextPair[0] == 7 && game.NextPair[1] == 7;
    }

    const double pieces = 2.0 * kPairs;
    for (int count = 1; count <= 4; ++count) {
        EXPECT_NEAR(counts[count] / pieces, 3.0 / 14.0, 0.005) << "count " << count;
    }
    for (int count = 5; count <= 7; ++count) {
        EXPECT_NEAR(counts[count] / pieces, 1.0 / 21.0, 0.003) << "count " << count;
    }
    EXPECT_EQ(counts[8], 0);
    EXPECT_NEAR(slices / pieces, 3.0, 0.02);
    // The two pieces of a pair are drawn independently.
    EXPECT_NEAR(both_ones / static_cast<double>(kPairs), 9.0 / 196.0, 0.003);
    EXPECT_NEAR(both_sevens / static_cast<double>(kPairs), 1.0 / 441.0, 0.0008);
}

}  // namespace
}  // namespace quillet::testing
