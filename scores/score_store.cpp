#include "scores/score_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include "scores/ranking.h"
#include "scores/sound_setting.h"
#include "scores/store_file.h"
#include "scores/store_text.h"
#include "scores/zoom_setting.h"

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

// The save's lock: an flock on a file beside the store. The kernel lets it go
// when its holder ends, however that happens, and never while the holder
// lives, so a save that takes long (a slow disk, a stopped game) keeps it to
// the end and no age makes it look abandoned. The file itself is removed by
// its holder before letting go, so it exists only during a save; one left by a
// game killed mid-save is simply locked again by the next.
class SaveLock {
public:
    explicit SaveLock(const QString& path) : m_path(encoded(path)) {}
    ~SaveLock() {
        if (m_fd < 0) return;
        ::unlink(m_path.constData());
        ::close(m_fd);
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    // Tries every few milliseconds for up to LockWaitMs: a save holds the
    // lock for a few milliseconds, and the player waits on it. A lock file
    // that cannot be made at all (a read-only folder) fails at once.
    bool take() {
        const QDeadlineTimer deadline(ScoreStore::LockWaitMs);
        for (;;) {
            const int fd =
                ::open(m_path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) return false;
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                // The holder before us may have removed the file between our
                // open and our flock: then the lock is on a file no one else
                // will find, and the path must be locked anew.
                struct stat held {};
                struct stat named {};
                if (::fstat(fd, &held) == 0 && ::stat(m_path.constData(), &named) == 0 &&
                    held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                    m_fd = fd;
                    return true;
                }
            } else if (errno != EWOULDBLOCK && errno != EINTR) {
                ::close(fd);
                return false;
            }
            ::close(fd);
            if (deadline.hasExpired()) return false;
            QThread::msleep(5);
        }
    }

private:
    QByteArray m_path;
    int m_fd = -1;
};

// Sets the `keys` to what `change` makes of the settings the file holds,
// once the new bytes read back hold them (replaceStoreFile). The caller holds
// the lock where one is needed.
bool replaceStored(const QString& path, StoreKeys keys,
                   const std::function<void(StoredSettings&)>& change) {
    StoredSettings wanted;
    const auto edit = [&](const QByteArray& bytes) {
        const StoreText text = readStoreText(bytes);
        wanted = text.settings;
        change(wanted);
        wanted.table = storableTable(wanted.table);
        return withSettings(text, wanted, keys);
    };
    return replaceStoreFile(path, edit, [&](const QByteArray& written) {
        return holdsSettings(readStoreText(written), wanted, keys);
    });
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
    // process) is waited for LockWaitMs and no longer, so the player never
    // waits long on another game.
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    SaveLock lock(lockFilePath());
    const bool saved = lock.take() && replaceStored(m_filePath, keys, change);
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::save(const HighScoreTable& table) const {
    // The replacing is atomic, and each game's scratch file its own.
    const bool saved = replaceStored(m_filePath, StoreKeys::Table,
                                     [&](StoredSettings& stored) { stored.table = table; });
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::mergeAndSave(const std::vector<ScoreEntry>& entries,
                              HighScoreTable& result) const {
    HighScoreTable merged;
    const bool saved = changeSettings(StoreKeys::Table, [&](StoredSettings& stored) {
        stored.table = merged = storableTable(mergeEntries(stored.table, entries));
    });
    if (saved) result = merged;
    return saved;
}

bool loadSoundOn(const ScoreStore& store) {
    return store.read().soundOn;
}

bool saveSoundOn(const ScoreStore& store, bool on) {
    return store.changeSettings(StoreKeys::Sound,
                                [&](StoredSettings& stored) { stored.soundOn = on; });
}

int loadZoomPercent(const ScoreStore& store) {
    return store.read().zoomPercent;
}

bool saveZoomPercent(const ScoreStore& store, int percent) {
    return store.changeSettings(StoreKeys::Zoom,
                                [&](StoredSettings& stored) { stored.zoomPercent = percent; });
}

}  // namespace quillet
