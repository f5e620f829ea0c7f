// A save changes the values of the game's keys and adds those missing, and
// keeps every other byte: comments, blank lines, other keys, and values in
// QSettings' binary form, which are never decoded, by a load or a save.
#include "scores/store_text.h"

#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDataStream>
#include <QMetaType>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>

#include "scores/score_store.h"
#include "scores/sound_setting.h"
#include "scores/zoom_setting.h"
#include "tests/scores/qsettings_reference.h"
#include "tests/scores/qstring_printer.h"
#include "tests/scores/store_test_support.h"
#include "tests/scores/table_helpers.h"

namespace quillet {
namespace binary_values_test {

// A type that counts how often QSettings decodes it: as costly to decode, in
// the game, as a picture would be.
struct DecodeProbe {
    qint32 value = 0;
};
int probeDecodes = 0;

QDataStream& operator<<(QDataStream& out, const DecodeProbe& probe) {
    return out << probe.value;
}
QDataStream& operator>>(QDataStream& in, DecodeProbe& probe) {
    ++probeDecodes;
    return in >> probe.value;
}

}  // namespace binary_values_test

namespace {

using binary_values_test::DecodeProbe;
using binary_values_test::probeDecodes;

// What follows "@Variant(" in the line QSettings writes for a DecodeProbe.
QByteArray probeStream(const QTemporaryDir& dir) {
    qRegisterMetaType<DecodeProbe>("DecodeProbe");
    const QString path = dir.filePath(QStringLiteral("probe.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("probe"), QVariant::fromValue(DecodeProbe{7}));
    }
    const QByteArray line = readFile(path).split('\n').value(1);
    EXPECT_TRUE(line.startsWith("probe=@Variant(")) << line.toStdString();
    return line.mid(int(sizeof("probe=@Variant(")) - 1);
}

TEST(StoreText, BinaryValuesAreNeverDecodedAndEverySaveKeepsTheirLines) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray stream = probeStream(dir);
    const QByteArray table = "[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=900\n";
    struct Row {
        const char* what;
        QByteArray before;  // the file before the table
        QByteArray after;   // the file after it
        QByteArray kept;    // the line that every save must keep
        bool savable;
    };
    const QByteArray plain = "pic=@Variant(" + stream;
    const std::vector<Row> rows = {
        {"as QSettings writes it", {}, "[Mine]\n" + plain + "\n", plain, true},
        {"in quotes",
         {},
         "[Mine]\npic=\"@Variant(" + stream + "\"\n",
         "pic=\"@Variant(" + stream + "\"",
         true},
        {"'@' as a hex escape",
         {},
         "[Mine]\npic=\\x40Variant(" + stream + "\n",
         "pic=\\x40Variant(" + stream,
         true},
        {"'@' as an octal escape",
         {},
         "[Mine]\npic=\\100Variant(" + stream + "\n",
         "pic=\\100Variant(" + stream,
         true},
        {"'@' as a hex escape past 16 bits",
         {},
         "[Mine]\npic=\\x10040Variant(" + stream + "\n",
         "pic=\\x10040Variant(" + stream,
         true},
        {"an item of a list, after blanks",
         {},
         "[Mine]\npic=first,  @Variant(" + stream + "\n",
         "pic=first,  @Variant(" + stream,
         true},
        {"split by quotes",
         {},
         "[Mine]\npic= \"@Var\"iant(" + stream + "\n",
         "pic= \"@Var\"iant(" + stream,
         true},
        {"in the date-time form",
         {},
         "[Mine]\npic=@DateTime(" + stream + "\n",
         "pic=@DateTime(" + stream,
         true},
        {"before a comment", {}, "[Mine]\n" + plain + " ;mine\nkey=kept\n", plain + " ", true},
        {"before any section", plain + "\n", {}, plain, true},
        {"in a key of the table",
         {},
         "[Setting]\nHScore_Nm_2=@Variant(" + stream + "\n",
         "HScore_Nm_2=@Variant(" + stream,
         true},
        {"in a section named with a path", {}, "[Mine\\Sub]\n" + plain + "\n", plain, true},
        {"two of them",
         {},
         "[Mine]\n" + plain + "\npic2=x, @Variant(" + stream + "\n",
         "pic2=x, @Variant(" + stream,
         true},
        {"behind a path, a quoted key",
         {},
         "[Zed\\Sub]\n\"k\"=@Variant(" + stream + "\n[Zz]\nb=2\n",
         "\"k\"=@Variant(" + stream,
         true},
        // Cut inside quotes at the end of the file, it takes in nothing.
        {"the last line, unfinished",
         {},
         "[Zed]\nb=2\n[Tail]\npic=\"@Variant(" + stream,
         "pic=\"@Variant(" + stream,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QString path = dir.filePath(QStringLiteral("Quillet.conf"));
        const QByteArray content = row.before + table + row.after;
        writeFile(path, content);
        const ScoreStore store(path);
        probeDecodes = 0;

        expectSameTable(store.read().table, makeTable({"Ann", "", "", "", ""}, {900, 0, 0, 0, 0}));
        HighScoreTable merged;
        testing::internal::CaptureStderr();
        EXPECT_EQ(saveSoundOn(store, false), row.savable);
        EXPECT_EQ(store.mergeAndSave({{QStringLiteral("Zoe"), 10}}, merged), row.savable);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(probeDecodes, 0);

        const QByteArray stored = readFile(path);
        if (!row.savable) {
            EXPECT_EQ(stored, content);
            continue;
        }
        EXPECT_TRUE(stored.contains(row.kept)) << stored.toStdString();
        EXPECT_FALSE(loadSoundOn(store));
        expectSameTable(store.read().table,
                        makeTable({"Ann", "Zoe", "", "", ""}, {900, 10, 0, 0, 0}));
        // A second round reads the kept line as the first did.
        ASSERT_TRUE(saveSoundOn(store, true));
        EXPECT_TRUE(readFile(path).contains(row.kept));
        EXPECT_EQ(probeDecodes, 0);
    }
}

// The player's comments, blank lines and keys, and the way the player wrote
// the game's own keys where they still read the same, stay byte for byte.
// QSettings, which the store wrote through before, dropped every comment.
TEST(StoreText, SavesKeepEveryByteOutsideTheValuesThatChange) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Row {
        const char* what;
        QByteArray before;
        StoreKeys keys;  // a table save, the sound switched off, or the zoom to 150
        QByteArray after;
    };
    constexpr StoreKeys Table = StoreKeys::Table;
    constexpr StoreKeys Sound = StoreKeys::Sound;
    const std::vector<Row> rows = {
        {"comments and missing keys",
         "; my scores\n[Setting]\n; best first\nHScore_Nm_0=Ann ;me\n"
         "HScore_Val_0=900\t\n\n[Mine]\nkey = kept ; a comment\n",
         Table,
         "; my scores\n[Setting]\n; best first\nHScore_Nm_0=Ann "
         ";me\nHScore_Nm_1=Bo\nHScore_Nm_2=Cy\n"
         "HScore_Nm_3=Di\nHScore_Nm_4=Ed\nHScore_Val_0=9000\t\nHScore_Val_1=4500\nHScore_Val_2="
         "1800\n"
         "HScore_Val_3=800\nHScore_Val_4=-5\n\n[Mine]\nkey = kept ; a comment\n"},
        {"a value the player wrote otherwise, continued lines",
         "[Setting]\r\nHScore_Nm_0=\"An\\\nn\"\r\nHScore_Nm_1=Bo\r\nHScore_Nm_2=Cy\r\nHScore_Nm_3="
         "Di\r\n"
         "HScore_Nm_4=Ed\r\nHScore_Val_0=09000\r\nHScore_Val_1=4500\r\nHScore_Val_2=1800\r\n"
         "HScore_Val_3=800\r\nHScore_Val_4=\"12\\\r\n34\" ; was\r\n",
         Table,
         "[Setting]\r\nHScore_Nm_0=\"An\\\nn\"\r\nHScore_Nm_1=Bo\r\nHScore_Nm_2=Cy\r\nHScore_Nm_3="
         "Di\r\n"
         "HScore_Nm_4=Ed\r\nHScore_Val_0=09000\r\nHScore_Val_1=4500\r\nHScore_Val_2=1800\r\n"
         "HScore_Val_3=800\r\nHScore_Val_4=-5 ; was\r\n"},
        {"the switch beside a binary value",
         "[Preferences]\nSound=on ; loud\npic=@Variant(\\0\\0)\n"
         "[Setting]\nSound=on\n",
         Sound, "[Preferences]\nSound=off ; loud\npic=@Variant(\\0\\0)\n[Setting]\nSound=on\n"},
        {"a new section before the first that sorts after it", "; top\n[Aaa]\nb=1\n\n[Zed]\nc=2\n",
         Sound, "; top\n[Aaa]\nb=1\n\n[Preferences]\nSound=off\n\n[Zed]\nc=2\n"},
        {"a last line without its line break", "[Mine]\nkey=1 ;c", Sound,
         "[Mine]\nkey=1 ;c\n\n[Preferences]\nSound=off\n"},
        {"the zoom added after the switch, beside the table",
         "[Preferences]\r\nSound=off ; quiet\r\nzz=1\r\n\r\n[Setting]\r\nHScore_Nm_0=Ann\r\n",
         StoreKeys::Zoom,
         "[Preferences]\r\nSound=off ; quiet\r\nZoom=150\nzz=1\r\n\r\n[Setting]\r\n"
         "HScore_Nm_0=Ann\r\n"},
        {"the zoom rewritten in place", "[Preferences]\nZoom = \"175\"\t;was\nSound=off\n",
         StoreKeys::Zoom, "[Preferences]\nZoom =150\t;was\nSound=off\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QString path = dir.filePath(QStringLiteral("Quillet.conf"));
        writeFile(path, row.before);
        const ScoreStore store(path);
        ASSERT_TRUE(row.keys == Table   ? store.save(sampleTable())
                    : row.keys == Sound ? saveSoundOn(store, false)
                                        : saveZoomPercent(store, 150));
        EXPECT_EQ(readFile(path), row.after);
        if (row.before.contains(';')) {
            const StoredSettings wanted = {sampleTable(), false, 150};
            EXPECT_FALSE(reference::savedWithQSettings(row.before, wanted, row.keys).contains(';'));
        }
    }
}

}  // namespace
}  // namespace quillet
