#include "scores/score_store.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <utility>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include "scores/ranking.h"

namespace quillet {
namespace {

// The keys of one kind, "<prefix>0" to "<prefix>4", made once: every load and
// save asks for all ten. They lie in the section [Setting].
std::array<QString, HighScoreRanks> rankKeys(const QString& prefix) {
    std::array<QString, HighScoreRanks> keys;
    for (int rank = 0; rank < HighScoreRanks; ++rank) keys[rank] = prefix + QString::number(rank);
    return keys;
}
const QString& nameKey(int rank) {
    static const std::array<QString, HighScoreRanks> keys = rankKeys(QStringLiteral("Setting/HScore_Nm_"));
    return keys[rank];
}
const QString& scoreKey(int rank) {
    static const std::array<QString, HighScoreRanks> keys =
        rankKeys(QStringLiteral("Setting/HScore_Val_"));
    return keys[rank];
}

// A name is text. A hand-edited value with unquoted commas ("Smith, John")
// comes back from the INI reader as a list; joining it again keeps what the
// player wrote instead of losing the entry. Values that are neither text nor a
// list (a hand-written "@Rect(...)") keep whatever text they convert to.
QString nameFromStored(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::UnknownType:
            return QString();
        case QMetaType::QString:
            return value.toString();
        case QMetaType::QStringList:
            return value.toStringList().join(QStringLiteral(", "));
        case QMetaType::QVariantList: {
            QStringList parts;
            for (const QVariant& part : value.toList()) parts.append(nameFromStored(part));
            return parts.join(QStringLiteral(", "));
        }
        default:
            return value.canConvert<QString>() ? value.toString() : QString();
    }
}

// A score is stored as decimal text; a value that is not text at all (a list,
// an "@Variant(...)") is as damaged as "12abc" and reads as 0 too.
qint32 scoreFromStored(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return 0;
    return parseStoredScore(value.toString());
}

// The table takes a few hundred bytes on disk. A file far larger than this was
// not written by the game; only its beginning is read, so that a huge file
// cannot stall the start of the game.
constexpr qint64 MaxStoreBytes = 8 * 1024 * 1024;

constexpr unsigned long LockRetryMs = 5;

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

// A file descriptor that closes itself.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd;
};

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += wrote;
    }
    return true;
}

// What is at the store's place, read once through one open file.
struct StoreContent {
    // False when something is there that cannot be read as the store: a
    // folder, a pipe, a device, a file this user may not read. A save must not
    // replace it; a load reads it as an empty table.
    bool readable = false;
    QByteArray bytes;  // at most MaxStoreBytes; empty when there is no file
};

// Opens the store for reading without waiting: a pipe swapped in would
// otherwise wait for a writer that never comes.
int openWithoutWaiting(const QString& path) {
    return ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// Whether the open file is a regular one. It is asked of the open file, not
// of its name, so nothing can be swapped in between the check and the read.
bool isRegularFile(const OpenFile& file, struct stat& info) {
    return file.isOpen() && ::fstat(file.fd(), &info) == 0 && S_ISREG(info.st_mode);
}

// The store's bytes, read through one open file.
StoreContent readStoreContent(const QString& path) {
    StoreContent content;
    const OpenFile file(openWithoutWaiting(path));
    if (!file.isOpen()) {
        content.readable = errno == ENOENT;
        return content;
    }
    struct stat info {};
    if (!isRegularFile(file, info)) return content;
    // The buffer is sized by what the file holds, plus one byte that shows
    // whether it has grown since: asking for the whole cap at once would take
    // the cap's worth of memory for a file of a few hundred bytes. A file that
    // grows while it is read is followed, the buffer doubling, up to the cap.
    QByteArray& bytes = content.bytes;
    bytes.resize(std::min<qint64>(qint64(info.st_size) + 1, MaxStoreBytes));
    qint64 filled = 0;
    while (filled < MaxStoreBytes) {
        if (filled == bytes.size()) bytes.resize(std::min<qint64>(2 * bytes.size(), MaxStoreBytes));
        const ssize_t got = ::read(file.fd(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return StoreContent{};
        if (got == 0) break;
        filled += got;
    }
    bytes.truncate(filled);
    content.readable = true;
    return content;
}

// QSettings reads only files, and keeps each one it has read in a per-process
// cache that it trusts while the file's size and modification time look the
// same. So the bytes are parsed from a file in memory, reached through its
// /proc name, and that cache entry is dropped afterwards: emptied and read
// again, the file is not kept. Nothing is written to any folder, and nothing
// stays behind, whatever happens to the game meanwhile. False, without calling
// `read`, when no file in memory can be had.
bool parseInMemory(const std::function<bool(int)>& fill,
                   const std::function<void(const QSettings&)>& read) {
    const OpenFile memory(::memfd_create("quillet-store", MFD_CLOEXEC));
    if (!memory.isOpen() || !fill(memory.fd())) return false;
    QSettings settings(QStringLiteral("/proc/self/fd/%1").arg(memory.fd()), QSettings::IniFormat);
    read(settings);
    if (::ftruncate(memory.fd(), 0) == 0) settings.sync();
    return true;
}

bool parseSettings(const QByteArray& bytes, const std::function<void(const QSettings&)>& read) {
    return parseInMemory([&](int memory) { return writeAll(memory, bytes); }, read);
}

// Copies the first MaxStoreBytes of the open file `from` into `to`, file to
// file inside the kernel: a huge file in the store's place costs the start of
// the game no more than it must.
bool copyStart(int from, int to) {
    qint64 copied = 0;
    while (copied < MaxStoreBytes) {
        const ssize_t sent = ::sendfile(to, from, nullptr, MaxStoreBytes - copied);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) return false;
        if (sent == 0) break;
        copied += sent;
    }
    return true;
}

// Gives `read` the settings in the file at `path` itself, when no file in
// memory can be had (the process may not grow any file: a full disk in the
// tests). The file is opened and checked as readStoreContent does, and
// QSettings reads it through that open file, so nothing can be swapped in
// between; a file past the size cap reads as empty. Its cache entry stays:
// only a later parse in the same moment, at the same size, could meet it.
void parseInPlace(const QString& path, const std::function<void(const QSettings&)>& read) {
    const OpenFile file(openWithoutWaiting(path));
    struct stat info {};
    if (isRegularFile(file, info) && info.st_size <= MaxStoreBytes) {
        read(QSettings(QStringLiteral("/proc/self/fd/%1").arg(file.fd()), QSettings::IniFormat));
    } else {
        read(QSettings(QString(), QSettings::IniFormat));
    }
}

// The keys of the table, read from `settings`. A missing key gives the empty
// name or the text "0".
HighScoreTable readTable(const QSettings& settings) {
    HighScoreTable table;
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        table.names[rank] = storableName(nameFromStored(settings.value(nameKey(rank))));
        table.scores[rank] = scoreFromStored(settings.value(scoreKey(rank), QStringLiteral("0")));
    }
    return table;
}

void writeTable(QSettings& settings, const HighScoreTable& table) {
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        settings.setValue(nameKey(rank), storableName(table.names[rank]));
        settings.setValue(scoreKey(rank), QString::number(table.scores[rank]));
    }
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
    return a.names == b.names && a.scores == b.scores;
}

// The table as it will read back once stored: names with a lone half of a
// surrogate pair replaced.
HighScoreTable storableTable(HighScoreTable table) {
    for (QString& name : table.names) name = storableName(name);
    return table;
}

// The save's lock: an flock on a file beside the store. The kernel lets it go
// when its holder ends, however that happens, and never while the holder
// lives, so a save that takes long (a slow disk, a stopped game) keeps it to
// the end and no age makes it look abandoned. The file itself is removed by
// its holder before letting go, so it exists only during a save; one left by a
// game killed mid-save is simply locked again by the next.
class StoreLock {
public:
    explicit StoreLock(QString path) : m_path(std::move(path)) {}
    ~StoreLock() { unlock(); }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    // Waits up to ScoreStore::LockWaitMs for another game to let go, trying
    // every few milliseconds: a save holds the lock for a few milliseconds, and
    // the player waits on it. A lock file that cannot be made at all (a
    // read-only folder) fails at once.
    bool lock() {
        const QDeadlineTimer deadline(ScoreStore::LockWaitMs);
        const QByteArray path = encoded(m_path);
        for (;;) {
            m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (m_fd < 0) return false;
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                // The holder before us may have removed the file between our
                // open and our flock: then the lock is on a file no one else
                // will find, and the path must be locked anew.
                struct stat held {};
                struct stat named {};
                if (::fstat(m_fd, &held) == 0 && ::stat(path.constData(), &named) == 0 &&
                    held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                    return true;
                }
            } else if (errno != EWOULDBLOCK && errno != EINTR) {
                closeFile();
                return false;
            }
            closeFile();
            if (deadline.hasExpired()) return false;
            QThread::msleep(LockRetryMs);
        }
    }

    void unlock() {
        if (m_fd < 0) return;
        ::unlink(encoded(m_path).constData());
        closeFile();
    }

private:
    void closeFile() {
        ::close(m_fd);
        m_fd = -1;
    }

    QString m_path;
    int m_fd = -1;
};

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

// The one scratch file of a save lies beside the store, and so on its file
// system: renamed over the store, it replaces it in one step. Its name carries
// the saving game's process number, so that games saving at once never share
// one. What a game killed mid-save leaves (QSettings' own scratch and lock
// files, named after ours, included) is removed by the next save of any game
// once that process is gone.
QString scratchPath(const QString& storePath) {
    return storePath + QStringLiteral(".saving-") + QString::number(::getpid());
}

// Removes this game's scratch files and those of games no longer running.
void removeScratch(const QString& storePath) {
    const QFileInfo store(storePath);
    QDir folder = store.absoluteDir();
    const QString prefix = store.fileName() + QStringLiteral(".saving-");
    const QStringList found =
        folder.entryList({prefix + QLatin1Char('*')},
                         QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : found) {
        const QString owner = name.mid(prefix.size()).section(QLatin1Char('.'), 0, 0);
        bool isNumber = false;
        const pid_t pid = owner.toInt(&isNumber);
        if (!isNumber || pid <= 0) continue;
        if (pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH)) folder.remove(name);
    }
}

// Copies `bytes` into a new scratch file with the store's permissions.
bool writeScratch(const QString& path, const QByteArray& bytes, mode_t mode) {
    const OpenFile file(::open(encoded(path).constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    return file.isOpen() && ::fchmod(file.fd(), mode) == 0 && writeAll(file.fd(), bytes);
}

// Flushes the scratch file to its disk, so that the rename never puts a file
// in the store's place whose content is still to come.
bool syncScratch(const QString& path) {
    const OpenFile file(::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return file.isOpen() && ::fsync(file.fd()) == 0;
}

// The save itself, with the lock held. QSettings writes the change into the
// scratch copy of the store, so the file keeps QSettings' own form and every
// other section and key. QSettings can report a short write as a success (a
// full disk, seen with Qt 6.4), so what it wrote is read back and checked
// before it takes the store's place.
bool replaceSettings(const QString& path, const std::function<void(QSettings&)>& change,
                     const std::function<bool(const QSettings&)>& isStored) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const StoreContent current = readStoreContent(path);
    if (!current.readable) return false;
    // A file the player made read-only stays as it is, although its folder
    // would let a new file take its place.
    struct stat info {};
    const bool exists = ::stat(encoded(path).constData(), &info) == 0;
    if (exists && ::access(encoded(path).constData(), W_OK) != 0) return false;
    const mode_t mode = exists ? (info.st_mode & 07777) : mode_t(0600);

    const QString scratch = scratchPath(path);
    removeScratch(path);
    if (!writeScratch(scratch, current.bytes, mode)) {
        QFile::remove(scratch);
        return false;
    }
    QSettings settings(scratch, QSettings::IniFormat);
    change(settings);
    settings.sync();
    // A damaged store shows as a FormatError while it is read, before the
    // write; the reading back tells whether the write replaced the damage.
    bool saved = false;
    if (settings.status() != QSettings::AccessError) {
        const StoreContent written = readStoreContent(scratch);
        bool confirmed = false;
        const auto check = [&](const QSettings& back) { confirmed = isStored(back); };
        if (written.readable && written.bytes.size() < MaxStoreBytes &&
            !parseSettings(written.bytes, check)) {
            parseInPlace(scratch, check);
        }
        saved = confirmed && syncScratch(scratch) &&
                ::rename(encoded(scratch).constData(), encoded(path).constData()) == 0;
    }
    if (!saved) QFile::remove(scratch);
    // Read again once it is gone, the scratch file leaves QSettings' cache.
    settings.sync();
    return saved;
}

}  // namespace

QString storableName(const QString& name) {
    // The file is UTF-8, which has no form for half of a surrogate pair: such
    // a half (a hand-edited "\xd83d", a paste cut in two) would come back as
    // something else, and a table that does not read back as written is never
    // stored. So it becomes U+FFFD, the character that stands for one lost.
    QString storable = name;
    for (qsizetype i = 0; i < storable.size(); ++i) {
        const QChar c = storable.at(i);
        if (c.isHighSurrogate() && i + 1 < storable.size() && storable.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            storable[i] = QChar::ReplacementCharacter;
        }
    }
    return storable;
}

qint32 parseStoredScore(const QString& text) {
    // Only the form the game writes is accepted: an optional '-' and one or more
    // ASCII digits. Leading zeros are harmless ("007" is 7, "-0" is 0); a '+',
    // blanks, other digit forms ("1e3", "0x10", full-width digits) and anything
    // outside the signed 32-bit range are damage and read as 0.
    qsizetype pos = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative) ++pos;
    if (pos == text.size()) return 0;

    // The magnitude is gathered in 64 bits and checked after every digit, so even
    // a very long run of digits cannot overflow.
    const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min())
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text.at(pos).unicode();
        if (c < u'0' || c > u'9') return 0;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit) return 0;
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

ScoreStore::ScoreStore() : ScoreStore(defaultFilePath()) {}

ScoreStore::ScoreStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString ScoreStore::lockFilePath() const {
    // The name older versions of the game lock too, so that a save of theirs
    // and one of ours never overlap.
    return m_filePath + QStringLiteral(".merge-lock");
}

void ScoreStore::readSettings(const std::function<void(const QSettings&)>& read) const {
    // Loading only ever reads: it never creates the file, a key or a folder.
    // Anything but a regular file reads as an empty store.
    const OpenFile file(openWithoutWaiting(m_filePath));
    struct stat info {};
    const bool regular = isRegularFile(file, info);
    const auto fill = [&](int memory) { return !regular || copyStart(file.fd(), memory); };
    if (!parseInMemory(fill, read)) parseInPlace(m_filePath, read);
}

void ScoreStore::load(HighScoreTable& table) const {
    readSettings([&](const QSettings& settings) { table = readTable(settings); });
}

bool ScoreStore::changeSettings(const std::function<void(QSettings&)>& change,
                                const std::function<bool(const QSettings&)>& isStored) const {
    // QSettings locks the file too, but only for the moment of each write:
    // a read that decides what to write would fall outside it, and another
    // game's save could slip in between. So the whole read, change and write
    // happens under a lock of our own. The lock lies beside the store, so the
    // folder must exist before the lock can; the first save of a new user
    // creates it here. A game that holds the lock too long (a hung disk, a
    // stopped process) is waited for LockWaitMs and no longer, so the player
    // never waits long on another game.
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    StoreLock lock(lockFilePath());
    const bool saved = lock.lock() && replaceSettings(m_filePath, change, isStored);
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::save(const HighScoreTable& table) const {
    // Writes what it is given, whatever the file holds now, so it needs no
    // lock: the replacing is atomic, and each game's scratch file its own.
    const HighScoreTable stored = storableTable(table);
    const bool saved = replaceSettings(
        m_filePath, [&](QSettings& settings) { writeTable(settings, stored); },
        [&](const QSettings& back) { return sameTable(readTable(back), stored); });
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::mergeAndSave(const std::vector<ScoreEntry>& entries,
                              HighScoreTable& result) const {
    // The entries go into the table as the file holds it under the lock.
    HighScoreTable merged;
    const bool saved = changeSettings(
        [&](QSettings& settings) {
            merged = storableTable(mergeEntries(readTable(settings), entries));
            writeTable(settings, merged);
        },
        [&](const QSettings& back) { return sameTable(readTable(back), merged); });
    if (saved) result = merged;
    return saved;
}

}  // namespace quillet
