#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_text.h"
#include "game/game.h"
#include "recording_view.h"
#include "sequence_random.h"

namespace quillet::testing {

using Events = std::vector<std::string>;

// A game with a recording window and a dealt random sequence.
class GameFixture : public ::testing::Test {
protected:
    RecordingView view;
    SequenceRandom random;
    Game game{view, random};

    // Puts the game in the middle of a pair: the board as drawn (and on screen),
    // the pair at (left, right), and the counters given. The log starts empty.
    void Place(const std::string& board, int left, int right, std::int32_t score = 0,
               std::int16_t cakes = 0, std::int16_t interval = rules::StartFallInterval,
               std::int16_t chain = 0) {
        game.Board = ParseBoard(board);
        for (int cell = 0; cell < rules::CellCount; ++cell) view.cells[cell] = game.Board[cell];
        game.FallingPair = {static_cast<std::int16_t>(left), static_cast<std::int16_t>(right)};
        game.Score = score;
        game.CakeCount = cakes;
        game.FallInterval = interval;
        game.ChainCount = chain;
        view.events.clear();
    }

    // Ticks and returns what the tick showed.
    Events Tick() {
        view.events.clear();
        game.tick();
        return view.events;
    }
};

}  // namespace quillet::testing
