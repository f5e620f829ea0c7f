#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "game/rules.h"

namespace quillet::testing {

using BoardCells = std::array<std::int16_t, rules::CellCount>;

// A board drawn as five rows of four characters, top row first, rows split by
// '|': '.' is an empty cell, '1' to '8' a piece of that many slices.
//   "....|.3..|....|.5..|.66."  holds 3 in cell 5, 5 in cell 13, 6 in 17 and 18.
inline BoardCells parseBoard(const std::string& text) {
    BoardCells board{};
    int cell = 0;
    int column = 0;
    for (char c : text) {
        if (c == '|') {
            if (column != rules::Columns) throw std::invalid_argument("short row in " + text);
            column = 0;
            continue;
        }
        if (cell >= rules::CellCount || column >= rules::Columns)
            throw std::invalid_argument("too many cells in " + text);
        if (c == '.') {
            board[cell] = 0;
        } else if (c >= '1' && c <= '8') {
            board[cell] = static_cast<std::int16_t>(c - '0');
        } else {
            throw std::invalid_argument(std::string("bad cell '") + c + "' in " + text);
        }
        ++cell;
        ++column;
    }
    if (cell != rules::CellCount) throw std::invalid_argument("not 20 cells in " + text);
    return board;
}

// The same drawing back, so that a failed comparison shows two boards side by
// side. A value outside 0 to 9 is drawn as '?'.
template <typename Cells>
std::string drawBoard(const Cells& board) {
    std::string text;
    for (int cell = 0; cell < rules::CellCount; ++cell) {
        if (cell > 0 && cell % rules::Columns == 0) text += '|';
        const int count = board[cell];
        text += count == 0 ? '.' : (count > 0 && count <= 9) ? static_cast<char>('0' + count) : '?';
    }
    return text;
}

}  // namespace quillet::testing
