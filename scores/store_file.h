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
// still loads in a few milliseconds (store_bench, BENCHMARKS.md).
constexpr qint64 MaxStoreBytes = 128 * 1024;

QByteArray encoded(const QString& path);

// How many times this process has opened a store to read it: once for each
// load, a few times for each save.
quint64 storeReadCount();

// What is at the store's place, read once through one open file, without
// waiting (a pipe swapped in would wait for a writer that never comes) and
// never past MaxStoreBytes.
struct StoreContent {
    // False when something is there that cannot be read as the store: a
    // folder, a pipe, a device, a file this user may not read. A save must not
    // replace it; a load reads it as an empty table.
    bool readable = false;
    // False when the file holds more than MaxStoreBytes: `bytes` is then its
    // beginning, what a load reads, and a save must not replace it.
    bool complete = false;
    QByteArray bytes;  // the file, or its first MaxStoreBytes; empty when there is none
};
StoreContent readStoreContent(const QString& path);

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
// Copies `bytes` into a new scratch file with the given permissions and
// flushes it to its disk, so that the rename never puts a file in the store's
// place whose content is still to come.
bool writeScratch(const QString& path, const QByteArray& bytes, mode_t mode);

}  // namespace quillet
