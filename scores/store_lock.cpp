#include "scores/store_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include <QDeadlineTimer>
#include <QThread>

#include "scores/store_file.h"

namespace quillet {
namespace {

constexpr unsigned long LockRetryMs = 5;

}  // namespace

StoreLock::StoreLock(QString path) : m_path(std::move(path)) {}

bool StoreLock::lock() {
    const QDeadlineTimer deadline(WaitMs);
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

void StoreLock::unlock() {
    if (m_fd < 0) return;
    ::unlink(encoded(m_path).constData());
    closeFile();
}

void StoreLock::closeFile() {
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace quillet
