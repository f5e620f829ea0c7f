#include "scores/score_book.h"

#include "scores/ranking.h"
#include "scores/score_store.h"

namespace quillet {

ScoreBook::ScoreBook(const ScoreStore& store, const HighScoreTable& stored)
    : m_store(store), m_stored(stored), m_table(stored) {}

void ScoreBook::rebuild() {
    m_table = mergeEntries(m_stored, m_pending);
}

void ScoreBook::reload() {
    m_store.load(m_stored);
    rebuild();
}

int ScoreBook::enter(qint32 score) {
    reload();
    // Placed after the pending entries, the new game ranks below an earlier
    // game of this run with the same score, as it will when the two are stored.
    const ScoreEntry entry{QString(), score};
    const int rank = placeEntry(m_table, entry);
    if (rank >= 0) m_pending.push_back(entry);
    return rank;
}

void ScoreBook::nameNewest(const QString& name) {
    if (m_pending.empty()) return;
    m_pending.back().name = name;
    rebuild();
}

bool ScoreBook::save() {
    HighScoreTable stored;
    if (!m_store.mergeAndSave(m_pending, stored)) return false;
    m_stored = stored;
    m_pending.clear();
    rebuild();
    return true;
}

}  // namespace quillet
