#pragma once

#include <array>

#include "game/rules.h"

// Where every control of the two windows sits, in pixels of the client area,
// and the colours they use. The windows read their geometry from here and from
// nowhere else.
namespace quillet::layout {

struct Box {
    int left, top, width, height;
};

struct Rgb {
    int r, g, b;
};

constexpr Rgb WindowGrey{128, 128, 128};
constexpr Rgb PanelGrey{64, 64, 64};
constexpr Rgb Pink{255, 15, 123};
constexpr Rgb Blue{23, 64, 255};
constexpr Rgb Green{2, 255, 97};
constexpr Rgb DarkGrey{64, 64, 64};
constexpr Rgb Yellow{255, 255, 0};
constexpr Rgb Black{0, 0, 0};

constexpr int CaptionPointSize = 12;  // every button and label with text
constexpr int CounterPointSize = 18;  // the score and cake counters

namespace main_window {

constexpr int ClientWidth = 616;
constexpr int ClientHeight = 497;

constexpr Box BoardPanel{0, 0, 399, 497};
// The cells are 100 pixels wide but only 99 apart, so neighbours overlap by
// one pixel (the higher index lies in front).
constexpr int CellSize = 100;
constexpr int CellPitch = 99;
constexpr Box cell(int index) {
    return {(index % rules::Columns) * CellPitch, (index / rules::Columns) * CellPitch, CellSize,
            CellSize};
}
// Dotted column borders, drawn in front of the cells.
constexpr std::array<int, 3> ColumnLineX{99, 198, 297};
constexpr int ColumnLineTop = 8;
constexpr int ColumnLineBottom = 488;

constexpr Box Title{400, 8, 219, 55};
constexpr Box NextCaption{408, 64, 43, 16};
constexpr Box NextPanel{408, 80, 201, 101};
constexpr std::array<Box, 2> Next{{{408, 80, 100, 100}, {507, 80, 100, 100}}};
constexpr Box ScoreCaption{408, 192, 57, 16};
constexpr Box Score{408, 208, 201, 33};
constexpr Box CakeCaption{408, 248, 57, 16};
constexpr Box Cake{408, 264, 201, 33};
constexpr Box Start{408, 312, 201, 25};
constexpr Box HighScore{408, 344, 201, 25};
constexpr Box About{408, 376, 201, 25};
constexpr Box End{408, 408, 201, 25};
constexpr Box Left{440, 448, 41, 41};
constexpr Box Turn{488, 448, 41, 41};
constexpr Box Right{536, 448, 41, 41};
constexpr int MoveIconSize = 32;

}  // namespace main_window

namespace high_score_window {

constexpr int ClientWidth = 345;
constexpr int ClientHeight = 169;
constexpr int RowPitch = 24;

// "1st" to "5th"; their widths differ with the text.
constexpr std::array<Box, 5> Rank{
    {{8, 8, 25, 16}, {8, 32, 28, 16}, {8, 56, 26, 16}, {8, 80, 26, 16}, {8, 104, 26, 16}}};
constexpr Box name(int rank) {
    return {48, 8 + RowPitch * rank, 169, 16};
}
constexpr Box nameBox(int rank) {
    return {48, 8 + RowPitch * rank, 169, 18};
}
constexpr Box score(int rank) {
    return {245, 8 + RowPitch * rank, 98, 16};
}
// Solid line between the names and the scores.
constexpr int LineX = 232;
constexpr int LineTop = 8;
constexpr int LineBottom = 120;
constexpr Box Close{240, 136, 97, 25};
constexpr std::array<Rgb, 5> RowColour{Pink, Blue, Green, DarkGrey, DarkGrey};

}  // namespace high_score_window

}  // namespace quillet::layout
