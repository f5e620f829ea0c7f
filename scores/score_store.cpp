#include "scores/score_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "scores/ranking.h"
#include "scores/score_keys.h"
#include "scores/store_file.h"
#include "scores/store_lock.h"

namespace quillet {
namespace {

QString defaultFilePath() {
    // On Linux QSettings' native per-user store is an INI file under
    // $XDG_CONFIG_HOME (by default ~/.config), named after the organisation and
    // the application, with the path made absolute and cleaned. The same name
    // is put together here: building a QSettings only to ask would read the
    // whole file, and would wait for ever on a pipe in its place.
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir::cleanPath(
        QDir::current().absoluteFilePath(configHome + QStringLiteral("/Quillet/Quillet.conf")));
}

// The failure goes on one line, even when the path holds a line break.
void reportSaveFailure(const QString& path) {
    QString shown = path;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    }
    std::fprintf(stderr, "quillet: could not save the high scores to %s\n",
                 shown.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Sets the `keys` to what `change` makes of the settings in the file at
// `path` (or, through symbolic links, in the file they lead to), in a scratch
// copy beside it that takes its place once, read back from its disk, it holds
// them. False, with the file untouched, when it cannot be read whole
// (something else than a regular file, a file over MaxStoreBytes), may not be
// written, or would not be whole or not within MaxStoreBytes once written. A
// write cut short can pass for a whole one (a full disk), hence the reading
// back. The caller holds the lock where one is needed.
bool replaceStored(const QString& path, StoreKeys keys,
                   const std::function<void(StoredSettings&)>& change) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString target = finalTarget(path);
    if (target.isEmpty()) return false;
    // Only a file read whole is written back: a save from the beginning of a
    // file past the cap would lose the rest of it.
    const StoreContent current = readStoreContent(target);
    if (!current.readable || !current.complete) return false;
    // A file the player made read-only stays as it is, although its folder
    // would let a new file take its place.
    const QByteArray targetName = encoded(target);
    struct stat info {};
    const bool exists = ::stat(targetName.constData(), &info) == 0;
    if (exists && ::access(targetName.constData(), W_OK) != 0) return false;
    const mode_t mode = exists ? (info.st_mode & 07777) : mode_t(0600);

    const StoreText text = readStoreText(current.bytes);
    StoredSettings wanted = text.settings;
    change(wanted);
    wanted.table = storableTable(wanted.table);
    const QByteArray bytes = withSettings(text, wanted, keys);
    if (bytes.size() > MaxStoreBytes) return false;

    const QString scratch = scratchPath(target);
    removeScratch(target);
    const auto holdsWanted = [&] {
        const StoreContent written = readStoreContent(scratch);
        return written.readable && written.complete &&
               holdsSettings(readStoreText(written.bytes), wanted, keys);
    };
    const bool saved = writeScratch(scratch, bytes, mode) && holdsWanted() &&
                       syncScratch(scratch) &&
                       ::rename(encoded(scratch).constData(), targetName.constData()) == 0;
    if (!saved) QFile::remove(scratch);
    return saved;
}

}  // namespace

ScoreStore::ScoreStore() : ScoreStore(defaultFilePath()) {}

ScoreStore::ScoreStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString ScoreStore::lockFilePath() const {
    // The name older versions of the game lock too, so that a save of theirs
    // and one of ours never overlap.
    return m_filePath + QStringLiteral(".merge-lock");
}

StoredSettings ScoreStore::read() const {
    return readStoreText(readStoreContent(m_filePath).bytes).settings;
}

void ScoreStore::load(HighScoreTable& table) const {
    table = read().table;
}

bool ScoreStore::changeSettings(StoreKeys keys,
                                const std::function<void(StoredSettings&)>& change) const {
    // The whole read, change and write happens under the lock: another
    // game's save must not slip in between the read that decides what to
    // write and the write. The lock lies beside the store, so the folder must
    // exist before the lock can; the first save of a new user creates it
    // here. A game that holds the lock too long (a hung disk, a stopped
    // process) is waited for StoreLock::WaitMs and no longer, so the player
    // never waits long on another game.
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    StoreLock lock(lockFilePath());
    const bool saved = lock.lock() && replaceStored(m_filePath, keys, change);
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::save(const HighScoreTable& table) const {
    // Writes what it is given, whatever the file holds now, so it needs no
    // lock: the replacing is atomic, and each game's scratch file its own.
    const bool saved = replaceStored(m_filePath, StoreKeys::Table,
                                     [&](StoredSettings& stored) { stored.table = table; });
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::mergeAndSave(const std::vector<ScoreEntry>& entries,
                              HighScoreTable& result) const {
    // The entries go into the table as the file holds it under the lock.
    HighScoreTable merged;
    const bool saved = changeSettings(StoreKeys::Table, [&](StoredSettings& stored) {
        stored.table = merged = storableTable(mergeEntries(stored.table, entries));
    });
    if (saved) result = merged;
    return saved;
}

}  // namespace quillet
