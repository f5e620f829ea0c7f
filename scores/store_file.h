#pragma once

#include <functional>

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

// Replaces the file at `path` (or, through symbolic links, the file they
// lead to) with what `edit` makes of its bytes, in one step: a scratch copy
// beside it takes its place once, read back from its disk, it passes `holds`.
// A write cut short can pass for a whole one (a full disk), hence the reading
// back. False, with the file untouched, when it cannot be read whole
// (something else than a regular file, a file over MaxStoreBytes), may not be
// written, or would not be whole or not within MaxStoreBytes once written.
bool replaceStoreFile(const QString& path,
                      const std::function<QByteArray(const QByteArray&)>& edit,
                      const std::function<bool(const QByteArray&)>& holds);

}  // namespace quillet
