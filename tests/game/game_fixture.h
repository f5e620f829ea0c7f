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
    RecordingView m_view;
    SequenceRandom m_random;
    Game m_game{m_view, m_random};

    // Puts the game in the middle of a pair: the board as drawn (and on screen),
    // the pair at (left, right), and the counters given. The log starts empty.
    void place(const std::string& board, int left, int right, std::int32_t score = 0,
               std::int16_t cakes = 0, std::int16_t interval = rules::StartFallInterval,
               std::int16_t chain = 0) {
        m_game.board = parseBoard(board);
        for (int cell = 0; cell < rules::CellCount; ++cell) m_view.cells[cell] = m_game.board[cell];
        m_game.fallingPair = {static_cast<std::int16_t>(left), static_cast<std::int16_t>(right)};
        m_game.score = score;
        m_game.cakeCount = cakes;
        m_game.fallInterval = interval;
        m_game.chainCount = chain;
        m_view.events.clear();
    }

    // Ticks and returns what the tick showed.
    Events tick() {
        m_view.events.clear();
        m_game.tick();
        return m_view.events;
    }
};

}  // namespace quillet::testing
