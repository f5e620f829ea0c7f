#pragma once

#include <vector>

#include "scores/high_score_table.h"

namespace quillet {

// The rank a final score takes: the first rank, from 0 down, whose stored score
// is strictly less than `score`; -1 when the score does not enter the table.
int rankFor(const HighScoreTable& table, qint32 score);

// Moves entries rank .. 3 down by one, from the bottom up, so that rank `rank`
// can take the new score. The entry at rank 4 is lost. Rank 4 moves nothing.
// 0 <= rank < 5; any other rank moves nothing.
void makeRoom(HighScoreTable& table, int rank);

// Ranks `entry` into `table` as a finished game is ranked: at the first rank
// whose score is strictly less, below any equal scores, making room for it.
// Returns its rank, or -1 when it does not enter (the table is then unchanged).
int placeEntry(HighScoreTable& table, const ScoreEntry& entry);

// `table` with each of `entries` placed in turn, earliest first, so that among
// equal scores the earlier game stays above. An entry may land on another rank
// than it had when it was first ranked, or drop out of the table altogether.
HighScoreTable mergeEntries(HighScoreTable table, const std::vector<ScoreEntry>& entries);

}  // namespace quillet
