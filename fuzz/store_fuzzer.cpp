// Puts arbitrary bytes where the score file lies and checks that the store
// copes: loading never crashes and replaces all five entries, the load is the
// same every time, and saving what was loaded and loading it again gives back
// that very table, and the sound switch reads the same before and after that
// save. A broken promise aborts with a message.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include "scores/high_score_table.h"
#include "scores/score_store.h"
#include "scores/store_set_aside.h"
#include "scores/sound_setting.h"

namespace {

using quillet::HighScoreRanks;
using quillet::HighScoreTable;
using quillet::ScoreStore;

[[noreturn]] void Broken(const char* promise, int line) {
    std::fprintf(stderr, "store promise broken (line %d): %s\n", line, promise);
    std::abort();
}

#define REQUIRE(condition)                              \
    do {                                                \
        if (!(condition)) Broken(#condition, __LINE__); \
    } while (0)

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
    return a.names == b.names && a.scores == b.scores;
}

// Two tables that no load could give by accident; a load into each must give
// the same result, so every one of the five entries was replaced.
HighScoreTable filled(const char* name, qint32 score) {
    HighScoreTable table;
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        table.names[rank] = QString::fromLatin1(name) + QString::number(rank);
        table.scores[rank] = score + rank;
    }
    return table;
}

// A private folder for the whole run. Each input gets a file name of its own:
// the store must not be helped, or fooled, by what an earlier input left.
// The folder lies in memory where the system has a memory file system: every
// save syncs the new file to its disk, and on a real disk that wait is most of
// a run.
const QString& folder() {
    static const QString path = [] {
        const QString memory = QStringLiteral("/dev/shm");
        const QFileInfo memoryInfo(memory);
        const QString parent =
            memoryInfo.isDir() && memoryInfo.isWritable() ? memory : QDir::tempPath();
        static QTemporaryDir folder(parent + QStringLiteral("/quillet-fuzz-store-XXXXXX"));
        if (!folder.isValid()) {
            std::fputs("fuzz_store: cannot create a scratch folder\n", stderr);
            std::abort();
        }
        return folder.path();
    }();
    return path;
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): libFuzzer's entry point, named by it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static unsigned long long round = 0;
    const QString path = folder() + QStringLiteral("/Quillet%1.conf").arg(++round);
    {
        QFile file(path);
        REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        REQUIRE(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                static_cast<qint64>(size));
    }

    const ScoreStore store(path);
    // The tables that each load must replace, made once for the whole run.
    static const HighScoreTable first = filled("first", 101);
    static const HighScoreTable second = filled("second", -202);
    static const HighScoreTable third = filled("third", 303);
    HighScoreTable loaded = first;
    store.load(loaded);
    HighScoreTable loadedAgain = second;
    store.load(loadedAgain);
    REQUIRE(sameTable(loaded, loadedAgain));

    // Saving over the damaged file replaces the table in it, whatever else the
    // file holds, and the next load sees exactly what was saved. The sound
    // switch, whatever the file made of it, is kept as it was. It is read only
    // where the input could name its key (plainly, or with the key escapes'
    // percent signs): each read costs as much as a load, and the runs must
    // stay many.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                     static_cast<qsizetype>(size));
    const bool mayNameSound = bytes.contains("ound") || bytes.contains('%');
    const bool soundOn = mayNameSound ? loadSoundOn(store) : true;
    if (!store.save(loaded)) {
        // Only a value in QSettings' binary form, whose line could not be put
        // back as it stood, refuses a save; the file then stays as it was.
        REQUIRE(!quillet::setAsideBinaryValues(bytes).lines.empty());
        QFile file(path);
        REQUIRE(file.open(QIODevice::ReadOnly) && file.readAll() == bytes);
        QFile::remove(path);
        return 0;
    }
    HighScoreTable reloaded = third;
    store.load(reloaded);
    REQUIRE(sameTable(reloaded, loaded));
    if (mayNameSound) REQUIRE(loadSoundOn(store) == soundOn);

    // The run ends as it began: the store leaves nothing in QSettings' cache
    // or in the folder, so libFuzzer's leak check, which suspects every run
    // that frees less than it allocates, looks only at runs that really leak.
    QFile::remove(path);
    return 0;
}
