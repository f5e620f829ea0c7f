// The store reads every file as QSettings read it, and writes the game's keys
// in the bytes QSettings wrote: checked against QSettings itself
// (qsettings_reference.h), on every file of the store's tests and of the
// store fuzzer's corpus, and on files as QSettings writes them.
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>

#include "scores/score_keys.h"
#include "scores/store_text.h"
#include "tests/scores/qsettings_reference.h"
#include "tests/scores/qstring_printer.h"
#include "tests/scores/store_test_support.h"
#include "tests/scores/table_helpers.h"

namespace quillet {
namespace {

// What the store's tests put in the file, and what QSettings' rules make
// hard: quoting, escapes, continued lines, byte-order marks, sections of the
// same name in other spellings, keys of other sections, Qt's own forms.
std::vector<QByteArray> storeFiles() {
    const QByteArray stream = "\\0\\0\\0\\x7f\\0\\0\\0\\x5QSize\\0\\0\\0\\0\\x1)";
    std::vector<QByteArray> files = {
        "",
        "[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=500\nHScore_Val_2=300\nHScore_Nm_3=Di\n",
        "[Setting]\nHScore_Nm_0=Smith, John\nHScore_Nm_1=a,b,c\nHScore_Nm_2=x, @y\n"
        "HScore_Val_0=3\nHScore_Val_1=2\nHScore_Val_2=1\n",
        "[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=12abc\nHScore_Val_1=4500\n"
        "HScore_Val_2=2147483648\nHScore_Val_3=\nHScore_Val_4=-5\n",
        "[Setting]\nHScore_Val_0=\" 5\"\nHScore_Val_1=1e3\nHScore_Val_2=777\n"
        "HScore_Val_3=0x10\nHScore_Val_4=\x01\x02\xff\xfe\n",
        QByteArray("\x00\x01\xff garbage\n[Broken section\nrandom ; more\n[Setting]\nnot a key\n"
                   "HScore_Nm_1=Bo\n\x7f\x80\x81\nHScore_Val_1=42\n",
                   93),
        "[Setting]\nHScore_Nm_0=\xff\xfe"
        "abc\nHScore_Nm_1=\x82\xa0\n",
        "[Setting]\nHScore_Nm_0=Ann\\xd83d\nHScore_Nm_1=\\xdc00-Bo\nHScore_Nm_2=Cy\\xd83d\\xde00\n"
        "HScore_Nm_3=\x08\xef\xbb\xbf"
        "Di\n",
        "[Setting\nno equals here\n\xff\xfe\n[Setting]\nnonsense\n",
        "[Setting]\nSound=off\n[General]\nSound=off\n",
        "[Setting]\nHScore_Nm_0=Ann\n[Preferences]\nSound=off\n[Preferences\\\nX]\n",
        "[Mine]\npic=@Variant(" + stream + "\n[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=900\n",
        "[Setting]\nHScore_Nm_2=@Variant(" + stream +
            "\nHScore_Nm_0=\\x40Variant(x)\n"
            "HScore_Nm_1=a, \"@Var\"iant(" +
            stream + "\nHScore_Val_0=@DateTime(x)\n",
        // Spellings of the game's sections and keys that QSettings reads as
        // them, and some that it does not.
        "\xef\xbb\xbf[Setting]\nHScore_Nm_0=bom\n",
        "\xef\xbb\xbf\xef\xbb\xbf[Setting]\nHScore_Nm_0=two boms\n",
        // Before the first section QSettings reads keys from the first byte,
        // the byte-order mark included.
        "\xef\xbb\xbfSetting\\HScore_Nm_0=after the mark\n",
        "\xef\xbb\xbf Setting\\HScore_Nm_0=after the mark and a blank\n",
        "\xef\xbb\xbf\xef\xbb\xbfSetting\\HScore_Nm_0=after two marks\n",
        "\xef\xbb\xbf\n Setting\\HScore_Nm_0=on the next line\n",
        "[ Setting "
        "]junk\n\xef\xbb\xbfHScore_Nm_0=a\n[%53etting]\nHScore_%56al_0=7\n[setting]\nHScore_Nm_1="
        "no\n",
        "Setting\\HScore_Nm_0=root\n[Setting]\nHScore_Nm_0=section\n[General]\nSetting/"
        "HScore_Nm_1=g\n",
        "[Setting]\nHScore_Nm_0=first\n[Other]\nHScore_Nm_0=other\n[Setting]\nHScore_Nm_0=last\n",
        "[Setting]\nHScore_Nm_1=b\n[Other]\nSetting\\HScore_Nm_0=other\nPreferences/Sound=off\n",
        "[Setting]\nHScore_Nm_0=1\n[Setting\\]\n=2\n[Setting/]\nHScore_Nm_1=x\n[%General]\nx=1\n",
        "[Preferences]\n%53ound=off\n[Setting]\nHScore_%U004em_0=x\nHScore_Nm%5F1=y\n",
        // Values: quotes, escapes, continued lines, comments, UTF-8 cut by
        // escapes and quotes, Qt's forms.
        "[Setting]\nHScore_Nm_0=\"a\nb\" ;c\nHScore_Nm_1=a\\\n b\nHScore_Nm_2=a "
        ";c\nHScore_Nm_3=x\\\r\ny\r\n",
        "[Setting]\nHScore_Nm_0=\xe5\\x41\xb1\xb1\nHScore_Nm_1=\xe5\xb1,\xb1\nHScore_Nm_2="
        "\\x41\xef\xbb\xbf"
        "b\n"
        "HScore_Nm_3=ab\xe5\nHScore_Nm_4=\xe5\\\\\xb1\xb1\n",
        "[Setting]\nHScore_Nm_0=\"a\" b , c\nHScore_Nm_1= a ,\t\nHScore_Nm_2= \" a \" "
        "\nHScore_Nm_3=a \\\n"
        "HScore_Nm_4=\\x10041 \\x\n",
        "[Setting]\nHScore_Nm_0=@Size(1)2)\nHScore_Nm_1=@Rect(1 2 3 4)\nHScore_Nm_2=a,@Rect(1 2 3 "
        "4)\n"
        "HScore_Nm_3=@String(s)\nHScore_Nm_4=@ByteArray(\xc3\xa9)\nHScore_Val_0=@String(5)\n"
        "HScore_Val_1=@@5\nHScore_Val_2=@ByteArray(5)\nHScore_Val_3=5,6\nHScore_Val_4=@Invalid()\n",
        "[Setting]\nHScore_Nm_0=a,@\nHScore_Nm_1=a,@@b\nHScore_Nm_2=@@b)\nHScore_Nm_3=\\0101\\?\\'"
        "\\q\n"
        "HScore_Nm_4=\"\"\n[Preferences]\nSound=\"off\"\nSound=@String(off)\n",
        "[Preferences]\nSound=off ;quiet\n",
        "[Preferences]\nSound=\" off\"\n",
        "[Preferences]\nSound=off, off\n",
        "[Setting]\rHScore_Nm_0=cr\rHScore_Val_0=1\r",
        "[Setting]\nHScore_Nm_0=\"open to the end\n",
    };
    for (const QByteArray sound : {"off", "\"off\"", "on", "OFF ", "Off", "", "off, off",
                                   "@Invalid()", "@Variant(\\0\\0\\0\\x1\\0)", "off\nSound=on"}) {
        files.push_back("[Setting]\nHScore_Nm_0=Ann\n[Preferences]\nSound=" + sound + "\n");
    }
    for (const QByteArray zoom :
         {"150", "\"300\"", "125 ;c", " 250", "\"200 \"", "175", "0125", "+150", "", "200, 200",
          "@String(250)", "@ByteArray(150)", "@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x96)",
          "150\nZoom=175", "\\x31\\x350"}) {
        files.push_back("[Preferences]\nSound=off\nZoom=" + zoom + "\n[Setting]\nHScore_Nm_0=A\n");
    }
    files.push_back("[Preferences]\nSound=off\n[Setting]\nZoom=150\nPreferences\\Zoom=200\n");
    files.push_back("Preferences/Zoom=300\n[Preferences]\nSound=on\n");
    files.push_back(
        "[Setting\nno equals here\n\xff\xfe\n[Setting]\nHScore_Nm_0=Ann\nHScore_Val_0=9000\n"
        "HScore_Nm_1=Bo\nHScore_Val_1=4500\n");
    files.push_back("[Setting]\n" + QByteArray(40000, 'j') +
                    "\nHScore_Nm_0=" + QByteArray(40000, 'x') + "\nHScore_Val_0=7\n;" +
                    QByteArray(60000, 'c') + "\nHScore_Nm_2=Late\n");
    // The fuzzer's corpus and the inputs of the faults it found.
    for (const char* folder : {"/fuzz/corpus/store", "/fuzz/regressions/store"}) {
        const QDir dir(QStringLiteral(QUILLET_SOURCE_DIR) + QLatin1String(folder));
        const QStringList names = dir.entryList(QDir::Files);
        EXPECT_FALSE(names.isEmpty()) << folder;
        for (const QString& name : names) files.push_back(readFile(dir.filePath(name)));
    }
    return files;
}

void expectSameSettings(const StoredSettings& actual, const StoredSettings& expected) {
    expectSameTable(actual.table, expected.table);
    EXPECT_EQ(actual.soundOn, expected.soundOn);
    EXPECT_EQ(actual.zoomPercent, expected.zoomPercent);
}

TEST(StoreCompat, EveryFileReadsAsQSettingsReadIt) {
    for (const QByteArray& file : storeFiles()) {
        SCOPED_TRACE(file.left(300).toStdString());
        expectSameSettings(readStoreText(file).settings, reference::readWithQSettings(file));
    }
}

// Files as QSettings writes them, from an empty one, with the game's keys and
// with keys of the player's own around them; on each, the game's saves write
// the very bytes QSettings wrote, and read back as QSettings reads them.
TEST(StoreCompat, TheGamesKeysAreWrittenAsQSettingsWroteThem) {
    HighScoreTable odd =
        makeTable({"Smith, John", " lead", "a\"b\\c;d", "@home", "Zo\u00eb \U0001F600"},
                  {-2147483647 - 1, 2147483647, 0, -5, 7});
    odd.names[3] = QString(QChar(u'\0')) + QStringLiteral(
                                               "1f\x01"
                                               "a\ttab=");
    const HighScoreTable hostile = makeTable({"two\nlines\r\n", "@Variant(x)", " @DateTime()",
                                              "a, @Variant(b)", "=;#\"\\%[Setting]\\x41"},
                                             {1, 2, 3, 4, 5});
    const HighScoreTable wide =
        makeTable({"\tTab\t", "@@", "@ByteArray(x)", "@Invalid()", QString(3000, QChar(u'\u5c71'))},
                  {5, 4, 3, 2, 1});
    struct Save {
        StoreKeys keys;
        StoredSettings wanted;
    };
    const std::vector<Save> saves = {
        {StoreKeys::Table, {sampleTable(), true}}, {StoreKeys::Table, {odd, true}},
        {StoreKeys::Table, {hostile, true}},       {StoreKeys::Table, {wide, true}},
        {StoreKeys::Sound, {{}, false}},           {StoreKeys::Sound, {{}, true}},
        {StoreKeys::Zoom, {{}, true, 150}},        {StoreKeys::Zoom, {{}, true, 100}},
        {StoreKeys::Zoom, {{}, true, 300}},
    };
    std::vector<QByteArray> files = {
        "", "[General]\na=1\n", "[Aaa]\nb=2\n\n[Zed]\na=1\n",
        "[Preferences]\nOther=1\n\n[Setting]\nHScore_Nm_0=x\n\n[Zed]\na=1\n",
        "[Setting]\nHScore_Val_2=5\n", "[Preferences]\nSound=off\nZz=1\n",
        "[Preferences]\nAa=1\nZoom=250\n"};
    // Each save on each file, and again on what it gave, two rounds deep.
    for (int round = 0; round < 2; ++round) {
        const std::vector<QByteArray> bases = files;
        for (const QByteArray& base : bases) {
            for (const Save& save : saves) {
                SCOPED_TRACE(base.toStdString());
                const StoreText text = readStoreText(base);
                StoredSettings wanted = text.settings;
                if (save.keys == StoreKeys::Table) wanted.table = storableTable(save.wanted.table);
                if (save.keys == StoreKeys::Sound) wanted.soundOn = save.wanted.soundOn;
                if (save.keys == StoreKeys::Zoom) wanted.zoomPercent = save.wanted.zoomPercent;
                const QByteArray written = reference::savedWithQSettings(base, wanted, save.keys);
                EXPECT_EQ(withSettings(text, wanted, save.keys), written);
                expectSameSettings(readStoreText(written).settings,
                                   reference::readWithQSettings(written));
                files.push_back(written);
            }
        }
    }
}

}  // namespace
}  // namespace quillet
