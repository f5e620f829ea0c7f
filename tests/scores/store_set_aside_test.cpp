// Values in QSettings' binary form are never decoded, by a load or a save,
// and every save keeps their lines byte for byte.
#include "scores/store_set_aside.h"

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
#include "tests/scores/qstring_printer.h"
#include "tests/scores/store_test_support.h"
#include "tests/scores/table_helpers.h"

namespace quillet {
namespace set_aside_test {

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

}  // namespace set_aside_test

namespace {

using set_aside_test::DecodeProbe;
using set_aside_test::probeDecodes;

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

TEST(StoreSetAside, BinaryValuesAreNeverDecodedAndEverySaveKeepsTheirLines) {
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
        {"in quotes", {}, "[Mine]\npic=\"@Variant(" + stream + "\"\n",
         "pic=\"@Variant(" + stream + "\"", true},
        {"'@' as a hex escape", {}, "[Mine]\npic=\\x40Variant(" + stream + "\n",
         "pic=\\x40Variant(" + stream, true},
        {"'@' as an octal escape", {}, "[Mine]\npic=\\100Variant(" + stream + "\n",
         "pic=\\100Variant(" + stream, true},
        {"'@' as a hex escape past 16 bits", {}, "[Mine]\npic=\\x10040Variant(" + stream + "\n",
         "pic=\\x10040Variant(" + stream, true},
        {"an item of a list, after blanks", {}, "[Mine]\npic=first,  @Variant(" + stream + "\n",
         "pic=first,  @Variant(" + stream, true},
        {"split by quotes", {}, "[Mine]\npic= \"@Var\"iant(" + stream + "\n",
         "pic= \"@Var\"iant(" + stream, true},
        {"in the date-time form", {}, "[Mine]\npic=@DateTime(" + stream + "\n",
         "pic=@DateTime(" + stream, true},
        {"before a comment", {}, "[Mine]\n" + plain + " ;mine\nkey=kept\n", plain + " ", true},
        {"before any section", plain + "\n", {}, plain, true},
        {"in a key of the table", {}, "[Setting]\nHScore_Nm_2=@Variant(" + stream + "\n",
         "HScore_Nm_2=@Variant(" + stream, true},
        // QSettings writes the section [Mine/Sub] as [Mine] and its keys
        // after "Sub\\"; the line put back keeps that path to its key.
        {"in a section named with a path", {}, "[Mine\\Sub]\n" + plain + "\n",
         "Sub\\" + plain, true},
        {"two of them", {}, "[Mine]\n" + plain + "\npic2=x, @Variant(" + stream + "\n",
         "pic2=x, @Variant(" + stream, true},
        // Cut inside quotes at the end of the file: QSettings may write its
        // section before [Zed], into which a line break after it would run
        // on, so no save may write it back.
        // ... unless the key's own quotes would then read otherwise.
        {"behind a path, a quoted key", {},
         "[Zed\\Sub]\n\"k\"=@Variant(" + stream + "\n[Zz]\nb=2\n",
         {}, false},
        {"the last line, unfinished", {}, "[Zed]\nb=2\n[Tail]\npic=\"@Variant(" + stream,
         "pic=\"@Variant(" + stream, false},
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
        EXPECT_TRUE(stored.contains(row.kept + "\n")) << stored.toStdString();
        EXPECT_FALSE(stored.contains("qset-")) << stored.toStdString();
        EXPECT_FALSE(loadSoundOn(store));
        expectSameTable(store.read().table,
                        makeTable({"Ann", "Zoe", "", "", ""}, {900, 10, 0, 0, 0}));
        // A second round reads the kept line as the first did.
        ASSERT_TRUE(saveSoundOn(store, true));
        EXPECT_TRUE(readFile(path).contains(row.kept + "\n"));
        EXPECT_EQ(probeDecodes, 0);
    }
}

}  // namespace
}  // namespace quillet
