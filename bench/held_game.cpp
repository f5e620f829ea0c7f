// A game played through the real main window (as main() builds it) on the
// current display, for the measurements that need a running game:
//
//   held_game --hold-ms 100 --cpu-after-ms 1000 --cpu-for-ms 10000 --periods 100
//             --errors-file FILE
//     Plays an endless game: every piece is a 4, so each second pair completes
//     two cakes and empties the board again. The fall interval is held at
//     --hold-ms (the game's own speed-ups are undone after every tick), so at
//     100 every tick comes at the landing interval. Measures the process's CPU
//     time over --cpu-for-ms, from --cpu-after-ms after Start, and the period
//     of --periods ticks whose interval was --hold-ms: each period's error
//     (actual minus interval, ms) goes to FILE, one a line.
//
//   held_game --script
//     A scripted game for the picture count: Start, moves, the high-score and
//     version windows opened and closed during play, and the game played to
//     its end, with a new high score named and saved. Around it, it marks the
//     phases for the decode counter (bench/decode_counter.c) when that is
//     preloaded.

#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/game_harness.h"
#include "bench/proc_stats.h"
#include "ui/fonts.h"
#include "ui/high_score_window.h"

namespace {

using Clock = std::chrono::steady_clock;
using quillet::MainWindow;

struct Options {
    int holdMs = 100;
    int cpuAfterMs = 1000;
    int cpuForMs = 0;
    int periods = 0;
    std::string errorsFile;
    bool script = false;
};

bool parse(int argc, char* argv[], Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--script") {
            options.script = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (option == "--hold-ms") {
            options.holdMs = std::atoi(value);
        } else if (option == "--cpu-after-ms") {
            options.cpuAfterMs = std::atoi(value);
        } else if (option == "--cpu-for-ms") {
            options.cpuForMs = std::atoi(value);
        } else if (option == "--periods") {
            options.periods = std::atoi(value);
        } else if (option == "--errors-file") {
            options.errorsFile = value;
        } else {
            return false;
        }
    }
    return true;
}

// Tells the decode counter, when it is preloaded, that a phase begins.
void markPhase(const char* phase) {
    using Mark = void (*)(const char*);
    if (auto mark = reinterpret_cast<Mark>(dlsym(RTLD_DEFAULT, "quillet_decode_mark"))) {
        mark(phase);
    }
}

// Notes when the fall timer fires, before the tick runs.
class TickClock : public QObject {
public:
    std::vector<Clock::time_point> fired;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) fired.push_back(Clock::now());
        return QObject::eventFilter(watched, event);
    }
};

int held(MainWindow& window, const Options& options) {
    TickClock clock;
    window.fallTimer->installEventFilter(&clock);
    // interval[k]: the interval set by tick k, which the period after it ran at.
    std::vector<int> interval;
    int heldPeriods = 0;
    std::int64_t cpuBefore = 0, ticksBefore = 0;
    std::map<std::string, std::int64_t> threadsBefore, threadsAfter;
    double cpuMs = -1;
    long long cpuTicks = -1;
    // The process's first Start (its click handler) and its first tick, from
    // the timer event to the end of the tick's handler: what the slice
    // pictures, decoded once the window showed, must not make slower.
    double firstStartUs = -1, firstTickUs = -1;
    bool cpuDone = options.cpuForMs <= 0;

    const auto finishWhenDone = [&] {
        if (cpuDone && heldPeriods >= options.periods) QCoreApplication::quit();
    };
    // Runs after the tick itself: MainWindow connected its handler first.
    QObject::connect(window.fallTimer, &QTimer::timeout, &window, [&] {
        if (interval.empty() && !clock.fired.empty()) {
            firstTickUs = std::chrono::duration<double, std::micro>(Clock::now() - clock.fired.front())
                              .count();
        }
        window.game().fallInterval = static_cast<std::int16_t>(options.holdMs);
        interval.push_back(window.fallTimer->interval());
        const std::size_t k = interval.size() - 1;
        if (k >= 1 && interval[k - 1] == options.holdMs) ++heldPeriods;
        finishWhenDone();
    });

    QTimer::singleShot(300, &window, [&] {
        const Clock::time_point pressed = Clock::now();
        window.startButton->click();
        firstStartUs = std::chrono::duration<double, std::micro>(Clock::now() - pressed).count();
        // The first pair falls at the held interval too.
        window.game().fallInterval = static_cast<std::int16_t>(options.holdMs);
        if (cpuDone) return;
        QTimer::singleShot(options.cpuAfterMs, &window, [&] {
            threadsBefore = quillet::bench::threadCpuNanoseconds(getpid());
            cpuBefore = quillet::bench::processCpuNanoseconds(getpid());
            ticksBefore = quillet::bench::processCpuTicks(getpid());
            QTimer::singleShot(options.cpuForMs, &window, [&] {
                cpuMs = (quillet::bench::processCpuNanoseconds(getpid()) - cpuBefore) / 1e6;
                cpuTicks = quillet::bench::processCpuTicks(getpid()) - ticksBefore;
                threadsAfter = quillet::bench::threadCpuNanoseconds(getpid());
                cpuDone = true;
                finishWhenDone();
            });
        });
    });
    QApplication::exec();

    std::vector<double> errors;
    for (std::size_t k = 1; k < interval.size() && k < clock.fired.size(); ++k) {
        if (interval[k - 1] != options.holdMs) continue;
        const double period =
            std::chrono::duration<double, std::milli>(clock.fired[k] - clock.fired[k - 1]).count();
        errors.push_back(period - interval[k - 1]);
    }
    if (!options.errorsFile.empty()) {
        std::ofstream out(options.errorsFile, std::ios::app);
        for (double error : errors) out << error << '\n';
    }
    // Where the time went, thread by thread: "threads=name:ms,name:ms".
    std::string threads;
    for (const auto& [name, after] : threadsAfter) {
        const auto before = threadsBefore.find(name);
        const double ms = (after - (before == threadsBefore.end() ? 0 : before->second)) / 1e6;
        char part[96];
        std::snprintf(part, sizeof part, "%s%s:%.1f", threads.empty() ? "" : ",", name.c_str(), ms);
        threads += part;
    }
    std::printf("cpu_ms=%.2f cpu_ticks=%lld ticks=%zu held_periods=%zu threads=%s first_start_us=%.1f "
                "first_tick_us=%.1f\n",
                cpuMs, cpuTicks, interval.size(), errors.size(), threads.empty() ? "-" : threads.c_str(),
                firstStartUs, firstTickUs);
    return 0;
}

// The scripted game. The fall interval is held short (20 ms) so that it ends
// within seconds; the landing interval stays the game's own.
int scripted(MainWindow& window) {
    constexpr int HoldMs = 20;
    int ticks = 0;
    int modalOpenedAt = -1;
    int modalsSeen = 0;
    bool started = false;
    bool named = false;
    QObject::connect(window.fallTimer, &QTimer::timeout, &window, [&] {
        window.game().fallInterval = HoldMs;
        ++ticks;
        // The player's moves, between ticks as real clicks come.
        QPushButton* move = ticks % 3 == 0   ? window.leftButton
                            : ticks % 3 == 1 ? window.turnButton
                                             : window.rightButton;
        QTimer::singleShot(0, move, [move] {
            if (move->isEnabled()) move->click();
        });
        // The high-score window and the version box, each opened once during
        // play; the game goes on underneath.
        if (ticks == 12) QTimer::singleShot(0, window.highScoreButton, &QPushButton::click);
        if (ticks == 40) QTimer::singleShot(0, window.aboutButton, &QPushButton::click);
    });

    // Deals with whatever modal window is open: a window opened for viewing
    // closes three ticks later; the one that asks for a name gets one and
    // is closed with its Close button, which saves the table.
    QTimer modals;
    modals.setInterval(10);
    QObject::connect(&modals, &QTimer::timeout, &window, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            modalOpenedAt = -1;
            if (named && window.startButton->isEnabled()) QCoreApplication::quit();
            return;
        }
        if (modalOpenedAt < 0) {
            modalOpenedAt = ticks;
            ++modalsSeen;
        }
        if (auto* scores = qobject_cast<quillet::HighScoreWindow*>(modal)) {
            for (QLineEdit* box : scores->nameEdits) {
                if (box->isVisible() && !named && !window.fallTimer->isActive()) {
                    box->setText(QStringLiteral("bench"));
                    named = true;
                    scores->closeButton->click();
                    return;
                }
            }
        }
        if (ticks >= modalOpenedAt + 3 && window.fallTimer->isActive()) modal->close();
    });
    modals.start();

    // Everything the window needs is loaded once it has been on screen for a
    // moment; from Start on, nothing should be decoded.
    QTimer::singleShot(500, &window, [&] {
        markPhase("play");
        started = true;
        window.startButton->click();
        window.game().fallInterval = HoldMs;
    });
    QTimer::singleShot(60000, &window, [] {
        std::fputs("held_game: the scripted game did not end\n", stderr);
        QCoreApplication::exit(1);
    });
    const int status = QApplication::exec();
    markPhase("end");
    // Three modal windows: the high-score table and the version message during
    // play, then the high-score window that asks for a name.
    std::printf("script ticks=%d modal_windows=%d named=%d score=%d\n", ticks, modalsSeen,
                named ? 1 : 0, static_cast<int>(window.game().score));
    std::fflush(stdout);
    return started && named ? status : 1;
}

// Pieces of 4 for ever: every second pair completes two cakes.
std::vector<int> endlessDeal() {
    return {4};
}

// Two cake cycles, then 7s, which never merge, until the board is full.
std::vector<int> scriptDeal() {
    std::vector<int> deal(8, 4);
    deal.insert(deal.end(), 40, 7);
    return deal;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(
            "usage: held_game [--hold-ms N] [--cpu-after-ms N] [--cpu-for-ms N] "
            "[--periods N] [--errors-file FILE] | --script\n",
            stderr);
        return 2;
    }
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    quillet::bench::GameHarness harness(std::make_unique<quillet::bench::DealingRandom>(
        options.script ? scriptDeal() : endlessDeal()));
    harness.window().show();
    return options.script ? scripted(harness.window()) : held(harness.window(), options);
}
