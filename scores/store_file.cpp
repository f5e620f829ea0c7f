#include "scores/store_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace quillet {
namespace {

// A file descriptor that closes itself.
struct OpenFile {
    int fd;
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
};

std::atomic<quint64> readOpens{0};

// As many links as the system itself follows in one path before it gives up.
constexpr int MaxLinkHops = 40;

// `path` with its folder in the form the system resolves it to: a link's
// target given as "../x" means the parent of the folder the link really is
// in, which a cleaning of the text alone would get wrong.
QString inRealFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0    ? QStringLiteral(".")
                           : slash == 0 ? QStringLiteral("/")
                                        : path.left(slash);
    char* real = ::realpath(encoded(folder).constData(), nullptr);
    if (!real) return path;  // no such folder: the save fails there
    QString resolved = QFile::decodeName(real);
    std::free(real);
    if (!resolved.endsWith(QLatin1Char('/'))) resolved += QLatin1Char('/');
    return resolved + path.mid(slash + 1);
}

// Opens the store for reading without waiting: a pipe swapped in would
// otherwise wait for a writer that never comes. Every read of a store goes
// through here.
int openWithoutWaiting(const QString& path) {
    ++readOpens;
    return ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// Whether the open file is a regular one. It is asked of the open file, not
// of its name, so nothing can be swapped in between the check and the read.
bool isRegularFile(const OpenFile& file, struct stat& info) {
    return file.fd >= 0 && ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode);
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

// The file that a save replaces, as QSaveFile finds it: `path` itself, or the
// end of its chain of symbolic links, whether or not a file lies there yet,
// in the folder it really is in. Empty for a chain that loops or goes on
// further than the system itself would follow.
QString finalTarget(const QString& path) {
    // Players keep the store in a folder of their own (a dotfiles folder, a
    // synced one) behind a link: the link stays, and the file it leads to
    // takes the new content.
    QString target = path;
    for (int hop = 0; hop <= MaxLinkHops; ++hop) {
        const QByteArray name = encoded(target);
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return inRealFolder(target);
        }
        QByteArray next(PATH_MAX, '\0');
        const ssize_t size = ::readlink(name.constData(), next.data(), next.size());
        if (size <= 0 || size >= next.size()) return QString();
        next.truncate(size);
        const QString step = QFile::decodeName(next);
        if (step.startsWith(QLatin1Char('/'))) {
            target = step;
        } else {
            // Relative to the folder the link lies in, not to the game's.
            target = target.left(target.lastIndexOf(QLatin1Char('/')) + 1) + step;
        }
    }
    return QString();
}

// The scratch file lies beside the file it replaces, and so on its file
// system: renamed over it, it replaces it in one step. Its name carries the
// saving game's process number, so that games saving at once never share
// one. What a game killed mid-save leaves (QSettings' own scratch and lock
// files, named after ours, included) is removed by the next save of any game
// once that process is gone.
QString scratchPath(const QString& target) {
    return target + QStringLiteral(".saving-") + QString::number(::getpid());
}

// Removes this game's scratch files beside `target` and those of games no
// longer running.
void removeScratch(const QString& target) {
    const QFileInfo store(target);
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

// A new scratch file with `bytes` and the given permissions, flushed to its
// disk, so that the rename never puts a file in the store's place whose
// content is still to come.
bool writeScratch(const QString& path, const QByteArray& bytes, mode_t mode) {
    const OpenFile file{::open(encoded(path).constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
    return file.fd >= 0 && ::fchmod(file.fd, mode) == 0 && writeAll(file.fd, bytes) &&
           ::fsync(file.fd) == 0;
}

}  // namespace

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

quint64 storeReadCount() {
    return readOpens;
}

StoreContent readStoreContent(const QString& path) {
    StoreContent content;
    const OpenFile file{openWithoutWaiting(path)};
    if (file.fd < 0) {
        content.readable = errno == ENOENT;
        content.complete = content.readable;
        return content;
    }
    struct stat info {};
    if (!isRegularFile(file, info)) return content;
    content.readable = true;
    // The buffer is sized by what the file holds, plus one byte that shows
    // whether it has grown since: asking for the whole cap at once would take
    // the cap's worth of memory for a file of a few hundred bytes. A file that
    // grows while it is read is followed, the buffer doubling, up to one byte
    // past the cap, which tells that it went over.
    QByteArray& bytes = content.bytes;
    constexpr qint64 ReadCap = MaxStoreBytes + 1;
    bytes.resize(std::min<qint64>(qint64(info.st_size) + 1, ReadCap));
    qint64 filled = 0;
    while (filled < ReadCap) {
        if (filled == bytes.size()) bytes.resize(std::min<qint64>(2 * bytes.size(), ReadCap));
        const ssize_t got = ::read(file.fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return StoreContent{};
        if (got == 0) break;
        filled += got;
    }
    content.complete = filled <= MaxStoreBytes;
    bytes.truncate(std::min<qint64>(filled, MaxStoreBytes));
    return content;
}

bool replaceStoreFile(const QString& path,
                      const std::function<QByteArray(const QByteArray&)>& edit,
                      const std::function<bool(const QByteArray&)>& holds) {
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
    const QByteArray bytes = edit(current.bytes);
    if (bytes.size() > MaxStoreBytes) return false;

    const QString scratch = scratchPath(target);
    removeScratch(target);
    const auto readBack = [&] {
        const StoreContent written = readStoreContent(scratch);
        return written.readable && written.complete && holds(written.bytes);
    };
    const bool saved = writeScratch(scratch, bytes, mode) && readBack() &&
                       ::rename(encoded(scratch).constData(), targetName.constData()) == 0;
    if (!saved) QFile::remove(scratch);
    return saved;
}

}  // namespace quillet
