#pragma once

#include <array>
#include <cstdint>

#include "game/game_view.h"
#include "game/random_source.h"
#include "game/rules.h"

namespace quillet {

// The one game of a run: its state and every rule that changes it.
//
// The state is public on purpose: the handlers, the ranking and the tests read
// it directly, and there is only ever one game.
//
// Order of events: the window calls start when Start is pressed and
// tick every time the fall timer fires; the move handlers come in
// between ticks, never during one. All calls happen on the UI thread.
class Game {
public:
    Game(GameView& view, RandomSource& random) : m_view(view), m_random(random) {}
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Slice counts by cell: 0 empty, 1 to 7 a piece. 8 exists only inside the
    // tick that completes a cake. The falling pieces are stored here too.
    std::array<std::int16_t, rules::CellCount> board{};
    // Where the two falling pieces are: 0 to 19 while falling, 20 (left piece)
    // and 21 (right piece) once landed. All zero before the first game.
    std::array<std::int16_t, 2> fallingPair{};
    // The pair that enters next: element 0 at cell 1, element 1 at cell 2. 1 to 7
    // once drawn; 0 before the first game.
    std::array<std::int16_t, 2> nextPair{};
    std::int32_t score = 0;         // never falls during a game; stops at ScoreLimit
    std::int16_t cakeCount = 0;     // stops at CakeCountLimit
    std::int16_t fallInterval = 0;  // ms; 3000 at Start, never below 500
    std::int16_t chainCount = 0;    // cakes completed by the current pair, 0 to 2

    // Writes `count` into cell `index` and shows its picture. The count is taken
    // before the cell is written, so setCell(i + 4, board[i]) moves a piece.
    // 0 <= index < 20, 0 <= count <= 8.
    void setCell(int index, int count);

    // New-game values: fallInterval 3000, score 0, cakeCount 0, pair landed
    // (20, 21). Touches nothing else, the board and the window included.
    void resetState();

    // Draws both pieces of the next pair (four random numbers: r1 and r2 of the
    // left piece, then of the right piece) and shows each as soon as it is drawn.
    void drawNextPair();

    // Start: empties the board, resets, draws the next pair, switches the
    // buttons and the timer to the playing phase and plays "start".
    void start();

    // One fall tick: moves or lands each falling piece (left piece first), or,
    // once both have landed, brings in the next pair or ends the game. Always
    // ends by showing the score and the cake count.
    void tick();

    // Player moves. Each either carries out its whole move or changes nothing.
    void moveLeft();
    void moveRight();
    void swapPieces();

    // True while at least one piece of the current pair has not landed: the
    // ticks then move pieces. False between a landing and the next pair's entry,
    // before the first game and after game over.
    bool isPairFalling() const { return isFalling(0) || isFalling(1); }

private:
    bool isFalling(int element) const;
    void pieceStep(int element);
    void land(int element);
    void mergeInto(int from, int below);
    void completeCake(int cell);
    void completePair();
    void addScore(std::int32_t points);

    GameView& m_view;
    RandomSource& m_random;
};

}  // namespace quillet
