#pragma once

#include <QString>

#include "scores/high_score_table.h"

namespace quillet {

// The per-user store of the high-score table: an INI file read and written
// through QSettings, group [Setting], keys HScore_Nm_0 ... HScore_Nm_4 and
// HScore_Val_0 ... HScore_Val_4.
class ScoreStore {
public:
    // The user's own store: $XDG_CONFIG_HOME/Quillet/Quillet.conf
    // (by default ~/.config/Quillet/Quillet.conf).
    ScoreStore();
    // A store in the given file, for tests and tools.
    explicit ScoreStore(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // Replaces the whole table with what the store holds. A missing key reads as
    // an empty name or a score of 0; so does a score that is not a plain decimal
    // integer in the signed 32-bit range. Never creates the file or a key, and
    // never fails: an unreadable or damaged file yields what can be read.
    void load(HighScoreTable& table) const;

    // Writes all ten keys. The file is replaced atomically, so it always holds
    // either the old table or the new one. Returns false when the store refused
    // the write (one line goes to standard error); the table in memory is
    // untouched and the next save tries again.
    bool save(const HighScoreTable& table) const;

private:
    QString m_filePath;
};

// Reads a stored score text: optional minus sign and decimal digits, nothing
// else, within the signed 32-bit range; anything else reads as 0. Leading zeros
// are accepted ("007" is 7); a plus sign, blanks, exponents and hex are not
// ("+5", " 5", "1e3" and "0x10" all read as 0).
qint32 parseStoredScore(const QString& text);

}  // namespace quillet
