// The store's file: read without waiting and never past the size cap, never
// written back from a read cut short by it, and replaced in one step, through
// the symbolic links a player keeps it behind.
#include "scores/store_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include "scores/score_book.h"
#include "scores/score_store.h"
#include "scores/sound_setting.h"
#include "tests/scores/qstring_printer.h"
#include "tests/scores/store_test_support.h"
#include "tests/scores/table_helpers.h"

namespace quillet {
namespace {

HighScoreTable newTable() {
    return makeTable({"Vera", "Walter", "Xavier", "Yolanda", "Zeno"}, {90000, 4500, 1800, 800, 5});
}

class StoreFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // The scratch folder belongs to whoever the children run as.
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(encoded(m_dir.path()).constData(), NobodyUser, NobodyGroup), 0);
        }
    }
    void TearDown() override { ::chmod(encoded(pathOf(QStringLiteral("dots"))).constData(), 0700); }

    QString pathOf(const QString& name) const { return m_dir.filePath(name); }
    QString storePath() const { return pathOf(QStringLiteral("Quillet.conf")); }
    QString saveFailureLine() const {
        return QString::fromLatin1(SaveFailurePrefix) + storePath() + QLatin1Char('\n');
    }
    QStringList folderEntries(const QString& folder) const {
        QStringList entries =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        entries.sort();
        return entries;
    }

    QTemporaryDir m_dir;
};

// --- Reading ----------------------------------------------------------------------

TEST_F(StoreFileTest, LongLinesAreReadOrSkippedAndNothingPastTheCap) {
    const QByteArray longName(MaxStoreBytes / 4, 'x');
    const QByteArray table = "[Setting]\n" + QByteArray(MaxStoreBytes / 4, 'j') +
                             "\nHScore_Nm_0=" + longName +
                             "\nHScore_Val_0=7\nHScore_Nm_1=Bo\nHScore_Val_1=6\n";
    const HighScoreTable expected =
        makeTable({QString::fromLatin1(longName), "Bo", "", "", ""}, {7, 6, 0, 0, 0});
    writeFile(storePath(), table);
    expectSameTable(loadFrom(storePath()), expected);

    // A file larger than any table is read only up to the cap: a key that
    // begins after it is not there.
    const QByteArray comment = "\n;" + QByteArray(MaxStoreBytes - table.size(), 'c') + "\n";
    writeFile(storePath(), table + comment + "HScore_Nm_2=Late\nHScore_Val_2=5\n");
    expectSameTable(loadFrom(storePath()), expected);
}

TEST_F(StoreFileTest, FolderPipeOrDeviceInPlaceOfTheFileLoadsAsAnEmptyTable) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Quillet.conf")));
    expectSameTable(loadFrom(storePath()), HighScoreTable{});

    // Opening a pipe would wait for a writer; the load must not.
    const QString pipe = pathOf(QStringLiteral("pipe.conf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    expectSameTable(loadFrom(pipe), HighScoreTable{});

    // A device that never ends, itself or through a link.
    expectSameTable(loadFrom(QStringLiteral("/dev/zero")), HighScoreTable{});
    const QString link = pathOf(QStringLiteral("zero.conf"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    expectSameTable(loadFrom(link), HighScoreTable{});
}

// --- Saving -----------------------------------------------------------------------

TEST_F(StoreFileTest, SaveReplacesTheFileInOneStep) {
    const ScoreStore store(storePath());
    ASSERT_TRUE(store.save(sampleTable()));
    const QByteArray firstContent = readFile(storePath());

    // A second name for the first file: a save that wrote in place would change
    // what it shows, a save that renames a new file over the old one does not.
    const QString oldFile = pathOf(QStringLiteral("old.conf"));
    ASSERT_EQ(
        ::link(QFile::encodeName(storePath()).constData(), QFile::encodeName(oldFile).constData()),
        0);
    const ino_t firstInode = inodeOf(storePath());

    const HighScoreTable second = makeTable({"V", "W", "X", "Y", "Z"}, {5, 4, 3, 2, 1});
    ASSERT_TRUE(store.save(second));
    EXPECT_NE(inodeOf(storePath()), firstInode);
    EXPECT_EQ(readFile(oldFile), firstContent);
    expectSameTable(loadFrom(storePath()), second);

    // Neither the lock nor the temporary file of the save stays behind.
    EXPECT_EQ(folderEntries(m_dir.path()),
              (QStringList{QStringLiteral("Quillet.conf"), QStringLiteral("old.conf")}));
}

// What a save may do to a file near or over the cap: it writes back only a
// file it has read whole, and never makes one that a load would read only in
// part. A refused save leaves every byte, says so once, and keeps the entry
// pending; a store with room keeps every byte of keys the game does not know.
TEST_F(StoreFileTest, NoSaveWritesAFileOverTheCapOrBackFromPartOfOne) {
    // A player's file of comments, then the table and the sound switch, one
    // byte over the cap.
    const QByteArray kept =
        "\n[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=90000\n"
        "[Preferences]\nSound=on\n";
    const QByteArray overCap = ";" + QByteArray(MaxStoreBytes - kept.size(), 'c') + kept;
    // The switch and a short table, then a key of the player's own, in a
    // section that QSettings writes last, that fills the file up to `size`.
    // What a save changes lies before that key: growing, it pushes the key's
    // end along.
    const auto ownKey = [](qint64 size) {
        const QByteArray head =
            "[Preferences]\nSound=on\n\n[Setting]\nHScore_Nm_0=A\n"
            "HScore_Val_0=1\n\n[Viewer]\nkey=";
        return head + QByteArray(size - head.size() - 1, 'k') + "\n";
    };
    struct Save {
        const char* what;
        std::function<bool(const ScoreStore&)> run;
        bool leavesEntryPending;
    };
    const std::vector<Save> saves = {
        {"the table", [](const ScoreStore& store) { return store.save(newTable()); }, false},
        {"a new entry",
         [](const ScoreStore& store) {
             ScoreBook book(store);
             if (book.enter(5000) < 0) return false;
             book.nameNewest(QStringLiteral("Zed"));
             const bool saved = book.save();
             EXPECT_EQ(book.pending().size(), saved ? 0u : 1u);
             return saved;
         },
         true},
        {"the sound switch", [](const ScoreStore& store) { return saveSoundOn(store, false); },
         false},
    };
    struct Row {
        const char* what;
        QByteArray bytes;
        bool saved;
    };
    const std::vector<Row> rows = {
        {"one byte over the cap", overCap, false},
        {"far over the cap", overCap + QByteArray(3 * MaxStoreBytes, '\n'), false},
        {"at the cap, past it once rewritten", ownKey(MaxStoreBytes), false},
        {"under the cap with room for the rewrite", ownKey(MaxStoreBytes - 400), true},
    };
    ASSERT_EQ(overCap.size(), MaxStoreBytes + 1);
    for (const Row& row : rows) {
        for (const Save& save : saves) {
            SCOPED_TRACE(testing::Message() << row.what << ", saving " << save.what);
            writeFile(storePath(), row.bytes);
            const ScoreStore store(storePath());
            testing::internal::CaptureStderr();
            EXPECT_EQ(save.run(store), row.saved);
            const std::string errors = testing::internal::GetCapturedStderr();
            if (row.saved) {
                EXPECT_EQ(errors, "");
                EXPECT_TRUE(
                    readFile(storePath()).endsWith(row.bytes.mid(row.bytes.indexOf("[Viewer]"))))
                    << "the player's key is cut";
            } else {
                EXPECT_EQ(QString::fromStdString(errors), saveFailureLine());
                EXPECT_TRUE(readFile(storePath()) == row.bytes) << "the file changed";
            }
            EXPECT_EQ(folderEntries(m_dir.path()), QStringList{QStringLiteral("Quillet.conf")});
        }
    }
}

// A store kept behind a symbolic link, as players keep theirs in a folder of
// their own: every save writes the file at the end of the links, which stay
// links, and creates it when it is not there yet. Where that file may not be
// written, the save fails as any other does. Each row runs as an ordinary
// user, so that a read-only folder bites.
TEST_F(StoreFileTest, SavesThroughLinksWriteTheFileTheyLeadToAndKeepTheLinks) {
    const QString dots = pathOf(QStringLiteral("dots"));
    const QString real = dots + QStringLiteral("/Quillet.conf");
    struct Row {
        const char* what;
        bool realExists;
        bool readOnlyFolder;
        // name in the game's folder -> what it points to, made in this order
        std::vector<std::pair<QString, QString>> links;
    };
    const std::vector<Row> rows = {
        {"a link to the file", true, false, {{QStringLiteral("Quillet.conf"), real}}},
        {"a dangling link", false, false, {{QStringLiteral("Quillet.conf"), real}}},
        {"a chain of two relative links",
         true,
         false,
         {{QStringLiteral("dots/middle.conf"), QStringLiteral("Quillet.conf")},
          {QStringLiteral("Quillet.conf"), QStringLiteral("dots/middle.conf")}}},
        {"a link into a read-only folder", true, true, {{QStringLiteral("Quillet.conf"), real}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ChildReport report = runInChild([&]() -> std::string {
            std::string failure = dropPrivileges();
            if (!failure.empty()) return failure;
            if (!QDir().mkpath(dots)) return "no folder for the file";
            if (row.realExists && !ScoreStore(real).save(sampleTable()))
                return "no file to link to";
            for (const auto& [name, target] : row.links) {
                if (::symlink(encoded(target).constData(), encoded(pathOf(name)).constData()) !=
                    0) {
                    return "no link";
                }
            }
            if (row.readOnlyFolder && ::chmod(encoded(dots).constData(), 0555) != 0) {
                return "chmod of the folder failed";
            }
            const ScoreStore store(storePath());
            const bool saved = store.save(newTable());
            if (saveSoundOn(store, false) != saved) return "the two saves went different ways";
            if (saved == row.readOnlyFolder) return saved ? "the save went through" : "refused";
            return "";
        });
        ::chmod(encoded(dots).constData(), 0700);
        ASSERT_TRUE(report.exitedCleanly);
        EXPECT_EQ(report.message, "");
        EXPECT_TRUE(QFileInfo(storePath()).isSymLink()) << "the link became a file";
        if (row.readOnlyFolder) {
            EXPECT_EQ(QString::fromStdString(report.errors), saveFailureLine() + saveFailureLine());
            expectSameTable(loadFrom(real), sampleTable());
            EXPECT_TRUE(loadSoundOn(ScoreStore(real)));
        } else {
            EXPECT_EQ(report.errors, "");
            expectSameTable(loadFrom(real), newTable());
            EXPECT_FALSE(loadSoundOn(ScoreStore(real)));
        }
        QStringList inDots{QStringLiteral("Quillet.conf")};
        if (row.links.size() > 1) inDots.append(QStringLiteral("middle.conf"));
        EXPECT_EQ(folderEntries(dots), inDots) << "no scratch file or lock beside the file";
        EXPECT_EQ(folderEntries(m_dir.path()),
                  (QStringList{QStringLiteral("Quillet.conf"), QStringLiteral("dots")}));
        ASSERT_TRUE(QDir(dots).removeRecursively());
        ASSERT_TRUE(QFile::remove(storePath()));
    }
}

}  // namespace
}  // namespace quillet
