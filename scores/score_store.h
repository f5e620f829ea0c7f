#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "scores/high_score_table.h"
#include "scores/score_keys.h"

namespace quillet {

// The per-user store of the high-score table, the sound switch and the zoom:
// an INI file in QSettings' form (store_text.h). A save changes only the
// lines of the keys it sets; every other byte of the file stays. A store kept
// behind a symbolic link stays behind it: a save replaces the file the link
// leads to.
//
// Several games may run at once and share the one file. The game stores its
// new entries through mergeAndSave, which places them into the table as it
// stands on disk at that moment, under a lock file beside the store, so that
// no game writes back an older table over another game's entries.
//
// No save ever writes to a file larger than MaxStoreBytes (store_file.h), nor
// makes one. A save that fails returns false and prints one line on standard
// error; the file is then untouched, and the next save tries again.
class ScoreStore {
public:
    // The user's own store: $XDG_CONFIG_HOME/Quillet/Quillet.conf
    // (by default ~/.config/Quillet/Quillet.conf), the file QSettings names for
    // the organisation and application "Quillet", where older versions of the
    // game kept it. Works the name out without touching the file.
    ScoreStore();
    // A store in the given file, for tests and tools.
    explicit ScoreStore(QString filePath);

    const QString& filePath() const { return m_filePath; }
    // The lock file that every save but save() holds while it reads, changes
    // and writes, beside filePath() even when that is a link, so that every
    // game finds it. It exists only during a save (or after a game was killed
    // in one, until the next save).
    QString lockFilePath() const;
    // How long a save waits for another game to let the lock go. A lock left
    // behind by a game that crashed is taken over at once.
    static constexpr int LockWaitMs = 2000;

    // The table, the switch and the zoom, from one open and one read of the
    // file: what the game needs when it starts. Never creates the file, a key
    // or a folder, never waits, and never fails: only a regular file is read,
    // and only its first MaxStoreBytes; an unreadable or damaged file yields
    // what can be read, as score_keys.h says.
    StoredSettings read() const;
    // Replaces the whole table with what the store holds, as read() does.
    void load(HighScoreTable& table) const;

    // Sets all ten keys of the table as given, whatever table the file holds,
    // so it takes no lock (the game itself stores through mergeAndSave). A
    // name is stored with any lone half of a surrogate pair replaced by
    // U+FFFD, as load() gives it back.
    bool save(const HighScoreTable& table) const;

    // Places `entries` (this run's new games, earliest first) into the table as
    // the store holds it now, by the ranking rule, and writes the result, all
    // under the lock. On success `result` is the table now stored; on failure
    // it is untouched. With no entries this writes the stored table back.
    bool mergeAndSave(const std::vector<ScoreEntry>& entries, HighScoreTable& result) const;

    // Under the lock: `change` sets the `keys` on the settings as the file
    // holds them now, and the file is replaced atomically once the new bytes,
    // read back, hold them.
    bool changeSettings(StoreKeys keys, const std::function<void(StoredSettings&)>& change) const;

private:
    QString m_filePath;
};

}  // namespace quillet
