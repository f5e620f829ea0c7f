#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "scores/high_score_table.h"

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace quillet {

// What the game keeps in its store: the high-score table and the sound switch.
struct StoredSettings {
    HighScoreTable table;
    bool soundOn = true;
};

// The per-user store of the high-score table: an INI file read and written
// through QSettings, group [Setting], keys HScore_Nm_0 ... HScore_Nm_4 and
// HScore_Val_0 ... HScore_Val_4. Other keys in the file (the sound switch,
// anything a player added) are kept by every save. A store kept behind a
// symbolic link stays behind it: a save replaces the file the link leads to.
//
// Several games may run at once and share the one file. The game stores its
// new entries through mergeAndSave, which places them into the table as it
// stands on disk at that moment, under a lock file beside the store, so that
// no game writes back an older table over another game's entries.
//
// No save ever writes to a file larger than MaxStoreBytes (store_file.h), nor
// makes one: such a save fails like any other, and the file keeps every byte.
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
    // change and write, beside filePath() even when that is a link, so that
    // every game finds it. It exists only during a save (or after a game was
    // killed in one, until the next save).
    QString lockFilePath() const;

    // The table and the sound switch, from one open and one read of the file:
    // what the game needs when it starts. Never creates the file, a key or a
    // folder, never waits, and never fails: only a regular file is read, and
    // only its first MaxStoreBytes; an unreadable or damaged file yields what
    // can be read. The table's keys read as readTable says (score_keys.h), the
    // switch as loadSoundOn does (sound_setting.h).
    StoredSettings read() const;
    // Replaces the whole table with what the store holds, as read() does.
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
    // stored. A lock that is not had within StoreLock::WaitMs fails the save
    // like any other failure: false, one line on standard error, `result`
    // untouched. A lock left behind by a game that crashed is taken over. With
    // no entries this writes the stored table back as it is.
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

}  // namespace quillet
