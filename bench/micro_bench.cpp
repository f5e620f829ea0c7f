// Micro-benchmarks of the game's handlers, through the real main window on
// Qt's offscreen platform with the real sound player on SDL's dummy driver.
//
// Each iteration first sets the position up and lets the window repaint what
// changed, as the event loop does between two events in play; only the
// handler itself is timed (manual time), so neither the set-up nor the
// repaint counts. BM_FallTickWithRepaint times the repaint too, and counts
// how many widgets and pixels each tick repaints.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

#include "bench/game_harness.h"
#include "game/rules.h"
#include "ui/fonts.h"

namespace quillet::bench {
namespace {

using Clock = std::chrono::steady_clock;

GameHarness* harness = nullptr;

// A started game whose fall timer runs but never ticks by itself: the
// benchmarks call the tick, and a stray tick between iterations would move the
// pieces they have just set up.
void StartQuietGame() {
    MainWindow& window = harness->window();
    if (!window.fallTimer->isActive()) window.start();
    window.fallTimer->blockSignals(true);
}

void Repaint() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Runs `prepare` and a repaint untimed, then `operation` timed.
void TimeEach(benchmark::State& state, const std::function<void()>& prepare,
              const std::function<void()>& operation) {
    StartQuietGame();
    for (auto _ : state) {
        prepare();
        Repaint();
        const auto start = Clock::now();
        operation();
        const auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

void BM_FallTick_Falling(benchmark::State& state) {
    TimeEach(
        state, [] { PrepareFallingTick(harness->game()); },
        [] { harness->window().tick(); });
}
BENCHMARK(BM_FallTick_Falling)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_FallTick_Cake(benchmark::State& state) {
    TimeEach(
        state, [] { PrepareCakeTick(harness->game()); },
        [] { harness->window().tick(); });
}
BENCHMARK(BM_FallTick_Cake)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_FallTick_TwoCakes(benchmark::State& state) {
    TimeEach(
        state, [] { PrepareTwoCakesTick(harness->game()); },
        [] { harness->window().tick(); });
}
BENCHMARK(BM_FallTick_TwoCakes)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_FallTick_PairEnters(benchmark::State& state) {
    TimeEach(
        state, [] { PrepareEntryTick(harness->game()); },
        [] { harness->window().tick(); });
}
BENCHMARK(BM_FallTick_PairEnters)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A pair in the middle of the top row, free to move either way.
void PrepareMove() {
    Game& game = harness->game();
    DrawBoard(game, ".34.|....|....|....|....");
    game.FallingPair = {1, 2};
}

void BM_Left(benchmark::State& state) {
    TimeEach(state, PrepareMove, [] { harness->window().moveLeft(); });
}
BENCHMARK(BM_Left)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_Right(benchmark::State& state) {
    TimeEach(state, PrepareMove, [] { harness->window().moveRight(); });
}
BENCHMARK(BM_Right)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_Turn(benchmark::State& state) {
    TimeEach(state, PrepareMove, [] { harness->window().swapPieces(); });
}
BENCHMARK(BM_Turn)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ShowNextPair(benchmark::State& state) {
    TimeEach(
        state, [] {}, [] { harness->game().drawNextPair(); });
}
BENCHMARK(BM_ShowNextPair)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One cell changing between two pictures, as in a fall.
void BM_SetCell(benchmark::State& state) {
    int count = 3;
    TimeEach(
        state, [] {},
        [&count] {
            count = count == 3 ? 4 : 3;
            harness->game().SetCell(9, count);
        });
}
BENCHMARK(BM_SetCell)->UseManualTime()->Unit(benchmark::kMicrosecond);

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

void BM_FallTickWithRepaint(benchmark::State& state) {
    StartQuietGame();
    PaintCounter counter;
    MainWindow& window = harness->window();
    window.installEventFilter(&counter);
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(&counter);
    long long widgets = 0;
    long long pixels = 0;
    for (auto _ : state) {
        PrepareFallingTick(harness->game());
        Repaint();
        counter.widgets = counter.pixels = 0;
        const auto start = Clock::now();
        window.tick();
        Repaint();
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
BENCHMARK(BM_FallTickWithRepaint)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillet::bench

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    quillet::InstallFontSubstitutions();
    auto random = std::make_unique<quillet::ClockSeededRandom>();
    random->Seed(1);
    quillet::bench::GameHarness harness(std::move(random));
    harness.window().show();
    quillet::bench::Repaint();
    quillet::bench::harness = &harness;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    quillet::bench::harness = nullptr;
    return 0;
}
