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

::testing::AssertionResult InvariantsHold(const Game& game, const RecordingView& view) {
    for (int cell = 0; cell < rules::CellCount; ++cell) {
        if (game.Board[cell] < 0 || game.Board[cell] > 7)
            return ::testing::AssertionFailure()
                   << "cell " << cell << " holds " << game.Board[cell];
        if (view.cells[cell] != game.Board[cell])
            return ::testing::AssertionFailure() << "cell " << cell << " shows " << view.cells[cell]
                                                 << " but holds " << game.Board[cell];
    }
    for (int element = 0; element < 2; ++element) {
        const int p = game.FallingPair[element];
        if (p < 0 || p > 21)
            return ::testing::AssertionFailure() << "element " << element << " at " << p;
        if (p < 20 && game.Board[p] == 0)
            return ::testing::AssertionFailure()
                   << "falling element " << element << " at empty cell " << p;
    }
    const int left = game.FallingPair[0];
    const int right = game.FallingPair[1];
    if (left < 20 && right < 20 && (right != left + 1 || left % 4 == 3))
        return ::testing::AssertionFailure() << "pair apart at " << left << ", " << right;
    if (game.ChainCount < 0 || game.ChainCount > 2)
        return ::testing::AssertionFailure() << "chain count " << game.ChainCount;
    return ::testing::AssertionSuccess();
}

int Slices(const Game& game) {
    int slices = 0;
    for (int count : game.Board) slices += count;
    return slices;
}

int ExpectedFallInterval(int cakes) {
    return std::max(500, 3000 - 300 * ((cakes + 2) / 3));
}

TEST(RandomPlayTest, RulesHoldThroughManyGamesOfRandomClicksAndTicks) {
    RecordingView view;
    ClockSeededRandom dealer;
    dealer.Seed(0x5eed);
    Game game(view, dealer);
    std::mt19937 player(2024);

    constexpr int kEvents = 300'000;
    int games = 0;
    int pairs = 0;
    int cakes = 0;
    int second_cakes = 0;
    std::int32_t last_score = 0;
    std::int32_t pair_score = 0;  // Score and CakeCount when the current pair entered
    int pair_cakes = 0;

    for (int event = 0; event < kEvents; ++event) {
        view.events.clear();
        const auto before = game.FallingPair;
        const std::int32_t score_before = game.Score;
        const int cakes_before = game.CakeCount;
        const int slices_before = Slices(game);
        const auto next_before = game.NextPair;
        std::string action;
        if (view.IsEnabled(PlayButton::Start)) {
            action = "Start";
            game.start();
            ++games;
            last_score = 0;
            pair_score = 0;
            pair_cakes = 0;
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
                                  std::to_string(games) + ", board " + DrawBoard(game.Board);

        ASSERT_TRUE(InvariantsHold(game, view)) << where;
        ASSERT_GE(game.Score, last_score) << where;
        last_score = game.Score;
        ASSERT_LE(game.Score - pair_score, 13600) << where;
        ASSERT_LE(game.CakeCount - pair_cakes, 2) << where;
        ASSERT_EQ(view.timer_enabled, !view.IsEnabled(PlayButton::Start)) << where;
        if (action == "Start") {
            ASSERT_EQ(Slices(game), 0) << where;
            continue;
        }
        if (action != "tick") {
            // A move changes the board and the pair, and nothing else.
            ASSERT_EQ(game.Score, score_before) << where;
            ASSERT_EQ(game.CakeCount, cakes_before) << where;
            ASSERT_EQ(Slices(game), slices_before) << where;
            for (const std::string& e : view.events) ASSERT_EQ(e.rfind("cell ", 0), 0u) << where;
            continue;
        }

        ASSERT_EQ(view.score_caption, std::to_string(game.Score)) << where;
        ASSERT_EQ(view.cake_caption, std::to_string(game.CakeCount)) << where;
        cakes += static_cast<int>(std::count(view.events.begin(), view.events.end(), "cue add"));
        second_cakes +=
            static_cast<int>(std::count(view.events.begin(), view.events.end(), "cue add2"));
        const bool entered = before[0] >= 20 && before[1] >= 20 && game.FallingPair[0] == 1 &&
                             game.FallingPair[1] == 2;
        // No slice is lost or made: only a new pair adds slices, and only a
        // completed cake takes eight away.
        const int added = entered ? next_before[0] + next_before[1] : 0;
        ASSERT_EQ(Slices(game) + 8 * (game.CakeCount - cakes_before), slices_before + added)
            << where;
        if (entered) {
            ++pairs;
            ASSERT_EQ(game.FallInterval, ExpectedFallInterval(game.CakeCount)) << where;
            ASSERT_EQ(view.timer_interval, game.FallInterval) << where;
            ASSERT_EQ(view.next[0], game.NextPair[0]) << where;
            ASSERT_EQ(view.next[1], game.NextPair[1]) << where;
            pair_score = game.Score;
            pair_cakes = game.CakeCount;
        }
    }

    // The run really played: many games, pairs, cakes and some second cakes.
    EXPECT_GT(games, 100);
    EXPECT_GT(pairs, 10 * games);
    EXPECT_GT(cakes, games);
    EXPECT_GT(second_cakes, 0);
}

}  // namespace
}  // namespace quillet::testing
