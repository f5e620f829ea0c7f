#include "scores/score_store.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include "scores/sound_setting.h"
#include "scores/zoom_setting.h"
#include "tests/scores/qstring_printer.h"
#include "tests/scores/store_test_support.h"
#include "tests/scores/table_helpers.h"

namespace quillet {
namespace {

constexpr qint32 Min32 = std::numeric_limits<qint32>::min();
constexpr qint32 Max32 = std::numeric_limits<qint32>::max();


// The raw "key=value" lines of the [Setting] section, as they stand in the file.
// A key that appears twice shows up as two entries.
std::multimap<QByteArray, QByteArray> settingLines(const QString& path) {
    std::multimap<QByteArray, QByteArray> lines;
    bool inSetting = false;
    for (const QByteArray& line : readFile(path).split('\n')) {
        if (line.startsWith('[')) {
            inSetting = line == "[Setting]";
        } else if (inSetting && line.contains('=')) {
            const qsizetype equals = line.indexOf('=');
            lines.emplace(line.left(equals), line.mid(equals + 1));
        }
    }
    return lines;
}

class ScoreStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString pathOf(const QString& name) const { return m_dir.filePath(name); }
    QString storePath() const { return pathOf(QStringLiteral("Quillet.conf")); }
    QStringList folderEntries() const {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

// --- Loading ----------------------------------------------------------------

TEST_F(ScoreStoreTest, LoadingFromAnEmptyFolderGivesEmptyNamesAndZerosAndCreatesNothing) {
    expectSameTable(loadFrom(storePath()), HighScoreTable{});
    EXPECT_FALSE(QFileInfo::exists(storePath()));
    EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(' ').toStdString();
}

TEST_F(ScoreStoreTest, MissingKeysReadAsDefaultsAndAreNotAddedToTheFile) {
    const QByteArray content =
        "[Setting]\n"
        "HScore_Nm_0=Ann\n"
        "HScore_Val_0=500\n"
        "HScore_Val_2=300\n"
        "HScore_Nm_3=Di\n";
    writeFile(storePath(), content);
    expectSameTable(loadFrom(storePath()),
                    makeTable({"Ann", "", "", "Di", ""}, {500, 0, 300, 0, 0}));
    EXPECT_EQ(readFile(storePath()), content);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("Quillet.conf")});
}

TEST_F(ScoreStoreTest, UnsortedStoredTableKeepsItsOrder) {
    writeFile(storePath(),
              "[Setting]\n"
              "HScore_Nm_0=Low\nHScore_Val_0=10\n"
              "HScore_Nm_1=High\nHScore_Val_1=9000\n"
              "HScore_Nm_2=Neg\nHScore_Val_2=-40\n"
              "HScore_Nm_3=Mid\nHScore_Val_3=500\n"
              "HScore_Nm_4=Top\nHScore_Val_4=99999\n");
    expectSameTable(loadFrom(storePath()),
                    makeTable({"Low", "High", "Neg", "Mid", "Top"}, {10, 9000, -40, 500, 99999}));
}

TEST_F(ScoreStoreTest, HandEditedNameWithUnquotedCommasKeepsItsText) {
    writeFile(storePath(),
              "[Setting]\n"
              "HScore_Nm_0=Smith, John\n"
              "HScore_Nm_1=a,b,c\n"
              "HScore_Nm_2=x, @y\n"
              "HScore_Val_0=3\nHScore_Val_1=2\nHScore_Val_2=1\n");
    const HighScoreTable table = loadFrom(storePath());
    EXPECT_EQ(table.names[0], QStringLiteral("Smith, John"));
    EXPECT_EQ(table.names[1], QStringLiteral("a, b, c"));
    EXPECT_EQ(table.names[2], QStringLiteral("x, @y"));
    EXPECT_EQ(table.scores[0], 3);
    EXPECT_EQ(table.scores[2], 1);
}

TEST_F(ScoreStoreTest, BadScoreTextReadsAsZeroAndEveryOtherEntryLoads) {
    writeFile(storePath(),
              "[Setting]\n"
              "HScore_Nm_0=Ann\nHScore_Val_0=12abc\n"
              "HScore_Nm_1=Bo\nHScore_Val_1=4500\n"
              "HScore_Nm_2=Cy\nHScore_Val_2=2147483648\n"
              "HScore_Nm_3=Di\nHScore_Val_3=\n"
              "HScore_Nm_4=Ed\nHScore_Val_4=-5\n");
    expectSameTable(loadFrom(storePath()),
                    makeTable({"Ann", "Bo", "Cy", "Di", "Ed"}, {0, 4500, 0, 0, -5}));

    writeFile(storePath(),
              "[Setting]\n"
              "HScore_Nm_0=Ann\nHScore_Val_0=\" 5\"\n"
              "HScore_Nm_1=Bo\nHScore_Val_1=1e3\n"
              "HScore_Nm_2=Cy\nHScore_Val_2=777\n"
              "HScore_Nm_3=Di\nHScore_Val_3=0x10\n"
              "HScore_Nm_4=Ed\nHScore_Val_4=\x01\x02\xff\xfe\n");
    expectSameTable(loadFrom(storePath()),
                    makeTable({"Ann", "Bo", "Cy", "Di", "Ed"}, {0, 0, 777, 0, 0}));
}

TEST_F(ScoreStoreTest, LoadSeesTheFileAsItIsNowAfterAHandEdit) {
    // Rewrites of the same size follow each other faster than the file
    // system's clock ticks, so neither size nor time gives the change away.
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        writeFile(storePath(), "[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=1111\n");
        EXPECT_EQ(loadFrom(storePath()).scores[0], 1111);
        writeFile(storePath(), "[Setting]\nHScore_Nm_0=Bob\nHScore_Val_0=2222\n");
        const HighScoreTable table = loadFrom(storePath());
        EXPECT_EQ(table.names[0], QStringLiteral("Bob"));
        EXPECT_EQ(table.scores[0], 2222);
    }
}

// --- Damaged and unreadable stores ---------------------------------------------

TEST_F(ScoreStoreTest, GarbageAroundTheSectionDoesNotHideTheKeys) {
    QByteArray content("\x00\x01\xff garbage without equals\n", 26);
    content += "[Broken section\nrandom words ; and more\n";
    content += "[Setting]\n";
    content += "this line is not a key\n";
    content += "HScore_Nm_1=Bo\n";
    content += "\x7f\x80\x81\n";
    content += "HScore_Val_1=42\n";
    writeFile(storePath(), content);
    expectSameTable(loadFrom(storePath()), makeTable({"", "Bo", "", "", ""}, {0, 42, 0, 0, 0}));
}

TEST_F(ScoreStoreTest, BytesThatAreNotUtf8KeepTheRestOfTheName) {
    writeFile(storePath(),
              "[Setting]\nHScore_Nm_0=\xff\xfe"
              "abc\nHScore_Val_0=12\n"
              "HScore_Nm_1=\x82\xa0\nHScore_Val_1=11\n");
    const HighScoreTable table = loadFrom(storePath());
    EXPECT_TRUE(table.names[0].endsWith(QStringLiteral("abc"))) << table.names[0].toStdString();
    EXPECT_GT(table.names[0].size(), 3);
    EXPECT_FALSE(table.names[1].isEmpty());
    EXPECT_EQ(table.scores[0], 12);
    EXPECT_EQ(table.scores[1], 11);
}

TEST_F(ScoreStoreTest, UnreadableFileLoadsAsAnEmptyTable) {
    writeFile(storePath(), "[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=500\n");
    ASSERT_EQ(::chmod(QFile::encodeName(storePath()).constData(), 0), 0);
    if (QFile(storePath()).open(QIODevice::ReadOnly)) {
        GTEST_SKIP() << "file permissions do not stop this user from reading (running as root?)";
    }
    expectSameTable(loadFrom(storePath()), HighScoreTable{});
}

// A half of a surrogate pair has no form in the file's UTF-8: it becomes
// U+FFFD when loaded and when saved. U+FEFF, which QSettings may read back as
// a byte-order mark and drop, is left out. So the table always reads back as
// written and can be stored.
TEST_F(ScoreStoreTest, CharactersTheFileCannotGiveBackAreReplacedOrLeftOut) {
    writeFile(storePath(),
              "[Setting]\n"
              "HScore_Nm_0=Ann\\xd83d\nHScore_Val_0=3\n"
              "HScore_Nm_1=\\xdc00-Bo\nHScore_Val_1=2\n"
              "HScore_Nm_2=Cy\\xd83d\\xde00\nHScore_Val_2=1\n"
              "HScore_Nm_3=\x08\xef\xbb\xbf" "Di\nHScore_Val_3=0\n");
    const QChar replacement = QChar::ReplacementCharacter;
    const HighScoreTable loaded = loadFrom(storePath());
    EXPECT_EQ(loaded.names[0], QStringLiteral("Ann") + replacement);
    EXPECT_EQ(loaded.names[1], replacement + QStringLiteral("-Bo"));
    EXPECT_EQ(loaded.names[2], QString::fromUtf8("Cy😀"));
    EXPECT_EQ(loaded.scores[2], 1);
    EXPECT_EQ(loaded.names[3], QStringLiteral("\bDi"));
    ASSERT_TRUE(ScoreStore(storePath()).save(loaded));
    expectSameTable(loadFrom(storePath()), loaded);

    const QString emoji = QString::fromUtf8("😀");
    HighScoreTable typed = sampleTable();
    typed.names[0] = QStringLiteral("Zoe") + emoji.at(0);
    typed.names[1] = emoji.at(1) + emoji + emoji.at(0);
    const QChar noBreak(0xFEFF);
    typed.names[2] = noBreak + QStringLiteral("Ed\t") + noBreak + QStringLiteral("!");
    ASSERT_TRUE(ScoreStore(storePath()).save(typed));
    HighScoreTable expected = typed;
    expected.names[0] = QStringLiteral("Zoe") + replacement;
    expected.names[1] = replacement + emoji + replacement;
    expected.names[2] = QStringLiteral("Ed\t!");
    expectSameTable(loadFrom(storePath()), expected);
}

// --- Saving -------------------------------------------------------------------

TEST_F(ScoreStoreTest, SaveWritesAllTenKeysUnderSettingAsPlainText) {
    ASSERT_TRUE(ScoreStore(storePath())
                    .save(makeTable({"Ann", "Bo", "", "Di", "Ed"}, {Max32, 1800, 0, -5, Min32})));
    EXPECT_TRUE(readFile(storePath()).startsWith("[Setting]\n"));
    const std::multimap<QByteArray, QByteArray> expected = {
        {"HScore_Nm_0", "Ann"}, {"HScore_Val_0", "2147483647"},
        {"HScore_Nm_1", "Bo"},  {"HScore_Val_1", "1800"},
        {"HScore_Nm_2", ""},    {"HScore_Val_2", "0"},
        {"HScore_Nm_3", "Di"},  {"HScore_Val_3", "-5"},
        {"HScore_Nm_4", "Ed"},  {"HScore_Val_4", "-2147483648"},
    };
    EXPECT_EQ(settingLines(storePath()), expected);
}

TEST_F(ScoreStoreTest, SavingAnUnchangedTableRewritesTheSameTexts) {
    const QByteArray handWritten =
        "[Setting]\n"
        "HScore_Nm_0=Ann\nHScore_Val_0=900\n"
        "HScore_Nm_1=Bo\nHScore_Val_1=800\n"
        "HScore_Nm_2=Cy\nHScore_Val_2=700\n"
        "HScore_Nm_3=Di\nHScore_Val_3=-1\n"
        "HScore_Nm_4=\nHScore_Val_4=0\n";
    writeFile(storePath(), handWritten);
    const std::multimap<QByteArray, QByteArray> before = settingLines(storePath());
    ASSERT_EQ(before.size(), 10u);

    const ScoreStore store(storePath());
    HighScoreTable table;
    store.load(table);
    ASSERT_TRUE(store.save(table));
    EXPECT_EQ(settingLines(storePath()), before);
}

TEST_F(ScoreStoreTest, NamesRoundTripExactly) {
    const std::vector<QString> names = {
        QString(),
        QStringLiteral(" "),
        QStringLiteral("  Ann  "),
        QStringLiteral("\tTab\t"),
        QString::fromUtf8("山田 太郎"),
        QString::fromUtf8("ＭＳ Ｐゴシック"),
        QString::fromUtf8("Zoë 😀"),
        QStringLiteral("=;#\"\\%"),
        QStringLiteral("a=b"),
        QStringLiteral("; not a comment"),
        QStringLiteral("# not a comment"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("back\\slash\\"),
        QStringLiteral("100%"),
        QStringLiteral("%General"),
        QStringLiteral("Smith, John"),
        QStringLiteral(","),
        QStringLiteral("two\nlines"),
        QStringLiteral("\r\n"),
        QStringLiteral("@home"),
        QStringLiteral("@@"),
        QStringLiteral("@ByteArray(x)"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("a, @Variant(b)"),
        QStringLiteral(" @DateTime()"),
        QStringLiteral("[Setting]"),
        QStringLiteral("HScore_Val_0=99"),
        QStringLiteral("\\x41"),
        QString(QChar(u'\0')) + QStringLiteral("nul"),
        QString(10000, QChar(u'w')),
    };
    // Five names to a save, through a fresh file each time.
    for (size_t first = 0; first < names.size(); first += HighScoreRanks) {
        HighScoreTable table;
        for (int rank = 0; rank < HighScoreRanks && first + rank < names.size(); ++rank) {
            table.names[rank] = names[first + rank];
            table.scores[rank] = 100 - static_cast<qint32>(first) - rank;
        }
        const QString path = pathOf(QStringLiteral("names%1.conf").arg(first));
        ASSERT_TRUE(ScoreStore(path).save(table));
        expectSameTable(loadFrom(path), table);
    }
}

TEST_F(ScoreStoreTest, ScoresRoundTripIncludingNegativesAndTheLimits) {
    const HighScoreTable table = makeTable({"a", "b", "c", "d", "e"}, {Max32, 0, -1, -1800, Min32});
    ASSERT_TRUE(ScoreStore(storePath()).save(table));
    expectSameTable(loadFrom(storePath()), table);
}

TEST_F(ScoreStoreTest, SaveCreatesTheMissingFolder) {
    const QString path = pathOf(QStringLiteral("Quillet/Quillet.conf"));
    ASSERT_TRUE(ScoreStore(path).save(sampleTable()));
    expectSameTable(loadFrom(path), sampleTable());
}

TEST_F(ScoreStoreTest, SaveOverADamagedFileSucceedsAndReplacesTheDamage) {
    writeFile(storePath(), "[Setting\nno equals here\n\xff\xfe\n[Setting]\nnonsense\n");
    testing::internal::CaptureStderr();
    const bool saved = ScoreStore(storePath()).save(sampleTable());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(saved);
    EXPECT_EQ(errors, "");
    expectSameTable(loadFrom(storePath()), sampleTable());
}

TEST_F(ScoreStoreTest, FailedSaveSaysSoOnceAndTheNextSaveTriesAgain) {
    // A folder in the file's place stops every user, root included.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Quillet.conf")));
    const ScoreStore store(storePath());
    const HighScoreTable table = sampleTable();
    HighScoreTable inMemory = table;

    testing::internal::CaptureStderr();
    const bool saved = store.save(inMemory);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(saved);
    EXPECT_EQ(errors, SaveFailurePrefix + storePath().toStdString() + "\n");
    expectSameTable(inMemory, table);

    ASSERT_TRUE(QDir(m_dir.path()).rmdir(QStringLiteral("Quillet.conf")));
    testing::internal::CaptureStderr();
    const bool savedAgain = store.save(inMemory);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(savedAgain);
    expectSameTable(loadFrom(storePath()), table);
}

TEST_F(ScoreStoreTest, FailedSaveInAReadOnlyFolderLeavesTheOldFile) {
    const ScoreStore store(storePath());
    ASSERT_TRUE(store.save(sampleTable()));
    const QByteArray oldContent = readFile(storePath());

    const QByteArray folder = QFile::encodeName(m_dir.path());
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    struct RestoreMode {
        const QByteArray& folder;
        ~RestoreMode() { ::chmod(folder.constData(), 0700); }
    } restore{folder};
    {
        QFile probe(pathOf(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            GTEST_SKIP() << "folder permissions do not stop this user from writing (running as "
                            "root?)";
        }
    }

    // The file itself is still writable; only a save in place could succeed,
    // and that could leave half a table behind.
    const HighScoreTable newer = makeTable({"V", "W", "X", "Y", "Z"}, {5, 4, 3, 2, 1});
    testing::internal::CaptureStderr();
    const bool saved = store.save(newer);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(saved);
    EXPECT_EQ(errors, SaveFailurePrefix + storePath().toStdString() + "\n");
    EXPECT_EQ(readFile(storePath()), oldContent);

    ::chmod(folder.constData(), 0700);
    ASSERT_TRUE(store.save(newer));
    expectSameTable(loadFrom(storePath()), newer);
}

// --- The sound switch ---------------------------------------------------------

// The switch is on, and the zoom 100, unless the file says exactly "off" or
// exactly the number of a step.
TEST_F(ScoreStoreTest, SoundAndZoomReadAsDefaultsUnlessTheFileSaysExactlyAValue) {
    struct Row {
        QByteArray preferences;  // the [Preferences] section's lines
        bool on;
        int zoom = 100;
    };
    const std::vector<Row> rows = {
        {"", true},
        {"Sound=off\n", false},
        {"Sound=\"off\"\n", false},
        {"Sound=on\n", true},
        {"Sound=OFF \n", true},
        {"Sound=Off\n", true},
        {"Sound=\n", true},
        {"Sound=off, off\n", true},
        {"Sound=@Variant(\\0\\0\\0\\x1\\0)\n", true},
        {"Sound=@Invalid()\n", true},
        {"Sound=" + QByteArray(1024 * 1024, 'o') + "\n", true},
        {"Sound=off\nSound=on\n", true},
        // A section whose header runs on into the next line, named so that
        // it sorts between "Preferences" and "Preferences/Sound".
        {"Sound=off\n[Preferences\\\nX]\n", false},
        {"Zoom=150\n", true, 150},
        {"Sound=off\nZoom=\"300\" ;big\n", false, 300},
        {"Zoom=  250  \n", true, 250},
        {"Zoom=125\nZoom=200\n", true, 200},
        {"Zoom=\"200 \"\n", true},
        {"Zoom=175\n", true},
        {"Zoom=0125\n", true},
        {"Zoom=150, 150\n", true},
        {"Zoom=1e2\n", true},
        {"Zoom=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x96)\n", true},
        {"Zoom=" + QByteArray(1024 * 1024, '2') + "\n", true},
        {"Zoom=200\nZoom=175\n", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.preferences.left(60).toStdString());
        writeFile(storePath(), "[Setting]\nHScore_Nm_0=Ann\n[Preferences]\n" + row.preferences);
        EXPECT_EQ(loadSoundOn(ScoreStore(storePath())), row.on);
        EXPECT_EQ(loadZoomPercent(ScoreStore(storePath())), row.zoom);
    }
    // Off, or a step, in another section is not the game's.
    writeFile(storePath(), "[Setting]\nSound=off\nZoom=150\n[General]\nSound=off\nZoom=150\n");
    EXPECT_TRUE(loadSoundOn(ScoreStore(storePath())));
    EXPECT_EQ(loadZoomPercent(ScoreStore(storePath())), 100);
    // Nothing readable in the file's place: on, at once.
    QFile::remove(storePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(storePath()).constData(), 0600), 0);
    EXPECT_TRUE(loadSoundOn(ScoreStore(storePath())));
    EXPECT_EQ(loadZoomPercent(ScoreStore(storePath())), 100);
}

TEST_F(ScoreStoreTest, SoundZoomAndTableKeepEachOtherAndEveryOtherKey) {
    writeFile(storePath(), "[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=900\n[Mine]\nkey=kept\n");
    const ScoreStore store(storePath());
    ASSERT_TRUE(saveSoundOn(store, false));
    EXPECT_FALSE(loadSoundOn(store));
    ASSERT_TRUE(saveZoomPercent(store, 250));
    EXPECT_FALSE(loadSoundOn(store));
    EXPECT_EQ(loadZoomPercent(store), 250);
    expectSameTable(loadFrom(storePath()), makeTable({"Ann", "", "", "", ""}, {900, 0, 0, 0, 0}));

    ASSERT_TRUE(store.save(sampleTable()));
    EXPECT_FALSE(loadSoundOn(store));
    HighScoreTable merged;
    ASSERT_TRUE(store.mergeAndSave({{QStringLiteral("Zoe"), 10000}}, merged));
    EXPECT_FALSE(loadSoundOn(store));
    expectSameTable(loadFrom(storePath()), merged);

    ASSERT_TRUE(saveSoundOn(store, true));
    EXPECT_TRUE(loadSoundOn(store));
    EXPECT_EQ(loadZoomPercent(store), 250);
    expectSameTable(loadFrom(storePath()), merged);
    EXPECT_TRUE(readFile(storePath()).contains("[Mine]\nkey=kept\n"));
    EXPECT_TRUE(readFile(storePath()).contains("[Preferences]\nSound=on\nZoom=250\n"));

    // A percent that is no step would not read back as stored: the save
    // fails as any save does, and the file keeps every byte.
    const QByteArray before = readFile(storePath());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveZoomPercent(store, 175));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              SaveFailurePrefix + storePath().toStdString() + "\n");
    EXPECT_EQ(readFile(storePath()), before);
    ASSERT_TRUE(saveZoomPercent(store, 100));
    EXPECT_EQ(loadZoomPercent(store), 100);
    EXPECT_TRUE(readFile(storePath()).contains("[Preferences]\nSound=on\nZoom=100\n"));
}

// --- The user's own store -----------------------------------------------------

// The name QSettings gives the organisation's and application's native file,
// worked out without a QSettings (which would read the file): the same bytes
// whatever form XDG_CONFIG_HOME takes, and under ~/.config without it.
TEST(UsersOwnScoreStore, NameIsTheOneQSettingsGivesForEveryConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QString home = QDir::homePath();
    struct Row {
        const char* configHome;  // nullptr: unset
        QString path;
    };
    const std::vector<Row> rows = {
        {"/srv/cfg", QStringLiteral("/srv/cfg/Quillet/Quillet.conf")},
        {"/srv/cfg/", QStringLiteral("/srv/cfg/Quillet/Quillet.conf")},
        {"/srv//x/../cfg", QStringLiteral("/srv/cfg/Quillet/Quillet.conf")},
        {"", home + QStringLiteral("/.config/Quillet/Quillet.conf")},
        {nullptr, home + QStringLiteral("/.config/Quillet/Quillet.conf")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.configHome ? row.configHome : "(unset)");
        if (row.configHome) {
            qputenv("XDG_CONFIG_HOME", row.configHome);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
        EXPECT_EQ(ScoreStore().filePath(), row.path);
    }
    qputenv("XDG_CONFIG_HOME", saved);
}

// test_main.cpp points XDG_CONFIG_HOME into a scratch folder for the whole run.
TEST(UsersOwnScoreStore, LivesInQuilletConfUnderTheConfigHome) {
    const QString configHome = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    ASSERT_FALSE(configHome.isEmpty());
    const QString folder = QDir(configHome).filePath(QStringLiteral("Quillet"));
    QDir(folder).removeRecursively();

    const ScoreStore store;
    EXPECT_EQ(QFileInfo(store.filePath()).absoluteFilePath(),
              QFileInfo(folder + QStringLiteral("/Quillet.conf")).absoluteFilePath());

    HighScoreTable table = junkTable();
    store.load(table);
    expectSameTable(table, HighScoreTable{});
    EXPECT_FALSE(QFileInfo::exists(folder));

    ASSERT_TRUE(store.save(sampleTable()));
    EXPECT_TRUE(readFile(store.filePath()).startsWith("[Setting]\n"));
    const ScoreStore nextRun;
    nextRun.load(table);
    expectSameTable(table, sampleTable());
    QDir(folder).removeRecursively();
}

}  // namespace
}  // namespace quillet
