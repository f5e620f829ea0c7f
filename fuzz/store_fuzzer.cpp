// Puts arbitrary bytes where the score file lies and checks that the store
// copes: loading never crashes and replaces all five entries, the load is the
// same every time, and saving what was loaded and loading it again gives back
// that very table, and the sound switch and the zoom read the same before and
// after that save. No save changes a byte outside the values of the game's keys, but for
// the lines it adds. A broken promise aborts with a message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include "scores/high_score_table.h"
#include "scores/score_store.h"
#include "scores/sound_setting.h"
#include "scores/zoom_setting.h"
#include "scores/store_text.h"

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

// The file without the values of the game's keys: what no save may change.
QByteArray outsideTheValues(const QByteArray& bytes) {
    const quillet::StoreText text = quillet::readStoreText(bytes);
    QByteArray outside = bytes;
    std::vector<quillet::StoreText::KeyLine> lines(text.lines.begin(), text.lines.end());
    std::sort(lines.begin(), lines.end(),
              [](const auto& a, const auto& b) { return a.valueStart > b.valueStart; });
    for (const auto& line : lines) {
        if (line.found) outside.remove(line.valueStart, line.valueEnd - line.valueStart);
    }
    return outside;
}

// Whether `part` is `whole` with nothing but whole runs of bytes left out.
bool keptInOrder(const QByteArray& part, const QByteArray& whole) {
    qsizetype at = 0;
    for (const char c : part) {
        at = whole.indexOf(c, at);
        if (at < 0) return false;
        ++at;
    }
    return true;
}

bool allTenFound(const QByteArray& bytes) {
    const quillet::StoreText text = quillet::readStoreText(bytes);
    return std::all_of(text.lines.begin(), text.lines.begin() + quillet::SoundKey,
                       [](const auto& line) { return line.found; });
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    // switch and the zoom, whatever the file made of them, are kept as they
    // were. They are read only where the input could name their keys (plainly,
    // or with the key escapes' percent signs): each read costs as much as a
    // load, and the runs must stay many.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool mayNameSound = bytes.contains("ound") || bytes.contains('%');
    const bool mayNameZoom = bytes.contains("oom") || bytes.contains('%');
    const bool soundOn = mayNameSound ? loadSoundOn(store) : true;
    const int zoom = mayNameZoom ? loadZoomPercent(store) : 100;
    const QByteArray input = bytes;
    if (!store.save(loaded)) {
        // Only a key that must be added after a last line left open (cut
        // inside quotes, or after a backslash), which would take it in,
        // refuses a save; the file then stays as it was.
        REQUIRE(!allTenFound(input));
        REQUIRE(fileBytes(path) == input);
        QFile::remove(path);
        return 0;
    }
    HighScoreTable reloaded = third;
    store.load(reloaded);
    REQUIRE(sameTable(reloaded, loaded));
    if (mayNameSound) REQUIRE(loadSoundOn(store) == soundOn);
    if (mayNameZoom) REQUIRE(loadZoomPercent(store) == zoom);

    // Every byte outside the game's values stays; where keys were missing,
    // the lines added for them come between.
    const QByteArray saved = fileBytes(path);
    if (allTenFound(input)) {
        REQUIRE(outsideTheValues(saved) == outsideTheValues(input));
    } else {
        REQUIRE(keptInOrder(outsideTheValues(input), saved));
    }
    // Once all ten keys are there, a save changes nothing but their values.
    REQUIRE(store.save(third));
    const QByteArray again = fileBytes(path);
    REQUIRE(outsideTheValues(again) == outsideTheValues(saved));

    // The run ends as it began, leaving nothing in the folder.
    QFile::remove(path);
    return 0;
}
