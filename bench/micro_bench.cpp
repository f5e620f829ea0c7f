// Micro-benchmarks of the game's handlers, through the real main window on
// Qt's offscreen platform with the real sound player (silent without a server).
//
// Each iteration first sets the position up and lets the window repaint what
// changed, as the event loop does between two events in play; only the
// handler itself is timed (manual time), so neither the set-up nor the
// repaint counts. benchTickWithRepaint times the repaint too, and counts
// how many widgets and pixels each tick repaints.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "bench/game_harness.h"
#include "game/rules.h"
#include "ui/fonts.h"
#include "ui/zoom.h"

namespace quillet::bench {
namespace {

using Clock = std::chrono::steady_clock;

GameHarness* harness = nullptr;

// A started game whose fall timer runs but never ticks by itself: the
// benchmarks call the tick, and a stray tick between iterations would move the
// pieces they have just set up.
void startQuietGame() {
    MainWindow& window = harness->window();
    if (!window.fallTimer->isActive()) window.start();
    window.fallTimer->blockSignals(true);
}

void repaint() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Runs `prepare` and a repaint untimed, then `operation` timed.
void timeEach(benchmark::State& state, const std::function<void()>& prepare,
              const std::function<void()>& operation) {
    startQuietGame();
    for (auto _ : state) {
        prepare();
        repaint();
        const auto start = Clock::now();
        operation();
        const auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

void benchTickFalling(benchmark::State& state) {
    timeEach(
        state, [] { prepareFallingTick(harness->game()); }, [] { harness->window().tick(); });
}
BENCHMARK(benchTickFalling)->UseManualTime()->Unit(benchmark::kMicrosecond);

void benchTickCake(benchmark::State& state) {
    timeEach(
        state, [] { prepareCakeTick(harness->game()); }, [] { harness->window().tick(); });
}
BENCHMARK(benchTickCake)->UseManualTime()->Unit(benchmark::kMicrosecond);

void benchTickTwoCakes(benchmark::State& state) {
    timeEach(
        state, [] { prepareTwoCakesTick(harness->game()); }, [] { harness->window().tick(); });
}
BENCHMARK(benchTickTwoCakes)->UseManualTime()->Unit(benchmark::kMicrosecond);

void benchTickPairEnters(benchmark::State& state) {
    timeEach(
        state, [] { prepareEntryTick(harness->game()); }, [] { harness->window().tick(); });
}
BENCHMARK(benchTickPairEnters)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A pair in the middle of the top row, free to move either way.
void prepareMove() {
    Game& game = harness->game();
    drawBoard(game, ".34.|....|....|....|....");
    game.fallingPair = {1, 2};
}

void benchMoveLeft(benchmark::State& state) {
    timeEach(state, prepareMove, [] { harness->window().moveLeft(); });
}
BENCHMARK(benchMoveLeft)->UseManualTime()->Unit(benchmark::kMicrosecond);

void benchMoveRight(benchmark::State& state) {
    timeEach(state, prepareMove, [] { harness->window().moveRight(); });
}
BENCHMARK(benchMoveRight)->UseManualTime()->Unit(benchmark::kMicrosecond);

void benchSwapPieces(benchmark::State& state) {
    timeEach(state, prepareMove, [] { harness->window().swapPieces(); });
}
BENCHMARK(benchSwapPieces)->UseManualTime()->Unit(benchmark::kMicrosecond);

void benchDrawNextPair(benchmark::State& state) {
    timeEach(
        state, [] {}, [] { harness->game().drawNextPair(); });
}
BENCHMARK(benchDrawNextPair)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One cell changing between two pictures, as in a fall.
void benchSetCell(benchmark::State& state) {
    int count = 3;
    timeEach(
        state, [] {},
        [&count] {
            count = count == 3 ? 4 : 3;
            harness->game().setCell(9, count);
        });
}
BENCHMARK(benchSetCell)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Counts the paint events that reach the window's widgets, and their area.
class PaintCounter : public QObject {
public:
    long long widgets = 0;
    long long pixels = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++widgets;
            for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) {
                pixels += static_cast<long long>(rect.width()) * rect.height();
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void benchTickWithRepaint(benchmark::State& state) {
    startQuietGame();
    PaintCounter counter;
    MainWindow& window = harness->window();
    window.installEventFilter(&counter);
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(&counter);
    long long widgets = 0;
    long long pixels = 0;
    for (auto _ : state) {
        prepareFallingTick(harness->game());
        repaint();
        counter.widgets = counter.pixels = 0;
        const auto start = Clock::now();
        window.tick();
        repaint();
        const auto end = Clock::now();
        widgets += counter.widgets;
        pixels += counter.pixels;
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    for (QWidget* child : window.findChildren<QWidget*>()) child->removeEventFilter(&counter);
    window.removeEventFilter(&counter);
    state.counters["widgets_painted"] =
        benchmark::Counter(static_cast<double>(widgets), benchmark::Counter::kAvgIterations);
    state.counters["pixels_painted"] =
        benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kAvgIterations);
}
BENCHMARK(benchTickWithRepaint)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillet::bench

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    auto random = std::make_unique<quillet::ClockSeededRandom>();
    random->seed(1);
    quillet::bench::GameHarness harness(std::move(random));
    harness.window().show();
    quillet::bench::repaint();
    // QUILLET_BENCH_ZOOM=300 runs every benchmark with the windows zoomed, on
    // a screen large enough for the step (bench.sh gives one).
    if (const char* zoom = std::getenv("QUILLET_BENCH_ZOOM")) {
        if (!harness.window().zoom().choose(std::atoi(zoom))) {
            std::fprintf(stderr, "micro_bench: a zoom of %s %% does not fit the screen\n", zoom);
            return 1;
        }
        quillet::bench::repaint();
    }
    quillet::bench::harness = &harness;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    quillet::bench::harness = nullptr;
    return 0;
}
