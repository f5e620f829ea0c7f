#pragma once

#include <cstdint>

// The fixed numbers of the game. Every rule reads them from here.
namespace quillet::rules {

// Board geometry: 4 columns by 5 rows, cell index = row * Columns + column,
// row 0 at the top. The cell below index i is i + RowStep.
constexpr int Columns = 4;
constexpr int Rows = 5;
constexpr int CellCount = Columns * Rows;
constexpr int RowStep = Columns;

// A piece at a position above this one (the bottom row or a landed marker)
// cannot fall any further.
constexpr int LastFallingCell = CellCount - Columns - 1;  // 15

// fallingPair element i holds LandedMarker + i once its piece has landed.
constexpr int LandedMarker = CellCount;  // 20 and 21

// A new pair enters with its left piece in EntryLeft and its right piece in
// EntryRight; the same two cells decide when the game is over.
constexpr int EntryLeft = 1;
constexpr int EntryRight = 2;

// Slices: two pieces merge only when they add up to at most WholeCake, and a
// merge that reaches exactly WholeCake completes a cake.
constexpr int WholeCake = 8;
constexpr int LargestDrawnPiece = 7;

// Scoring.
constexpr int MergeScorePerSlice = 100;
constexpr int CakeBonus = 1000;
constexpr int SecondCakeBonus = 10000;

// Speed, in milliseconds.
constexpr int StartFallInterval = 3000;
constexpr int SpeedUpStep = 300;  // at the 1st, 4th, 7th ... cake of a game
constexpr int SpeedUpEvery = 3;
constexpr int FastestFall = 500;
constexpr int LandingInterval = 100;  // from a pair's first landing until the next pair enters

// The counters stop here instead of wrapping round.
constexpr std::int32_t ScoreLimit = INT32_MAX;      // 2,147,483,647
constexpr std::int16_t CakeCountLimit = INT16_MAX;  // 32,767

}  // namespace quillet::rules
