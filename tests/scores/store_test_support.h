#pragma once

// Files and forked children for the store's tests.

#include <grp.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QFile>
#include <QString>

#include "scores/score_store.h"
#include "tests/scores/table_helpers.h"

namespace quillet {

inline constexpr uid_t NobodyUser = 65534;
inline constexpr gid_t NobodyGroup = 65534;

inline HighScoreTable sampleTable() {
    return makeTable({"Ann", "Bo", "Cy", "Di", "Ed"}, {9000, 4500, 1800, 800, -5});
}

// A table that no load could produce by accident, to see that a load replaces
// every entry.
inline HighScoreTable junkTable() {
    return makeTable({"junk0", "junk1", "junk2", "junk3", "junk4"}, {11, 22, 33, 44, 55});
}

inline void expectSameTable(const HighScoreTable& actual, const HighScoreTable& expected) {
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        SCOPED_TRACE(testing::Message() << "rank " << rank);
        EXPECT_EQ(actual.names[rank], expected.names[rank]);
        EXPECT_EQ(actual.scores[rank], expected.scores[rank]);
    }
}

inline HighScoreTable loadFrom(const QString& path) {
    HighScoreTable table = junkTable();
    ScoreStore(path).load(table);
    return table;
}

inline ino_t inodeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_ino;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

// Permission faults only bite an ordinary user, and the tests often run as
// root (CI does). So each of those cases runs in a forked child that first
// becomes the user "nobody"; as an ordinary user the child simply stays who
// it is. A child reports through its exit status and a message on a pipe.

// What a child said and how it ended. `message` is empty when every check in
// the child held; `errors` is what it wrote to standard error.
struct ChildReport {
    bool exitedCleanly = false;
    std::string message;
    std::string errors;
};

// Becomes the user nobody when running as root; an ordinary user stays as it
// is, since file permissions already apply to it. Returns why it failed, or "".
inline std::string dropPrivileges() {
    if (::geteuid() != 0) return "";
    if (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGroup) != 0 || ::setuid(NobodyUser) != 0) {
        return "could not become the user nobody";
    }
    if (::geteuid() == 0) return "still root after dropping privileges";
    return "";
}

// Everything that can still be read from `fd`, until its writer closes it.
inline std::string readAll(int fd) {
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            return text;
        }
    }
}

// Waits for `child` to end and returns its wait status.
inline int awaitExit(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Runs `check` in a forked child. The message it returns and what it writes to
// standard error come back on two pipes: a pipe, unlike a file, is not held to
// the size limit that the full-disk cases set.
inline ChildReport runInChild(const std::function<std::string()>& check) {
    ChildReport report;
    int messagePipe[2];
    int errorPipe[2];
    if (::pipe(messagePipe) != 0 || ::pipe(errorPipe) != 0) {
        report.message = "no pipe to the child";
        return report;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(messagePipe[0]);
        ::close(errorPipe[0]);
        ::dup2(errorPipe[1], STDERR_FILENO);
        ::close(errorPipe[1]);
        const std::string message = check();
        const ssize_t written = ::write(messagePipe[1], message.data(), message.size());
        ::_exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
    }
    ::close(messagePipe[1]);
    ::close(errorPipe[1]);
    if (child < 0) {
        ::close(messagePipe[0]);
        ::close(errorPipe[0]);
        report.message = "fork failed";
        return report;
    }
    // The child writes little to standard error, far less than a pipe holds,
    // so it never waits on the parent while the parent reads the message.
    report.message = readAll(messagePipe[0]);
    ::close(messagePipe[0]);
    report.errors = readAll(errorPipe[0]);
    ::close(errorPipe[0]);
    const int status = awaitExit(child);
    report.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return report;
}

}  // namespace quillet
