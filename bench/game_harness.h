#pragma once

// The real main window for the benchmarks, and the game positions they time.

#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "game/game.h"
#include "game/random_source.h"
#include "scores/score_store.h"
#include "sound/pulse_cue_player.h"
#include "ui/main_window.h"

namespace quillet::bench {

// Deals the given piece counts (1 to 7) in turn, for ever, by handing the
// next-pair draw the two numbers that it turns into each count.
class DealingRandom : public RandomSource {
public:
    explicit DealingRandom(std::vector<int> counts);
    void seedFromClock() {}
    double nextUniform();

private:
    std::vector<double> m_numbers;
    std::size_t m_next = 0;
};

// MainWindow as main() builds it: the real sound player (bench.sh runs it on a
// private sound server), a score store in a scratch folder, and `random`.
// Needs a QApplication.
class GameHarness {
public:
    explicit GameHarness(std::unique_ptr<RandomSource> random);

    MainWindow& window() { return *m_window; }
    Game& game() { return m_window->game(); }
    PulseCuePlayer& cues() { return m_cues; }

private:
    QTemporaryDir m_folder;
    ScoreStore m_store;
    PulseCuePlayer m_cues;
    std::unique_ptr<RandomSource> m_random;
    std::unique_ptr<MainWindow> m_window;
};

// Writes a board drawn as five rows of four characters, top row first, split
// by '|' ('.' empty, '1' to '8' slices), through setCell, so the window shows it.
void drawBoard(Game& game, const char* rows);

// The positions of the three kinds of fall tick. Each sets everything that
// tick reads, so it can be set again before every timed tick.
//
// A pair falling one row through an empty board.
void prepareFallingTick(Game& game);
// A pair landing: its left piece, 3 slices, merges with 5 below into a cake
// ("add0", "add"); its right piece, 4 slices, stops on 6.
void prepareCakeTick(Game& game);
// A pair landing on two pieces it completes, 3 on 5 and 4 on 4: two cakes in
// one tick, the second-cake bonus and five cues, the busiest tick there is.
void prepareTwoCakesTick(Game& game);
// Both pieces landed and the entry cells free: the next pair enters and a new
// next pair is drawn.
void prepareEntryTick(Game& game);

}  // namespace quillet::bench
