// Many games of random clicks and ticks: whatever the player does, the board,
// the screen and the counters stay within the rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "board_text.h"
#include "game/game.h"
#include "recording_view.h"

namespace quillet::testing {
namespace {

::testing::AssertionResult invariantsHold(const Game& game, const RecordingView& view) {
    for (int cell = 0; cell < rules::CellCount; ++cell) {
        if (game.board[cell] < 0 || game.board[cell] > 7)
            return ::testing::AssertionFailure()
                   << "cell " << cell << " holds " << game.board[cell];
        if (view.cells[cell] != game.board[cell])
            return ::testing::AssertionFailure() << "cell " << cell << " shows " << view.cells[cell]
                                                 << " but holds " << game.board[cell];
    }
    for (int element = 0; element < 2; ++element) {
        const int p = game.fallingPair[element];
        if (p < 0 || p > 21)
            return ::testing::AssertionFailure() << "element " << element << " at " << p;
        if (p < 20 && game.board[p] == 0)
            return ::testing::AssertionFailure()
                   << "falling element " << element << " at empty cell " << p;
    }
    const int left = game.fallingPair[0];
    const int right = game.fallingPair[1];
    if (left < 20 && right < 20 && (right != left + 1 || left % 4 == 3))
        return ::testing::AssertionFailure() << "pair apart at " << left << ", " << right;
    if (game.chainCount < 0 || game.chainCount > 2)
        return ::testing::AssertionFailure() << "chain count " << game.chainCount;
    return ::testing::AssertionSuccess();
}

int slices(const Game& game) {
    int slices = 0;
    for (int count : game.board) slices += count;
    return slices;
}

int expectedFallInterval(int cakes) {
    return std::max(500, 3000 - 300 * ((cakes + 2) / 3));
}

TEST(RandomPlayTest, RulesHoldThroughManyGamesOfRandomClicksAndTicks) {
    RecordingView view;
    ClockSeededRandom dealer;
    dealer.seed(0x5eed);
    Game game(view, dealer);
    std::mt19937 player(2024);

    constexpr int Events = 300'000;
    int games = 0;
    int pairs = 0;
    int cakes = 0;
    int secondCakes = 0;
    std::int32_t lastScore = 0;
    std::int32_t pairScore = 0;  // Score and cakeCount when the current pair entered
    int pairCakes = 0;

    for (int event = 0; event < Events; ++event) {
        view.events.clear();
        const auto before = game.fallingPair;
        const std::int32_t scoreBefore = game.score;
        const int cakesBefore = game.cakeCount;
        const int slicesBefore = slices(game);
        const auto nextBefore = game.nextPair;
        std::string action;
        if (view.isEnabled(PlayButton::Start)) {
            action = "Start";
            game.start();
            ++games;
            lastScore = 0;
            pairScore = 0;
            pairCakes = 0;
        } else {
            const unsigned pick = player() % 10;
            if (pick < 4) {
                action = "tick";
                game.tick();
            } else if (pick < 6) {
                action = "Left";
                game.moveLeft();
            } else if (pick < 8) {
                action = "Right";
                game.moveRight();
            } else {
                action = "Turn";
                game.swapPieces();
            }
        }
        const std::string where = "event " + std::to_string(event) + " (" + action + ") of game " +
                                  std::to_string(games) + ", board " + drawBoard(game.board);

        ASSERT_TRUE(invariantsHold(game, view)) << where;
        ASSERT_GE(game.score, lastScore) << where;
        lastScore = game.score;
        ASSERT_LE(game.score - pairScore, 13600) << where;
        ASSERT_LE(game.cakeCount - pairCakes, 2) << where;
        ASSERT_EQ(view.timerEnabled, !view.isEnabled(PlayButton::Start)) << where;
        if (action == "Start") {
            ASSERT_EQ(slices(game), 0) << where;
            continue;
        }
        if (action != "tick") {
            // A move changes the board and the pair, and nothing else.
            ASSERT_EQ(game.score, scoreBefore) << where;
            ASSERT_EQ(game.cakeCount, cakesBefore) << where;
            ASSERT_EQ(slices(game), slicesBefore) << where;
            for (const std::string& e : view.events) ASSERT_EQ(e.rfind("cell ", 0), 0u) << where;
            continue;
        }

        ASSERT_EQ(view.scoreCaption, std::to_string(game.score)) << where;
        ASSERT_EQ(view.cakeCaption, std::to_string(game.cakeCount)) << where;
        cakes += static_cast<int>(std::count(view.events.begin(), view.events.end(), "cue add"));
        secondCakes +=
            static_cast<int>(std::count(view.events.begin(), view.events.end(), "cue add2"));
        const bool entered = before[0] >= 20 && before[1] >= 20 && game.fallingPair[0] == 1 &&
                             game.fallingPair[1] == 2;
        // No slice is lost or made: only a new pair adds slices, and only a
        // completed cake takes eight away.
        const int added = entered ? nextBefore[0] + nextBefore[1] : 0;
        ASSERT_EQ(slices(game) + 8 * (game.cakeCount - cakesBefore), slicesBefore + added) << where;
        if (entered) {
            ++pairs;
            ASSERT_EQ(game.fallInterval, expectedFallInterval(game.cakeCount)) << where;
            ASSERT_EQ(view.timerInterval, game.fallInterval) << where;
            ASSERT_EQ(view.next[0], game.nextPair[0]) << where;
            ASSERT_EQ(view.next[1], game.nextPair[1]) << where;
            pairScore = game.score;
            pairCakes = game.cakeCount;
        }
    }

    // The run really played: many games, pairs, cakes and some second cakes.
    EXPECT_GT(games, 100);
    EXPECT_GT(pairs, 10 * games);
    EXPECT_GT(cakes, games);
    EXPECT_GT(secondCakes, 0);
}

}  // namespace
}  // namespace quillet::testing
