#include "scores/score_store.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>
#include <QVariant>

#include "scores/ranking.h"

namespace quillet {
namespace {

// The section of the store that holds the table: it shows as [Setting] in the file.
const QString SettingGroup = QStringLiteral("Setting");

// The keys of one kind, "<prefix>0" to "<prefix>4", made once: every load and
// save asks for all ten.
std::array<QString, HighScoreRanks> rankKeys(const QString& prefix) {
    std::array<QString, HighScoreRanks> keys;
    for (int rank = 0; rank < HighScoreRanks; ++rank) keys[rank] = prefix + QString::number(rank);
    return keys;
}
const QString& nameKey(int rank) {
    static const std::array<QString, HighScoreRanks> keys = rankKeys(QStringLiteral("HScore_Nm_"));
    return keys[rank];
}
const QString& scoreKey(int rank) {
    static const std::array<QString, HighScoreRanks> keys =
        rankKeys(QStringLiteral("HScore_Val_"));
    return keys[rank];
}

// The table takes a few hundred bytes on disk. A file far larger than this was
// not written by the game; only its beginning is read, so that a huge file
// cannot stall the start of the game.
constexpr qint64 MaxStoreBytes = 8 * 1024 * 1024;

// A lock older than this is taken for one left behind, even when its process
// number now belongs to a running game (the number was reused). A save holds
// the lock for a few milliseconds, so no live save comes near it. A lock whose
// process is gone is taken over at once, whatever its age.
constexpr int StaleLockMs = 10 * 1000;
constexpr unsigned long LockRetryMs = 5;

QString defaultFilePath() {
    // On Linux the native per-user store is an INI file under $XDG_CONFIG_HOME
    // (by default ~/.config), named after the organisation and the application.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillet"),
                     QStringLiteral("Quillet"))
        .fileName();
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

// Reads the ten keys, in the order HScore_Nm_0, HScore_Val_0, HScore_Nm_1, ...
// A missing key gives the empty name or the text "0".
HighScoreTable readTable(QSettings& settings) {
    HighScoreTable table;
    settings.beginGroup(SettingGroup);
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        table.names[rank] = nameFromStored(settings.value(nameKey(rank), QString()));
        table.scores[rank] = scoreFromStored(settings.value(scoreKey(rank), QStringLiteral("0")));
    }
    settings.endGroup();
    return table;
}

// The bytes of the store file, at most MaxStoreBytes of them, or nothing when
// there is no regular file to read. A folder, a pipe or a device in its place
// reads as an empty store: opening a pipe would wait for a writer that never
// comes.
std::optional<QByteArray> readStoreBytes(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return std::nullopt;
    // The buffer is sized by what the file holds, plus one byte that shows
    // whether it has grown since: asking for the whole cap at once would take
    // the cap's worth of memory for a file of a few hundred bytes. A file that
    // grows while it is read is followed, the buffer doubling, up to the cap.
    QByteArray bytes(std::min<qint64>(file.size() + 1, MaxStoreBytes), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < MaxStoreBytes) {
        if (filled == bytes.size()) bytes.resize(std::min<qint64>(2 * bytes.size(), MaxStoreBytes));
        const qint64 got = file.read(bytes.data() + filled, bytes.size() - filled);
        if (got <= 0) break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

// QSettings keeps every file it has read in a per-process cache and trusts that
// cache for as long as the file's size and modification time look unchanged. A
// file rewritten by hand to the same size within one tick of the file system's
// clock would then still read as its old content. Parsing a private copy, under
// a name never used before, makes every load see what is on disk now.
// Nothing when no copy can be written (a full disk).
// Writes `bytes` into `copy`, a private file under a name never used before.
// False when they do not all fit (a full disk).
bool writePrivateCopy(QTemporaryFile& copy, const QByteArray& bytes) {
    // The bytes go out in one write, so the copy needs no write buffer.
    // (QTemporaryFile takes open modes only through QFile.)
    QFile& copyFile = copy;
    if (!copyFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered) ||
        copy.write(bytes) != bytes.size()) {
        return false;
    }
    copy.close();
    return true;
}

// The name pattern of the private copies. The temporary folder is looked up
// once: QDir::tempPath() resolves its links anew at every call.
const QString& privateCopyTemplate() {
    static const QString pattern = QDir::tempPath() + QStringLiteral("/quillet-scores-XXXXXX.conf");
    return pattern;
}

// Removes `copy`, which `settings` has read or written, and its entry in
// QSettings' cache. The cache would otherwise keep every copy, parsed, under
// its one-time name: a few kilobytes each for a table the game wrote, but as
// much as the cap, twice over, for a huge file, and about ten of them at a
// time. Reading the copy again once it is gone empties its entry, and
// QSettings drops an empty file instead of caching it.
void discardPrivateCopy(QTemporaryFile& copy, QSettings& settings) {
    copy.remove();
    settings.sync();
}

std::optional<HighScoreTable> readTableFromCopy(const QByteArray& bytes) {
    QTemporaryFile copy(privateCopyTemplate());
    if (!writePrivateCopy(copy, bytes)) return std::nullopt;
    QSettings settings(copy.fileName(), QSettings::IniFormat);
    const HighScoreTable table = readTable(settings);
    discardPrivateCopy(copy, settings);
    return table;
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
    return a.names == b.names && a.scores == b.scores;
}

// Takes `lock`, waiting up to ScoreStore::LockWaitMs for another game to let
// it go. QLockFile's own waiting sleeps 100 ms, then 200, 400 and so on, which
// is long for a lock held a few milliseconds at a time, and the player waits
// on it; so the lock is tried again every few milliseconds instead. Each try
// also removes a stale lock. A lock file that cannot be made at all (a
// read-only folder) fails at once.
bool takeLock(QLockFile& lock) {
    const QDeadlineTimer deadline(ScoreStore::LockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired()) return false;
        QThread::msleep(LockRetryMs);
    }
    return true;
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

// What the store file holds once `table` is written over `current`. QSettings
// writes it into a private scratch copy of `current`, so the file keeps
// QSettings' own form and any other section or key in it. A short write can
// still be reported as a success there (a full disk, seen with Qt 6.4), so the
// bytes are read back and must give the table. Nothing when they do not.
std::optional<QByteArray> storeBytesFor(const HighScoreTable& table, const QByteArray& current) {
    QTemporaryFile scratch(privateCopyTemplate());
    if (!writePrivateCopy(scratch, current)) return std::nullopt;
    QSettings settings(scratch.fileName(), QSettings::IniFormat);
    settings.beginGroup(SettingGroup);
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        settings.setValue(nameKey(rank), table.names[rank]);
        settings.setValue(scoreKey(rank), QString::number(table.scores[rank]));
    }
    settings.endGroup();
    settings.sync();
    // A damaged `current` is reported as a FormatError while it is read, before
    // the write; the reading back below tells whether the write replaced the
    // damage.
    std::optional<QByteArray> bytes = settings.status() == QSettings::AccessError
                                          ? std::nullopt
                                          : readStoreBytes(scratch.fileName());
    discardPrivateCopy(scratch, settings);
    const std::optional<HighScoreTable> written =
        bytes ? readTableFromCopy(*bytes) : std::nullopt;
    if (!written || !sameTable(*written, table)) return std::nullopt;
    return bytes;
}

// Puts `bytes` in the file at `path` through a new file beside it, renamed over
// the old one only once every byte is written: a save cut short (a full disk, a
// crash) leaves the old table rather than half of the new one. Where no file can
// be made beside it, the save fails instead of writing in place.
bool replaceFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    // Unbuffered, so that the write's own count tells whether the disk took it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (file.write(bytes) != bytes.size()) return false;  // discarded, never committed
    return file.commit();
}

}  // namespace

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
    // Not "<file>.lock": QSettings takes that one itself for the few moments of
    // each write, inside our lock, and a second lock on the same file would
    // wait on ourselves.
    return m_filePath + QStringLiteral(".merge-lock");
}

void ScoreStore::load(HighScoreTable& table) const {
    // Loading only ever reads: it never creates the file, a key or a folder.
    const std::optional<QByteArray> bytes = readStoreBytes(m_filePath);
    if (!bytes || bytes->isEmpty()) {
        table = HighScoreTable{};
        return;
    }
    if (std::optional<HighScoreTable> read = readTableFromCopy(*bytes)) {
        table = *read;
        return;
    }
    // No room for a copy: the store itself is still worth reading. The cache
    // cannot mislead the one load at start-up, which comes before any save.
    QSettings settings(m_filePath, QSettings::IniFormat);
    table = readTable(settings);
}

bool ScoreStore::save(const HighScoreTable& table) const {
    // A folder or a pipe in the file's place can never take the table, and
    // QSettings would wait on a pipe while reading the old content.
    const QFileInfo info(m_filePath);
    if (info.exists() && !info.isFile()) {
        reportSaveFailure(m_filePath);
        return false;
    }

    const std::optional<QByteArray> bytes =
        storeBytesFor(table, readStoreBytes(m_filePath).value_or(QByteArray()));
    const bool saved = bytes && replaceFile(m_filePath, *bytes);
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::mergeAndSave(const std::vector<ScoreEntry>& entries,
                              HighScoreTable& result) const {
    // QSettings locks the file too, but only for the moment of each write:
    // the read that decides where the entries go would fall outside it, and
    // another game's save could slip in between. So the whole read, merge and
    // write happens under a lock of our own.
    // The lock lies beside the store, so the folder must exist before the
    // lock can; the first save of a new user creates it here.
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // QLockFile holds the lock as a file that only one process can create,
    // with the holder's process number in it, and an flock on it while held.
    // A file whose process is gone (a game that crashed mid-save) is stale and
    // removed by the next try. A game that simply holds the lock too long (a
    // hung disk, a stopped process) is waited for LockWaitMs and no longer, so
    // the player never waits long on another game.
    QLockFile lock(lockFilePath());
    lock.setStaleLockTime(StaleLockMs);
    if (!takeLock(lock)) {
        reportSaveFailure(m_filePath);
        return false;
    }
    HighScoreTable stored;
    load(stored);
    const HighScoreTable merged = mergeEntries(stored, entries);
    const bool saved = save(merged);
    lock.unlock();
    if (saved) result = merged;
    return saved;
}

}  // namespace quillet
