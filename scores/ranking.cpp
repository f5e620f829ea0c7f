#include "scores/ranking.h"

namespace quillet {

int rankFor(const HighScoreTable& table, qint32 score) {
    // From the best entry down, the first one that the score beats outright. A
    // score equal to an entry does not beat it, so a later game with the same
    // score ranks below the earlier ones. An edited, unordered table is taken as
    // it stands: the entries after the first beaten one are not looked at.
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        if (table.scores[rank] < score) return rank;
    }
    return -1;
}

void makeRoom(HighScoreTable& table, int rank) {
    // Any other rank is a slip of the caller (rankFor's -1 among them); moving
    // nothing is the only harmless answer.
    if (rank < 0 || rank >= HighScoreRanks) return;
    // Bottom up, so that every entry is copied before it is overwritten. The
    // entry at `rank` stays where it is as well; its score is replaced by the
    // caller and its name when the player types one.
    for (int j = HighScoreRanks - 2; j >= rank; --j) {
        table.names[j + 1] = table.names[j];
        table.scores[j + 1] = table.scores[j];
    }
}

int placeEntry(HighScoreTable& table, const ScoreEntry& entry) {
    const int rank = rankFor(table, entry.score);
    if (rank < 0) return rank;
    makeRoom(table, rank);
    table.names[rank] = entry.name;
    table.scores[rank] = entry.score;
    return rank;
}

HighScoreTable mergeEntries(HighScoreTable table, const std::vector<ScoreEntry>& entries) {
    for (const ScoreEntry& entry : entries) placeEntry(table, entry);
    return table;
}

}  // namespace quillet
