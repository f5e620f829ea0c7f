#pragma once

#include "scores/high_score_table.h"

namespace quillet {

// The rank a final score takes: the first rank, from 0 down, whose stored score
// is strictly less than `score`; -1 when the score does not enter the table.
int rankFor(const HighScoreTable& table, qint32 score);

// Moves entries rank .. 3 down by one, from the bottom up, so that rank `rank`
// can take the new score. The entry at rank 4 is lost. Rank 4 moves nothing.
// 0 <= rank < 5; any other rank moves nothing.
void makeRoom(HighScoreTable& table, int rank);

}  // namespace quillet
