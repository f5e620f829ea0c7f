#include "scores/store_settings.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "scores/store_file.h"
#include "scores/store_set_aside.h"

namespace quillet {
namespace {

// QSettings parses a section of the file only when a key in it is first asked
// for, and it finds that section by comparing names: another section whose
// name sorts between the group and the key's full name (a hand-edited
// "[Preferences\" header run on into its next line, say) hides the group's
// own section, and the key reads as missing, though a save writes it back as
// present. Asked for every key first, QSettings parses every section, and each
// read then sees the file as a save would write it.
void parseEverySection(const QSettings& settings) {
    static_cast<void>(settings.allKeys());
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
    parseEverySection(settings);
    read(settings);
    if (::ftruncate(memory.fd(), 0) == 0) settings.sync();
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
        const QSettings settings(QStringLiteral("/proc/self/fd/%1").arg(file.fd()), QSettings::IniFormat);
        parseEverySection(settings);
        read(settings);
    } else {
        read(QSettings(QString(), QSettings::IniFormat));
    }
}

// Gives `read` the settings in `bytes`, the content of the file at `path`,
// with every line that QSettings would decode as binary data set aside.
// Without a file in memory the file itself is read, unless it holds such a
// line: then it reads as empty, as a file that cannot be read does.
void parseStore(const QString& path, const QByteArray& bytes,
                const std::function<void(const QSettings&)>& read) {
    const QByteArray text = withoutBinaryValues(bytes);
    if (parseInMemory([&](int memory) { return writeAll(memory, text); }, read)) return;
    if (text.size() == bytes.size()) {
        parseInPlace(path, read);
    } else {
        read(QSettings(QString(), QSettings::IniFormat));
    }
}

// Puts the lines set aside back into the scratch file that QSettings wrote.
bool putBackInScratch(const QString& scratch, const SetAsideText& aside, mode_t mode) {
    if (aside.lines.empty()) return true;
    const StoreContent written = readStoreContent(scratch);
    QByteArray restored = written.bytes;
    if (!written.readable || !written.complete || !putBackBinaryValues(restored, aside)) {
        return false;
    }
    QFile::remove(scratch);
    return writeScratch(scratch, restored, mode);
}

// Whether the scratch file, read back from its disk, holds what `isStored`
// expects.
bool confirmScratch(const QString& scratch, const std::function<bool(const QSettings&)>& isStored) {
    const StoreContent written = readStoreContent(scratch);
    if (!written.readable || !written.complete) return false;
    bool confirmed = false;
    parseStore(scratch, written.bytes, [&](const QSettings& back) { confirmed = isStored(back); });
    return confirmed;
}

}  // namespace

void readStoredSettings(const QString& path, const std::function<void(const QSettings&)>& read) {
    const OpenFile file(openWithoutWaiting(path));
    struct stat info {};
    const QByteArray start = isRegularFile(file, info) ? readStart(file.fd()) : QByteArray();
    parseStore(path, start, read);
}

// QSettings writes the change into the scratch copy of the store, so the file
// keeps QSettings' own form and every other section and key. QSettings can
// report a short write as a success (a full disk, seen with Qt 6.4), so what
// it wrote is read back and checked before it takes the store's place.
bool replaceStoredSettings(const QString& path, const std::function<void(QSettings&)>& change,
                           const std::function<bool(const QSettings&)>& isStored) {
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

    const SetAsideText aside = setAsideBinaryValues(current.bytes);
    if (!aside.canPutBack) return false;

    const QString scratch = scratchPath(target);
    removeScratch(target);
    if (!writeScratch(scratch, aside.text, mode)) {
        QFile::remove(scratch);
        return false;
    }
    QSettings settings(scratch, QSettings::IniFormat);
    parseEverySection(settings);
    change(settings);
    settings.sync();
    // A damaged store shows as a FormatError while it is read, before the
    // write; the reading back tells whether the write replaced the damage.
    const bool saved = settings.status() != QSettings::AccessError &&
                       putBackInScratch(scratch, aside, mode) && confirmScratch(scratch, isStored) &&
                       syncScratch(scratch) &&
                       ::rename(encoded(scratch).constData(), targetName.constData()) == 0;
    if (!saved) QFile::remove(scratch);
    // Read again once it is gone, the scratch file leaves QSettings' cache.
    settings.sync();
    return saved;
}

}  // namespace quillet
