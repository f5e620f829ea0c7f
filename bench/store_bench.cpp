// What a hostile store at the size cap costs the game's thread: the time of
// one load (ScoreStore::read, as at start-up, at every game over and every
// HighScore press) and the memory it takes at its peak, for files of
// MaxStoreBytes in the shapes that cost QSettings the most. Also the time of
// a save into such a file (one byte under the cap, so that the save goes
// through or is refused by the cap after its rewrite). Linked with Qt Gui, as
// the game is, so that a value in QSettings' binary form may hold a picture.
//
// Usage: store_bench [runs [bytes]], by default 11 runs at MaxStoreBytes.
// Prints one line per shape: "store <shape> bytes <n> load_ms <median>
// load_cpu_ms <median> load_peak_mb <x> save_ms <median>", the load's wall
// and thread CPU time. A load's memory is taken in a fresh
// process, from a peak reset just before it (/proc/self/clear_refs).
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>

#include "scores/score_store.h"
#include "scores/store_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// Fills up to exactly `size` bytes with `unit(i)` for i = 0, 1, ... after
// `head`, cutting the last unit short.
template <typename Unit>
QByteArray filled(const QByteArray& head, qint64 size, Unit unit) {
    QByteArray bytes = head;
    for (int i = 0; bytes.size() < size; ++i) bytes += unit(i);
    bytes.truncate(size);
    return bytes;
}

// A white square picture of `side` pixels as QSettings writes it in a value:
// "@Variant(...)" around the picture as PNG.
QByteArray pictureValue(int side) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("picture.ini"));
    {
        QImage picture(side, side, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("p"), picture);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    const QByteArray line = file.readAll().split('\n').value(1);
    return line.mid(2);  // after "p="
}

// As many whole lines of pictures of `side` pixels as `size` bytes hold.
QByteArray wholePictures(qint64 size, int side) {
    const QByteArray picture = pictureValue(side);
    QByteArray bytes = "[Setting]\n";
    for (int i = 0;; ++i) {
        const QByteArray line = "p" + QByteArray::number(i) + "=" + picture + "\n";
        if (bytes.size() + line.size() > size) return bytes;
        bytes += line;
    }
}

struct Shape {
    const char* name;
    QByteArray bytes;
};

std::vector<Shape> shapes(qint64 size) {
    return {
        {"keys-in-Setting",
         filled("[Setting]\n", size, [](int i) { return "k" + QByteArray::number(i) + "=v\n"; })},
        {"sections",
         filled("", size, [](int i) { return "[s" + QByteArray::number(i) + "]\nk=v\n"; })},
        {"escaped-keys",
         filled("[Setting]\n", size,
                [](int i) { return "%E3%81%" + QByteArray::number(i) + "=\\x1\n"; })},
        {"one-long-name", filled("[Setting]\nHScore_Nm_0=", size, [](int) { return "x"; })},
        {"list-values",
         filled("[Setting]\n", size,
                [](int i) { return "k" + QByteArray::number(i) + "=a,b,c,d,e,f\n"; })},
        {"one-long-list", filled("[Setting]\nHScore_Nm_0=", size, [](int) { return ","; })},
        {"short-lists",
         filled("[Setting]\n", size, [](int i) { return "k" + QByteArray::number(i) + "=a,b\n"; })},
        {"empty-values",
         filled("[Setting]\n", size, [](int i) { return "k" + QByteArray::number(i) + "=\n"; })},
        {"variant-lists", filled("[Setting]\n", size,
                                 [](int i) {
                                     return "k" + QByteArray::number(i) +
                                            "=@Variant(\\0\\0\\0\\xb\\x7f\\xff\\xff\\xff)\n";
                                 })},
        {"variant-ints", filled("[Setting]\n", size,
                                [](int i) {
                                    return "k" + QByteArray::number(i) +
                                           "=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)\n";
                                })},
        {"short-variants",
         filled("[Setting]\n", size,
                [](int i) { return QByteArray::number(i, 36) + "=@Variant()\n"; })},
        {"comments", filled("[Setting]\nHScore_Nm_0=Ann\n", size, [](int) { return ";c\n"; })},
        {"one-picture",
         filled("[Setting]\nHScore_Nm_0=Ann\npic=" + pictureValue(3000) + "\n", size,
                [](int) { return ";c\n"; })},
        {"pictures", filled(wholePictures(size - 64, 600), size, [](int) { return ";c\n"; })},
    };
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "store_bench: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

// The peak memory one load adds, in kB, measured in a fresh process of its
// own (this program again, with --peak): in this one, memory that earlier
// loads freed would serve the next one unseen.
long loadPeakKb(const QString& path) {
    int report[2];
    if (::pipe(report) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        ::dup2(report[1], STDOUT_FILENO);
        const QByteArray name = QFile::encodeName(path);
        ::execl("/proc/self/exe", "store_bench", "--peak", name.constData(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(report[1]);
    char text[64] = {};
    const ssize_t got = ::read(report[0], text, sizeof text - 1);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return got > 0 ? std::strtol(text, nullptr, 10) : -1;
}

// The child's side: one load, and how far it raised the peak.
int printLoadPeakKb(const QString& path) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKb("VmHWM");
    quillet::ScoreStore(path).read();
    std::printf("%ld\n", statusKb("VmHWM") - before);
    return 0;
}

// The CPU time of this thread: what a load costs the game's thread, whatever
// else the machine is running.
double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double medianMs(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak")
        return printLoadPeakKb(QFile::decodeName(argv[2]));
    const int runs = std::max(1, argc > 1 ? std::atoi(argv[1]) : 11);
    // A failed save says so on standard error; here that is expected.
    if (!std::freopen("/dev/null", "w", stderr)) return 1;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Quillet.conf"));
    for (const Shape& shape : shapes(argc > 2 ? std::atoi(argv[2]) : quillet::MaxStoreBytes)) {
        writeFile(path, shape.bytes);
        const quillet::ScoreStore store(path);
        std::vector<double> loads;
        std::vector<double> loadsCpu;
        for (int run = 0; run < runs; ++run) {
            const double cpuStart = threadCpuMs();
            const auto start = Clock::now();
            store.read();
            loads.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            loadsCpu.push_back(threadCpuMs() - cpuStart);
        }
        const long peakKb = loadPeakKb(path);
        std::vector<double> saves;
        for (int run = 0; run < std::max(1, runs / 3); ++run) {
            writeFile(path, shape.bytes.left(quillet::MaxStoreBytes - 1));
            const auto start = Clock::now();
            store.save(quillet::HighScoreTable{});
            saves.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::printf(
            "store %s bytes %lld load_ms %.1f load_cpu_ms %.1f load_peak_mb %.1f save_ms %.1f\n",
            shape.name, static_cast<long long>(shape.bytes.size()), medianMs(loads),
            medianMs(loadsCpu), peakKb / 1024.0, medianMs(saves));
        std::fflush(stdout);
    }
    return 0;
}
