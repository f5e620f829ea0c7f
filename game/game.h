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
    Game(GameView& view, RandomSource& random) : view_(view), random_(random) {}
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Slice counts by cell: 0 empty, 1 to 7 a piece. 8 exists only inside the
    // tick that completes a cake. The falling pieces are stored here too.
    std::array<std::int16_t, rules::CellCount> Board{};
    // Where the two falling pieces are: 0 to 19 while falling, 20 (left piece)
    // and 21 (right piece) once landed. All zero before the first game.
    std::array<std::int16_t, 2> FallingPair{};
    // The pair that enters next: element 0 at cell 1, element 1 at cell 2. 1 to 7
    // once drawn; 0 before the first game.
    std::array<std::int16_t, 2> NextPair{};
    std::int32_t Score = 0;         // never falls during a game; stops at ScoreLimit
    std::int16_t CakeCount = 0;     // stops at CakeCountLimit
    std::int16_t FallInterval = 0;  // ms; 3000 at Start, never below 500
    std::int16_t ChainCount = 0;    // cakes completed by the current pair, 0 to 2

    // Writes `count` into cell `index` and shows its picture. The count is taken
    // before the cell is written, so SetCell(i + 4, Board[i]) moves a piece.
    // 0 <= index < 20, 0 <= count <= 8.
    void SetCell(int index, int count);

    // New-game values: FallInterval 3000, Score 0, CakeCount 0, pair landed
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

private:
    bool IsFalling(int element) const;
    void PieceStep(int element);
    void Land(int element);
    void MergeInto(int from, int below);
    void CompleteCake(int cell);
    void CompletePair();
    void AddScore(std::int32_t points);

    GameView& view_;
    RandomSource& random_;
};

}  // namespace quillet
