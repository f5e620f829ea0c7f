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

const double JustBelowThird = std::nextafter(1.0 / 3.0, 0.0);
const double JustBelowOne = std::nextafter(1.0, 0.0);

class NextPairTest : public GameFixture {
protected:
    std::array<int, 2> draw(std::vector<double> numbers) {
        m_random.deal(std::move(numbers));
        m_game.drawNextPair();
        return {m_game.nextPair[0], m_game.nextPair[1]};
    }
};

TEST_F(NextPairTest, FirstNumberBelowOneThirdPicksTheWideRangeUpToSeven) {
    EXPECT_EQ(draw({JustBelowThird, JustBelowOne, 0.0, JustBelowOne}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(draw({0.0, 0.5, JustBelowThird, 0.5}), (std::array<int, 2>{4, 4}));
}

TEST_F(NextPairTest, FirstNumberFromOneThirdUpPicksTheNarrowRangeUpToFour) {
    EXPECT_EQ(draw({1.0 / 3.0, JustBelowOne, JustBelowOne, JustBelowOne}),
              (std::array<int, 2>{4, 4}));
    EXPECT_EQ(draw({1.0 / 3.0, 0.5, 0.7, 0.5}), (std::array<int, 2>{3, 3}));
}

TEST_F(NextPairTest, SecondNumberZeroGivesOneSliceInEitherRange) {
    EXPECT_EQ(draw({0.0, 0.0, 0.99, 0.0}), (std::array<int, 2>{1, 1}));
}

TEST_F(NextPairTest, TakesBothNumbersOfTheLeftPieceAndShowsItBeforeTheRightPiece) {
    m_random.journal = &m_view.events;
    // Left piece: r1 0.0 (wide), r2 0.9 -> 7. Right piece: r1 0.9 (narrow), r2 0.0 -> 1.
    EXPECT_EQ(draw({0.0, 0.9, 0.9, 0.0}), (std::array<int, 2>{7, 1}));
    EXPECT_THAT(m_view.events,
                ElementsAre("random", "random", "next 0=7", "random", "random", "next 1=1"));
    EXPECT_EQ(m_random.taken, 4);
}

TEST_F(NextPairTest, PreviewImagesShowTheDrawnPair) {
    draw({0.1, 0.6, 0.4, 0.3});  // 5 on the left, 2 on the right
    EXPECT_EQ(m_view.next[0], 5);
    EXPECT_EQ(m_view.next[1], 2);
    EXPECT_EQ(m_game.nextPair[0], 5);
    EXPECT_EQ(m_game.nextPair[1], 2);
}

TEST_F(NextPairTest, DrawChangesNothingButThePair) {
    place("....|.34.|..1.|.56.|2..1", 5, 6, 700, 1, 2700, 1);
    draw({0.1, 0.6, 0.4, 0.3});
    EXPECT_EQ(drawBoard(m_game.board), "....|.34.|..1.|.56.|2..1");
    EXPECT_EQ(m_game.fallingPair[0], 5);
    EXPECT_EQ(m_game.fallingPair[1], 6);
    EXPECT_EQ(m_game.score, 700);
    EXPECT_EQ(m_game.cakeCount, 1);
    EXPECT_EQ(m_game.fallInterval, 2700);
    EXPECT_EQ(m_game.chainCount, 1);
    EXPECT_THAT(m_view.events, ElementsAre("next 0=5", "next 1=2"));
}

TEST_F(NextPairTest, SourceOutsideTheUnitIntervalNeverDealsAWholeCakeOrNothing) {
    EXPECT_EQ(draw({1.0}), (std::array<int, 2>{4, 4}));
    EXPECT_EQ(draw({0.0, 1.0}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(draw({0.0, 3.5}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(draw({0.0, std::numeric_limits<double>::infinity()}), (std::array<int, 2>{7, 7}));
    EXPECT_EQ(draw({-0.25}), (std::array<int, 2>{1, 1}));
    EXPECT_EQ(draw({-1e300, 1e300}), (std::array<int, 2>{7, 7}));
}

TEST(ClockSeededRandomTest, NumbersStayInsideZeroToOneExcludingOne) {
    ClockSeededRandom random;
    random.seed(20240611);
    double lowest = 1.0;
    double highest = 0.0;
    for (int i = 0; i < 1'000'000; ++i) {
        const double r = random.nextUniform();
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
    a.seed(7);
    b.seed(7);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a.nextUniform(), b.nextUniform());

    b.seed(8);
    int same = 0;
    for (int i = 0; i < 100; ++i) same += a.nextUniform() == b.nextUniform();
    EXPECT_LT(same, 100);
}

TEST(NextPairOddsTest, CountsFollowTheirOddsOverManyDraws) {
    RecordingView view;
    ClockSeededRandom random;
    random.seed(1234567);
    Game game(view, random);

    constexpr int Pairs = 100'000;
    std::array<int, 9> counts{};
    int bothOnes = 0;
    int bothSevens = 0;
    long long slices = 0;
    for (int i = 0; i < Pairs; ++i) {
        view.events.clear();
        game.drawNextPair();
        for (int element = 0; element < 2; ++element) {
            const int count = game.nextPair[element];
            ASSERT_GE(count, 1);
            ASSERT_LE(count, 7);
            ++counts[count];
            slices += count;
        }
        bothOnes += game.nextPair[0] == 1 && game.nextPair[1] == 1;
        bothSevens += game.nextPair[0] == 7 && game.nextPair[1] == 7;
    }

    const double pieces = 2.0 * Pairs;
    for (int count = 1; count <= 4; ++count) {
        EXPECT_NEAR(counts[count] / pieces, 3.0 / 14.0, 0.005) << "count " << count;
    }
    for (int count = 5; count <= 7; ++count) {
        EXPECT_NEAR(counts[count] / pieces, 1.0 / 21.0, 0.003) << "count " << count;
    }
    EXPECT_EQ(counts[8], 0);
    EXPECT_NEAR(slices / pieces, 3.0, 0.02);
    // The two pieces of a pair are drawn independently.
    EXPECT_NEAR(bothOnes / static_cast<double>(Pairs), 9.0 / 196.0, 0.003);
    EXPECT_NEAR(bothSevens / static_cast<double>(Pairs), 1.0 / 441.0, 0.0008);
}

}  // namespace
}  // namespace quillet::testing
