#pragma once

#include <array>

#include <QString>

#include "scores/high_score_table.h"

namespace quillet {

// The first words of the one line a failed save prints on standard error.
inline constexpr char SaveFailurePrefix[] = "quillet: could not save the high scores to ";

inline HighScoreTable makeTable(const std::array<QString, HighScoreRanks>& names,
                                const std::array<qint32, HighScoreRanks>& scores) {
    HighScoreTable table;
    table.names = names;
    table.scores = scores;
    return table;
}

}  // namespace quillet
