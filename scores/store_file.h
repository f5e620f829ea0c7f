#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace quillet {

// The store's file as bytes: read without waiting and never past a size cap,
// and replaced in one step, through any symbolic links the player keeps it
// behind, by a scratch file beside it.

// The table takes a few hundred bytes on disk. A file far larger than this was
// not written by the game: a load reads only its beginning, so that a huge
// file cannot stall the game, and no save writes such a file back, so that
// nothing past its beginning is ever lost. At this size the costliest file
// for QSettings to parse still loads in some 40 ms and 6 MB (BENCHMARKS.md).
constexpr qint64 MaxStoreBytes = 128 * 1024;

// A file descriptor that closes itself.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd;
};

QByteArray encoded(const QString& path);
bool writeAll(int fd, const QByteArray& bytes);

// Opens the store for reading without waiting: a pipe swapped in would
// otherwise wait for a writer that never comes. Every read of a store goes
// through here.
int openWithoutWaiting(const QString& path);
// How many times this process has opened a store to read it: once for each
// load, a few times for each save.
quint64 storeReadCount();

// Whether the open file is a regular one. It is asked of the open file, not
// of its name, so nothing can be swapped in between the check and the read.
bool isRegularFile(const OpenFile& file, struct stat& info);

// What is at the store's place, read once through one open file.
struct StoreContent {
    // False when something is there that cannot be read as the store: a
    // folder, a pipe, a device, a file this user may not read. A save must not
    // replace it; a load reads it as an empty table.
    bool readable = false;
    // False when the file holds more than MaxStoreBytes: `bytes` is then
    // empty, and a save must not replace it.
    bool complete = false;
    QByteArray bytes;  // the whole file; empty when there is none
};
StoreContent readStoreContent(const QString& path);

// The first MaxStoreBytes of the open file `fd`, or as much of it as can be
// read: what a load parses of a file of any size.
QByteArray readStart(int fd);

// The file that a save replaces, as QSaveFile finds it: `path` itself, or the
// end of its chain of symbolic links, whether or not a file lies there yet,
// in the folder it really is in. Empty for a chain that loops or goes on
// further than the system itself would follow.
QString finalTarget(const QString& path);

// The one scratch file of a save, beside the file it replaces (`target`).
QString scratchPath(const QString& target);
// Removes this game's scratch files beside `target` and those of games no
// longer running.
void removeScratch(const QString& target);
// Copies `bytes` into a new scratch file with the given permissions.
bool writeScratch(const QString& path, const QByteArray& bytes, mode_t mode);
// Flushes the scratch file to its disk, so that the rename never puts a file
// in the store's place whose content is still to come.
bool syncScratch(const QString& path);

}  // namespace quillet
