#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "scores/high_score_table.h"

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace quillet {

// The per-user store of the high-score table: an INI file read and written
// through QSettings, group [Setting], keys HScore_Nm_0 ... HScore_Nm_4 and
// HScore_Val_0 ... HScore_Val_4. Other keys in the file (the sound switch,
// anything a player added) are kept by every save.
//
// Several games may run at once and share the one file. The game stores its
// new entries through mergeAndSave, which places them into the table as it
// stands on disk at that moment, under a lock file beside the store, so that
// no game writes back an older table over another game's entries.
class ScoreStore {
public:
    // The user's own store: $XDG_CONFIG_HOME/Quillet/Quillet.conf
    // (by default ~/.config/Quillet/Quillet.conf), the file QSettings names for
    // the organisation and application "Quillet". Works the name out without
    // touching the file.
    ScoreStore();
    // A store in the given file, for tests and tools.
    explicit ScoreStore(QString filePath);

    const QString& filePath() const { return m_filePath; }
    // The lock file that mergeAndSave and changeSettings hold while they read,
    // change and write. It exists only during a save (or after a game was
    // killed in one, until the next save).
    QString lockFilePath() const;

    // How long a save waits for another game to let the lock go.
    static constexpr int LockWaitMs = 2000;

    // Replaces the whole table with what the store holds. A missing key reads as
    // an empty name or a score of 0; so does a score that is not a plain decimal
    // integer in the signed 32-bit range. A lone half of a surrogate pair in a
    // name reads as U+FFFD. Never creates the file or a key, never waits, and
    // never fails: only a regular file is read, and only its first 8 MiB; an
    // unreadable or damaged file yields what can be read.
    void load(HighScoreTable& table) const;

    // Writes all ten keys as given, over whatever table the file holds (the
    // game itself stores through mergeAndSave). The file is replaced
    // atomically, so it always holds either the old table or the new one.
    // Returns false when the store refused the write (one line goes to
    // standard error); the table in memory is untouched and the next save
    // tries again. A name is stored with any lone half of a surrogate pair
    // replaced by U+FFFD, as load() gives it back.
    bool save(const HighScoreTable& table) const;

    // Places `entries` (this run's new games, earliest first) into the table as
    // the store holds it now, by the ranking rule, and writes the result: all
    // under the store's lock, so that another game's save cannot slip in
    // between the read and the write. On success `result` is the table now
    // stored. A lock that is not had within LockWaitMs fails the save like any
    // other failure: false, one line on standard error, `result` untouched. A
    // lock left behind by a game that crashed is taken over. With no entries
    // this writes the stored table back as it is.
    bool mergeAndSave(const std::vector<ScoreEntry>& entries, HighScoreTable& result) const;

    // The store's other keys (the sound switch) go through these two. `read`
    // sees the file as it is now, the same way load() does: nothing past the
    // size cap, a file that is not a regular one reads as empty.
    void readSettings(const std::function<void(const QSettings&)>& read) const;
    // Under the store's lock: `change` sets keys on the file's current
    // content, and the file is replaced atomically once `isStored`, given the
    // bytes written as read back, confirms them. False (one line on standard
    // error, the file untouched) otherwise.
    bool changeSettings(const std::function<void(QSettings&)>& change,
                        const std::function<bool(const QSettings&)>& isStored) const;

private:
    QString m_filePath;
};

// Reads a stored score text: optional minus sign and decimal digits, nothing
// else, within the signed 32-bit range; anything else reads as 0. Leading zeros
// are accepted ("007" is 7); a plus sign, blanks, exponents and hex are not
// ("+5", " 5", "1e3" and "0x10" all read as 0).
qint32 parseStoredScore(const QString& text);

// `name` as the store keeps it: each lone half of a surrogate pair, which the
// file's UTF-8 cannot hold, replaced by U+FFFD; everything else as it is.
QString storableName(const QString& name);

}  // namespace quillet
