#pragma once

#include <QString>

namespace quillet {

// The save's lock: an flock on a file beside the store. The kernel lets it go
// when its holder ends, however that happens, and never while the holder
// lives, so a save that takes long (a slow disk, a stopped game) keeps it to
// the end and no age makes it look abandoned. The file itself is removed by
// its holder before letting go, so it exists only during a save; one left by a
// game killed mid-save is simply locked again by the next.
class StoreLock {
public:
    explicit StoreLock(QString path);
    ~StoreLock() { unlock(); }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    // Waits up to WaitMs for another game to let go, trying every few
    // milliseconds: a save holds the lock for a few milliseconds, and the
    // player waits on it. A lock file that cannot be made at all (a read-only
    // folder) fails at once.
    bool lock();
    void unlock();

    // How long a save waits for another game to let the lock go.
    static constexpr int WaitMs = 2000;

private:
    void closeFile();

    QString m_path;
    int m_fd = -1;
};

}  // namespace quillet
