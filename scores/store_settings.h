#pragma once

#include <functional>

#include <QString>

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace quillet {

// The store's keys through QSettings, which reads only named files and keeps
// each one it has read in a cache: read from the file's bytes in memory, and
// changed in a scratch copy that takes the file's place only once it reads
// back as meant.

// Gives `read` the settings in the file at `path` as it is now, from one open
// of the file. Never creates the file, a key or a folder, and never waits:
// anything but a regular file reads as an empty store, and only the first
// MaxStoreBytes of a larger one are read. Lines that hold a value in
// QSettings' binary form are left out (store_set_aside.h).
void readStoredSettings(const QString& path, const std::function<void(const QSettings&)>& read);

// Applies `change` to a scratch copy of the file at `path` (or, through
// symbolic links, of the file they lead to) and puts it in that file's place
// once `isStored`, given the bytes written as read back, confirms them. False,
// with the file untouched, when it cannot be read whole (something else than
// a regular file, a file over MaxStoreBytes), may not be written, or would
// not be whole or not within MaxStoreBytes once written. Lines that hold a
// value in QSettings' binary form are kept from QSettings and put back as
// they stood; a file in which one could not be is not written either. The
// caller holds the lock where one is needed.
bool replaceStoredSettings(const QString& path, const std::function<void(QSettings&)>& change,
                           const std::function<bool(const QSettings&)>& isStored);

}  // namespace quillet
