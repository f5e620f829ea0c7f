#include "bench/game_harness.h"

#include <stdexcept>
#include <string>

#include "game/rules.h"

namespace quillet::bench {

DealingRandom::DealingRandom(std::vector<int> counts) {
    for (int count : counts) {
        if (count < 1 || count > rules::LargestDrawnPiece) {
            throw std::invalid_argument("no piece of " + std::to_string(count) + " slices");
        }
        // The first number picks the range (one in three picks 1 to 7, the
        // others 1 to 4), the second the count within it; each is taken from
        // the middle of its interval.
        const bool wide = count > 4;
        const int range = wide ? rules::LargestDrawnPiece : 4;
        m_numbers.push_back(wide ? 0.1 : 0.5);
        m_numbers.push_back((count - 0.5) / range);
    }
}

double DealingRandom::nextUniform() {
    const double number = m_numbers[m_next];
    m_next = (m_next + 1) % m_numbers.size();
    return number;
}

GameHarness::GameHarness(std::unique_ptr<RandomSource> random)
    : m_store(m_folder.filePath(QStringLiteral("Quillet.conf"))), m_random(std::move(random)) {
    m_window = std::make_unique<MainWindow>(m_cues, m_store, *m_random);
}

void drawBoard(Game& game, const char* rows) {
    int cell = 0;
    for (const char* c = rows; *c != '\0'; ++c) {
        if (*c == '|') continue;
        if (cell >= rules::CellCount) throw std::invalid_argument(rows);
        game.setCell(cell++, *c == '.' ? 0 : *c - '0');
    }
    if (cell != rules::CellCount) throw std::invalid_argument(rows);
}

namespace {

void resetCounters(Game& game) {
    game.score = 0;
    game.cakeCount = 0;
    game.chainCount = 0;
    game.fallInterval = rules::StartFallInterval;
}

}  // namespace

void prepareFallingTick(Game& game) {
    drawBoard(game, "....|.34.|....|....|....");
    game.fallingPair = {5, 6};
    resetCounters(game);
}

void prepareCakeTick(Game& game) {
    drawBoard(game, "....|.34.|.56.|....|....");
    game.fallingPair = {5, 6};
    resetCounters(game);
}

void prepareTwoCakesTick(Game& game) {
    drawBoard(game, "....|.34.|.54.|....|....");
    game.fallingPair = {5, 6};
    resetCounters(game);
}

void prepareEntryTick(Game& game) {
    drawBoard(game, "....|....|....|....|.34.");
    game.fallingPair = {rules::LandedMarker, rules::LandedMarker + 1};
    game.nextPair = {2, 5};
    resetCounters(game);
}

}  // namespace quillet::bench
