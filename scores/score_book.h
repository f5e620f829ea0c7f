#pragma once

#include <vector>

#include "scores/high_score_table.h"

namespace quillet {

class ScoreStore;

// The high-score table as one run of the game sees it: the table last read
// from the store, with this run's new entries that are not stored yet placed
// into it. Other games may save to the same store at any time, so the table is
// read again whenever it matters (a game ends, the player opens the table) and
// this run's entries are merged into the stored table when they are saved,
// never written over it.
class ScoreBook {
public:
    // `stored` is the table as just read from `store` (ScoreStore::read), so
    // that the game's start reads the file once; empty until the first
    // reload() when not given.
    explicit ScoreBook(const ScoreStore& store, const HighScoreTable& stored = {});

    // The table to show and to rank against.
    const HighScoreTable& table() const { return m_table; }
    // This run's entries not stored yet, earliest first. Usually none, or the
    // one being named; more after a save failed or a naming window was closed
    // from its title bar.
    const std::vector<ScoreEntry>& pending() const { return m_pending; }

    // Reads the store again and places the pending entries into what it holds.
    void reload();

    // Ranks a finished game against the table as stored now. A score that
    // enters takes its rank with an empty name and becomes the newest pending
    // entry; returns that rank, or -1 when the score does not enter (nothing
    // is recorded then).
    int enter(qint32 score);

    // Gives the newest pending entry its name. Does nothing when none is
    // pending.
    void nameNewest(const QString& name);

    // Stores the pending entries, merged into the table as stored now (see
    // ScoreStore::mergeAndSave). On success nothing is pending any more and the
    // table is the one stored; on failure the entries stay pending for the
    // next save.
    bool save();

private:
    void rebuild();

    const ScoreStore& m_store;
    HighScoreTable m_stored;  // as last read from the store, or last written to it
    std::vector<ScoreEntry> m_pending;
    HighScoreTable m_table;  // m_stored with m_pending placed into it
};

}  // namespace quillet
