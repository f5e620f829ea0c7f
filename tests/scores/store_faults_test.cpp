// What a user's machine can do to the score file: take away the right to
// write it or its folder, run out of space, delete it under the running game,
// run other games that save at the same moment, or leave the store's lock
// behind in a crash or hold it too long. In every case the game
// goes on, the table in memory stays as it was, and the file on disk holds
// either the old table or the new one, never a mixture and never nothing.
//
// Permission faults only bite an ordinary user: those cases run in a child
// that becomes the user nobody first (store_test_support.h).
#include "scores/score_store.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <utility>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <QTemporaryDir>

#include "scores/score_book.h"
#include "scores/sound_setting.h"
#include "tests/scores/qstring_printer.h"
#include "tests/scores/store_test_support.h"
#include "tests/scores/table_helpers.h"

namespace quillet {
namespace {

HighScoreTable oldTable() {
    return makeTable({"Ann", "Bo", "Cy", "Di", "Ed"}, {9000, 4500, 1800, 800, 0});
}

// Longer than the old table on disk, so that a save cut short shows.
HighScoreTable newTable() {
    return makeTable({"Vera Longname", "Walter Longname", "Xavier Longname", "Yolanda Longname",
                      "Zeno Longname"},
                     {2147483647, 123456789, 98765432, 1800, -5});
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
    return a.names == b.names && a.scores == b.scores;
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Waits for one byte on `fd`; false when its writers closed it first.
bool awaitByte(int fd) {
    char byte;
    for (;;) {
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 1) return true;
        if (got == 0 || errno != EINTR) return false;
    }
}

bool sendByte(int fd) {
    const char byte = 'x';
    return ::write(fd, &byte, 1) == 1;
}

// One game per entry, each a process of its own, each switching its sound off
// as the M key does and then storing its entry as the game's Close does. Every game waits at a gate of its own; the gates are
// opened back to back in `order`, so the games run side by side, started in
// that order. Returns how many of them reported a failed save.
int saveFromSeparateGames(const QString& path, const std::vector<ScoreEntry>& entries,
                          const std::vector<int>& order) {
    std::vector<std::array<int, 2>> gates(entries.size());
    for (auto& gate : gates) {
        if (::pipe(gate.data()) != 0) return static_cast<int>(entries.size());
    }
    std::vector<pid_t> games;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (std::size_t j = 0; j < gates.size(); ++j) {
                ::close(gates[j][1]);
                if (j != i) ::close(gates[j][0]);
            }
            if (!awaitByte(gates[i][0])) ::_exit(2);
            HighScoreTable stored;
            const ScoreStore store(path);
            const bool saved = saveSoundOn(store, false) && store.mergeAndSave({entries[i]}, stored);
            ::_exit(saved ? 0 : 1);
        }
        games.push_back(child);
    }
    for (auto& gate : gates) ::close(gate[0]);
    for (int i : order) sendByte(gates[i][1]);
    for (auto& gate : gates) ::close(gate[1]);
    int failures = 0;
    for (pid_t game : games) {
        if (game < 0) {
            ++failures;
            continue;
        }
        const int status = awaitExit(game);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    return failures;
}

class StoreFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // The scratch folder belongs to whoever the children run as.
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(encoded(m_dir.path()).constData(), NobodyUser, NobodyGroup), 0);
        }
    }

    void TearDown() override {
        // Give back every right taken away, so that the folder can be removed.
        ::chmod(encoded(m_dir.path()).constData(), 0700);
        ::chmod(encoded(storePath()).constData(), 0600);
    }

    QString storePath() const { return m_dir.filePath(QStringLiteral("Quillet.conf")); }
    QString saveFailureLine() const {
        return QString::fromLatin1(SaveFailurePrefix) + storePath() + QLatin1Char('\n');
    }
    QStringList folderEntries() const {
        QStringList entries =
            QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        entries.sort();
        return entries;
    }

    QTemporaryDir m_dir;
};

// A refused save, seen from inside the child: it returns false and the table in
// memory is unchanged. What the file holds is checked by the parent, a process
// of its own, as the next run of the game would see it.
std::string expectRefusedSave(const ScoreStore& store) {
    const HighScoreTable newer = newTable();
    HighScoreTable inMemory = newer;
    if (store.save(inMemory)) return "the save reported success";
    if (!sameTable(inMemory, newer)) return "the table in memory changed";
    return "";
}

// --- Rights taken away ------------------------------------------------------------

TEST_F(StoreFaultTest, ReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile) {
    const QString path = storePath();
    const QString folder = m_dir.path();
    const ChildReport report = runInChild([&]() -> std::string {
        std::string failure = dropPrivileges();
        if (!failure.empty()) return failure;
        const ScoreStore store(path);
        if (!store.save(oldTable())) return "the first save failed";
        if (::chmod(encoded(folder).constData(), 0555) != 0) return "chmod of the folder failed";
        // The file itself is still writable: only a save in place could
        // succeed, and that could leave half a table behind.
        return expectRefusedSave(store);
    });
    ASSERT_TRUE(report.exitedCleanly);
    EXPECT_EQ(report.message, "");
    EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine());
    EXPECT_TRUE(sameTable(loadFrom(path), oldTable()));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")});

    // Writable again: the next save goes through.
    ASSERT_EQ(::chmod(encoded(folder).constData(), 0700), 0);
    ASSERT_TRUE(ScoreStore(path).save(newTable()));
    EXPECT_TRUE(sameTable(loadFrom(path), newTable()));
}

TEST_F(StoreFaultTest, ReadOnlyFileRefusesTheSaveAndStaysAsItWas) {
    const QString path = storePath();
    const ChildReport report = runInChild([&]() -> std::string {
        std::string failure = dropPrivileges();
        if (!failure.empty()) return failure;
        const ScoreStore store(path);
        if (!store.save(oldTable())) return "the first save failed";
        if (::chmod(encoded(path).constData(), 0444) != 0) return "chmod of the file failed";
        return expectRefusedSave(store);
    });
    ASSERT_TRUE(report.exitedCleanly);
    EXPECT_EQ(report.message, "");
    EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine());
    EXPECT_TRUE(sameTable(loadFrom(path), oldTable()));
    EXPECT_EQ(QFileInfo(path).permissions() & QFileDevice::WriteOwner, 0)
        << "the user's choice to protect the file stands";
}

TEST_F(StoreFaultTest, UnreadableFileLoadsAsAnEmptyTableAndIsNotOverwritten) {
    const QString path = storePath();
    const ChildReport report = runInChild([&]() -> std::string {
        std::string failure = dropPrivileges();
        if (!failure.empty()) return failure;
        const ScoreStore store(path);
        if (!store.save(oldTable())) return "the first save failed";
        if (::chmod(encoded(path).constData(), 0) != 0) return "chmod of the file failed";
        HighScoreTable table = newTable();
        store.load(table);
        if (!sameTable(table, HighScoreTable{})) return "an unreadable file did not load as empty";
        // Saving over a file that could not be read would lose its table for good.
        if (store.save(newTable())) return "the save over an unreadable file went through";
        if (::chmod(encoded(path).constData(), 0600) != 0) return "chmod back failed";
        if (!sameTable(loadFrom(path), oldTable())) return "the old table is gone";
        return "";
    });
    ASSERT_TRUE(report.exitedCleanly);
    EXPECT_EQ(report.message, "");
    EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine());
    EXPECT_TRUE(sameTable(loadFrom(path), oldTable()));
}

// --- Odd things in the store's place or in TMPDIR ---------------------------------

// The game starting up with a pipe, a folder, an endless device or a huge file
// where its store lies: the user's own store is found and loaded at once (an
// alarm ends a child that waits) and without taking the file's size in memory.
TEST_F(StoreFaultTest, OddThingsInTheStoresPlaceLoadAtOnceAsAnEmptyTable) {
    const QString configHome = m_dir.path();
    const QString path = m_dir.filePath(QStringLiteral("Quillet/Quillet.conf"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    const std::vector<std::pair<const char*, std::function<bool()>>> rows = {
        {"a pipe", [&] { return ::mkfifo(encoded(path).constData(), 0600) == 0; }},
        {"a folder", [&] { return QDir().mkdir(path); }},
        {"a link to /dev/zero",
         [&] { return QFile::link(QStringLiteral("/dev/zero"), path); }},
        {"a file of 300 MB",
         [&] {
             QFile file(path);
             return file.open(QIODevice::WriteOnly) && file.resize(300LL * 1024 * 1024);
         }},
    };
    for (const auto& [what, place] : rows) {
        SCOPED_TRACE(what);
        QFile::remove(path);
        QDir().rmdir(path);
        ASSERT_TRUE(place());
        const ChildReport report = runInChild([&]() -> std::string {
            ::alarm(10);
            qputenv("XDG_CONFIG_HOME", encoded(configHome));
            rusage before{};
            ::getrusage(RUSAGE_SELF, &before);
            const ScoreStore store;
            if (store.filePath() != path) return "the store is not where it should be";
            HighScoreTable table = newTable();
            store.load(table);
            if (!sameTable(table, HighScoreTable{})) return "the table did not load as empty";
            rusage after{};
            ::getrusage(RUSAGE_SELF, &after);
            if (after.ru_maxrss - before.ru_maxrss > 100 * 1024) return "the load took 100 MB";
            return "";
        });
        EXPECT_TRUE(report.exitedCleanly) << "the child waited or crashed";
        EXPECT_EQ(report.message, "");
    }
    QFile::remove(path);
}

// No save touches the temporary folder: with TMPDIR missing, read-only or a
// device that is always full, loading, saving, storing an entry and the sound
// switch all work, and nothing is left in the temporary folder or beside the
// store.
TEST_F(StoreFaultTest, SavesNeedNoTemporaryFolder) {
    const QString path = storePath();
    const QString readOnly = m_dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkdir(readOnly));
    for (const QString& tempFolder :
         {QStringLiteral("/nonexistent"), readOnly, QStringLiteral("/dev/full")}) {
        SCOPED_TRACE(tempFolder.toStdString());
        QFile::remove(path);
        ASSERT_EQ(::chmod(encoded(readOnly).constData(), 0555), 0);
        const ChildReport report = runInChild([&]() -> std::string {
            std::string failure = dropPrivileges();
            if (!failure.empty()) return failure;
            qputenv("TMPDIR", encoded(tempFolder));
            const ScoreStore store(path);
            if (!store.save(oldTable())) return "the first save failed";
            ScoreBook book(store);
            book.reload();
            if (!sameTable(book.table(), oldTable())) return "the table did not load";
            if (book.enter(5000) != 1) return "the game did not enter at rank 1";
            book.nameNewest(QStringLiteral("Zed"));
            if (!book.save()) return "the entry was not stored";
            if (!saveSoundOn(store, false)) return "the sound switch was not stored";
            if (!store.save(newTable())) return "the table was not saved";
            return "";
        });
        ASSERT_EQ(::chmod(encoded(readOnly).constData(), 0700), 0);
        ASSERT_TRUE(report.exitedCleanly);
        EXPECT_EQ(report.message, "");
        EXPECT_EQ(report.errors, "");
        EXPECT_TRUE(sameTable(loadFrom(path), newTable()));
        EXPECT_FALSE(loadSoundOn(ScoreStore(path)));
        EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("Quillet.conf"), QStringLiteral("tmp")}));
        EXPECT_TRUE(QDir(readOnly).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
}

// A game killed in the middle of its saves leaves nothing that the next save
// of another game does not clear away, and the file holds a whole table.
TEST_F(StoreFaultTest, AGameKilledWhileSavingLeavesNothingBehindTheNextSave) {
    const QString path = storePath();
    ASSERT_TRUE(ScoreStore(path).save(oldTable()));
    for (const useconds_t delay : {0u, 2000u, 5000u, 9000u, 14000u}) {
        SCOPED_TRACE(delay);
        const pid_t game = ::fork();
        if (game == 0) {
            const ScoreStore store(path);
            HighScoreTable stored;
            for (;;) {
                store.save(newTable());
                saveSoundOn(store, false);
                store.mergeAndSave({{QStringLiteral("Kim"), 1}}, stored);
            }
        }
        ASSERT_GT(game, 0);
        ::usleep(delay + 3000);
        ::kill(game, SIGKILL);
        awaitExit(game);
        const HighScoreTable left = loadFrom(path);
        EXPECT_TRUE(sameTable(left, oldTable()) || sameTable(left, newTable()) ||
                    left.names[4] == QStringLiteral("Kim"));
        HighScoreTable stored;
        ASSERT_TRUE(ScoreStore(path).mergeAndSave({}, stored));
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")});
    }
}

// The table could not be stored (here a folder stands in the file's place),
// and the entry's name holds half an emoji, cut by a paste: the entry stays
// pending, and the next game's Close, once the store is back, stores both.
TEST_F(StoreFaultTest, AFailedSaveKeepsItsEntryAndTheNextGameStoresBoth) {
    const QString path = storePath();
    ASSERT_TRUE(ScoreStore(path).save(oldTable()));
    const ScoreStore store(path);
    ScoreBook book(store);
    const QString emoji = QString::fromUtf8("😀");
    ASSERT_EQ(book.enter(5000), 1);
    book.nameNewest(QStringLiteral("Ann") + emoji.at(0));

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(book.save());
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()), saveFailureLine());
    ASSERT_EQ(book.pending().size(), 1u);

    ASSERT_TRUE(QDir().rmdir(path));
    ASSERT_TRUE(ScoreStore(path).save(oldTable()));
    ASSERT_EQ(book.enter(4000), 3);
    book.nameNewest(QStringLiteral("Zoe"));
    EXPECT_TRUE(book.save());
    EXPECT_TRUE(book.pending().empty());
    const HighScoreTable stored = loadFrom(path);
    EXPECT_EQ(stored.names[1], QStringLiteral("Ann") + QChar(QChar::ReplacementCharacter));
    EXPECT_EQ(stored.names[3], QStringLiteral("Zoe"));
    EXPECT_EQ(stored.scores[3], 4000);
}

// --- A full disk ----------------------------------------------------------------------

// How far a file may grow on the "full disk" of the tests below. Nothing the
// save writes fits in the first. The second leaves room for a copy of the old
// table and for the small lock file QSettings takes while it writes, but not
// for the new table: there a write cut short can pass for a whole one.
constexpr std::array<rlim_t, 2> FullDiskRoom = {64, 200};

TEST_F(StoreFaultTest, FullDiskRefusesTheSaveCleanlyAndKeepsTheOldFile) {
    const QString path = storePath();
    for (const rlim_t room : FullDiskRoom) {
        SCOPED_TRACE(testing::Message() << "room for " << room << " bytes");
        ASSERT_TRUE(ScoreStore(path).save(oldTable()));
        const QByteArray oldBytes = readFile(path);

        const ChildReport report = runInChild([&]() -> std::string {
            // No file may grow past `room` bytes: every write beyond that fails
            // with EFBIG, as on a full disk, instead of raising SIGXFSZ.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{room, room};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
            const ScoreStore store(path);
            // The table still loads, with or without room for a scratch copy.
            HighScoreTable loaded;
            store.load(loaded);
            if (!sameTable(loaded, oldTable())) return "the table did not load on a full disk";
            return expectRefusedSave(store);
        });
        ASSERT_TRUE(report.exitedCleanly);
        EXPECT_EQ(report.message, "");
        EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine());
        EXPECT_EQ(readFile(path), oldBytes);
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")})
            << "nothing of the cut-short save stays behind";

        // Room again: the next save goes through.
        ASSERT_TRUE(ScoreStore(path).save(newTable()));
        EXPECT_TRUE(sameTable(loadFrom(path), newTable()));
    }
}

// A damaged file makes the save read back what it wrote, to tell whether the
// damage or the write was the problem. On a full disk that reading must not
// take the unsaved table for what the file holds.
TEST_F(StoreFaultTest, FullDiskUnderADamagedFileStillReportsTheFailedSave) {
    const QString path = storePath();
    const QByteArray damaged =
        "[Setting\nno equals here\n\xff\xfe\n[Setting]\n"
        "HScore_Nm_0=Ann\nHScore_Val_0=9000\nHScore_Nm_1=Bo\nHScore_Val_1=4500\n"
        "HScore_Nm_2=Cy\nHScore_Val_2=1800\nHScore_Nm_3=Di\nHScore_Val_3=800\n"
        "HScore_Nm_4=Ed\nHScore_Val_4=0\n";
    for (const rlim_t room : FullDiskRoom) {
        SCOPED_TRACE(testing::Message() << "room for " << room << " bytes");
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(damaged), damaged.size());
        }
        ASSERT_TRUE(sameTable(loadFrom(path), oldTable()));

        const ChildReport report = runInChild([&]() -> std::string {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{room, room};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
            return expectRefusedSave(ScoreStore(path));
        });
        ASSERT_TRUE(report.exitedCleanly);
        EXPECT_EQ(report.message, "");
        EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine());
        EXPECT_EQ(readFile(path), damaged);
    }
}

// --- The file deleted under the running game -------------------------------------------

TEST_F(StoreFaultTest, FileDeletedWhileRunningIsWrittenAgainByTheNextSave) {
    const QString path = storePath();
    const ScoreStore store(path);
    ASSERT_TRUE(store.save(oldTable()));
    ASSERT_TRUE(QFile::remove(path));

    const HighScoreTable newer = newTable();
    ASSERT_TRUE(store.save(newer));
    EXPECT_TRUE(sameTable(loadFrom(path), newer));
}

TEST_F(StoreFaultTest, FolderDeletedWhileRunningIsMadeAgainByTheNextSave) {
    const QString folder = m_dir.filePath(QStringLiteral("Quillet"));
    const QString path = folder + QStringLiteral("/Quillet.conf");
    const ScoreStore store(path);
    ASSERT_TRUE(store.save(oldTable()));
    ASSERT_TRUE(QDir(folder).removeRecursively());

    ASSERT_TRUE(store.save(newTable()));
    EXPECT_TRUE(sameTable(loadFrom(path), newTable()));
}

// --- Two games saving at the same moment -----------------------------------------------

TEST_F(StoreFaultTest, TwoProgramsSavingAtOnceLeaveOneWholeTableAtEveryMoment) {
    constexpr int SavesEach = 150;
    const QString path = storePath();
    const HighScoreTable first = oldTable();
    const HighScoreTable second = newTable();
    ASSERT_TRUE(ScoreStore(path).save(first));

    // Both savers wait on this pipe and start together when it closes.
    int startGate[2];
    ASSERT_EQ(::pipe(startGate), 0);
    const auto startSaver = [&](const HighScoreTable& table) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(startGate[1]);
            char ignored;
            while (::read(startGate[0], &ignored, 1) < 0 && errno == EINTR) {
            }
            const ScoreStore store(path);
            int failures = 0;
            for (int save = 0; save < SavesEach; ++save) {
                if (!store.save(table)) ++failures;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        return child;
    };
    const pid_t savers[2] = {startSaver(first), startSaver(second)};
    ::close(startGate[0]);
    ASSERT_GT(savers[0], 0);
    ASSERT_GT(savers[1], 0);
    ::close(startGate[1]);

    // Meanwhile this process plays the part of a third game starting up.
    int loads = 0;
    int running = 2;
    int statuses[2] = {0, 0};
    bool ended[2] = {false, false};
    while (running > 0) {
        const HighScoreTable seen = loadFrom(path);
        ++loads;
        ASSERT_TRUE(sameTable(seen, first) || sameTable(seen, second))
            << "load " << loads << " found neither table: " << readFile(path).toStdString();
        for (int i = 0; i < 2; ++i) {
            if (!ended[i] && ::waitpid(savers[i], &statuses[i], WNOHANG) == savers[i]) {
                ended[i] = true;
                --running;
            }
        }
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(WIFEXITED(statuses[i]) && WEXITSTATUS(statuses[i]) == 0)
            << "a save failed while the other program saved";
    }
    const HighScoreTable last = loadFrom(path);
    EXPECT_TRUE(sameTable(last, first) || sameTable(last, second));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")});
    EXPECT_GT(loads, 0);
}

// --- Games storing their new entries at the same moment ------------------------------

// Two and four games, each ending with a score that enters the table and each
// storing it at the same moment: whatever order they start in, every entry is
// in the table afterwards, and the sound switch stays off. Without the lock,
// one game's write would carry an older table, or an older switch, over
// another game's.
TEST_F(StoreFaultTest, GamesStoringAtOnceInAnyOrderLoseNoEntry) {
    const QString path = storePath();
    const std::vector<ScoreEntry> all = {
        {QStringLiteral("first"), 4000},
        {QStringLiteral("second"), 3000},
        {QStringLiteral("third"), 2000},
        {QStringLiteral("fourth"), 1000},
    };
    for (const std::size_t games : {std::size_t{2}, std::size_t{4}}) {
        const std::vector<ScoreEntry> entries(all.begin(), all.begin() + games);
        std::vector<int> order(games);
        std::iota(order.begin(), order.end(), 0);
        do {
            SCOPED_TRACE(testing::Message() << games << " games started in the order "
                                            << testing::PrintToString(order));
            QFile::remove(path);
            ASSERT_EQ(saveFromSeparateGames(path, entries, order), 0);
            const HighScoreTable stored = loadFrom(path);
            for (std::size_t rank = 0; rank < HighScoreRanks; ++rank) {
                const ScoreEntry expected = rank < games ? entries[rank] : ScoreEntry{};
                EXPECT_EQ(stored.names[rank], expected.name) << "rank " << rank;
                EXPECT_EQ(stored.scores[rank], expected.score) << "rank " << rank;
            }
            EXPECT_FALSE(loadSoundOn(ScoreStore(path)));
            EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")})
                << "no lock stays behind";
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

// A game that crashed in the middle of a save leaves its lock file behind. Its
// process is gone, so the next save takes the lock over and goes through.
TEST_F(StoreFaultTest, LockLeftByACrashedGameIsTakenOver) {
    const QString path = storePath();
    ASSERT_TRUE(ScoreStore(path).save(oldTable()));
    const QString lockPath = ScoreStore(path).lockFilePath();
    const ChildReport crashed = runInChild([&]() -> std::string {
        QLockFile lock(lockPath);
        if (!lock.tryLock()) return "the crashing game did not get the lock";
        ::_exit(0);  // no unlock: the lock file stays, as after a crash
    });
    ASSERT_TRUE(crashed.exitedCleanly) << crashed.message;
    ASSERT_TRUE(QFile::exists(lockPath));

    const ScoreStore store(path);
    ScoreBook book(store);
    ASSERT_EQ(book.enter(5000), 1);
    book.nameNewest(QStringLiteral("Zed"));
    EXPECT_TRUE(book.save());
    EXPECT_TRUE(book.pending().empty());
    EXPECT_EQ(loadFrom(path).names[1], QStringLiteral("Zed"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")});
}

// Another game holds the lock and does not let it go (a hung disk, a stopped
// process), for an hour already: the save gives up after a while and fails
// like any failed save, the entry stays pending, and the next save, once the
// lock is free, stores it.
TEST_F(StoreFaultTest, LockHeldTooLongFailsTheSaveAndKeepsTheEntryPending) {
    const QString path = storePath();
    ASSERT_TRUE(ScoreStore(path).save(oldTable()));
    const QString lockPath = ScoreStore(path).lockFilePath();

    int held[2];
    int release[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::close(held[0]);
        ::close(release[1]);
        QLockFile lock(lockPath);
        if (!lock.tryLock() || !sendByte(held[1])) ::_exit(1);
        awaitByte(release[0]);
        lock.unlock();
        ::_exit(0);
    }
    ASSERT_GT(holder, 0);
    ::close(held[1]);
    ::close(release[0]);
    ASSERT_TRUE(awaitByte(held[0]));
    ::close(held[0]);
    // However long the other game's save has lasted, its lock stays its own.
    const timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimes(encoded(lockPath).constData(), hourAgo), 0);

    const ChildReport report = runInChild([&]() -> std::string {
        const ScoreStore store(path);
        ScoreBook book(store);
        if (book.enter(5000) != 1) return "the game did not enter at rank 1";
        book.nameNewest(QStringLiteral("Zed"));
        if (book.save()) return "the save went through while another game held the lock";
        if (book.pending().size() != 1 || book.pending()[0].name != QStringLiteral("Zed") ||
            book.pending()[0].score != 5000) {
            return "the entry is no longer pending";
        }
        if (!sameTable(loadFrom(path), oldTable())) return "the store changed";
        // The other game finishes; the next Close tries again.
        if (!sendByte(release[1])) return "could not release the lock";
        if (!book.save()) return "the save after the lock was freed failed";
        if (!book.pending().empty()) return "the stored entry is still pending";
        return "";
    });
    ::close(release[1]);
    awaitExit(holder);
    ASSERT_TRUE(report.exitedCleanly);
    EXPECT_EQ(report.message, "");
    EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine()) << "one line, once";
    EXPECT_EQ(loadFrom(path).names[1], QStringLiteral("Zed"));
    EXPECT_EQ(loadFrom(path).names[2], QStringLiteral("Bo"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")});
}

}  // namespace
}  // namespace quillet
