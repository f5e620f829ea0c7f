// Instructions per fall tick, counted by callgrind: a count that a busy or
// noisy machine does not change. bench.sh runs it as
//
//   valgrind --tool=callgrind --collect-atstart=no --separate-threads=yes
//            --callgrind-out-file=DIR/ticks tick_instructions
//
// For each kind of tick it sets the position up and lets the window repaint
// with collection off, then collects one tick; after 100 ticks of a kind it
// dumps them as one part named after the kind. The main thread's part divided
// by 100 is that kind's count. Threads are kept apart so that the audio
// thread's reading of cue files, which callgrind may run in the middle of a
// tick, is not counted in the tick.

#include <valgrind/callgrind.h>

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <memory>

#include "bench/game_harness.h"
#include "ui/fonts.h"

namespace {

constexpr int TicksPerKind = 100;

void repaint() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    auto random = std::make_unique<quillet::ClockSeededRandom>();
    random->seed(1);
    quillet::bench::GameHarness harness(std::move(random));
    quillet::MainWindow& window = harness.window();
    window.show();
    window.start();
    // The benchmark calls the tick; the timer runs, as in play, but stays mute.
    window.fallTimer->blockSignals(true);
    repaint();

    const struct {
        const char* name;
        void (*prepare)(quillet::Game&);
    } kinds[] = {
        {"falling", quillet::bench::prepareFallingTick},
        {"cake", quillet::bench::prepareCakeTick},
        {"two_cakes", quillet::bench::prepareTwoCakesTick},
        {"pair_enters", quillet::bench::prepareEntryTick},
    };
    for (const auto& kind : kinds) {
        // One tick of the kind first, uncounted, so that nothing done only once
        // (a first allocation, a lazy look-up) is charged to the kind.
        kind.prepare(harness.game());
        window.tick();
        CALLGRIND_ZERO_STATS;
        for (int i = 0; i < TicksPerKind; ++i) {
            kind.prepare(harness.game());
            repaint();
            CALLGRIND_TOGGLE_COLLECT;
            window.tick();
            CALLGRIND_TOGGLE_COLLECT;
        }
        CALLGRIND_DUMP_STATS_AT(kind.name);
    }
    return 0;
}
