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
        numbers_.push_back(wide ? 0.1 : 0.5);
        numbers_.push_back((count - 0.5) / range);
    }
}

double DealingRandom::NextUniform() {
    const double number = numbers_[next_];
    next_ = (next_ + 1) % numbers_.size();
    return number;
}

GameHarness::GameHarness(std::unique_ptr<RandomSource> random)
    : store_(folder_.filePath(QStringLiteral("Quillet.conf"))), random_(std::move(random)) {
    window_ = std::make_unique<MainWindow>(cues_, store_, *random_);
}

void DrawBoard(Game& game, const char* rows) {
    int cell = 0;
    for (const char* c = rows; *c != '\0'; ++c) {
        if (*c == '|') continue;
        if (cell >= rules::CellCount) throw std::invalid_argument(rows);
        game.SetCell(cell++, *c == '.' ? 0 : *c - '0');
    }
    if (cell != rules::CellCount) throw std::invalid_argument(rows);
}

namespace {

void ResetCounters(Game& game) {
    game.Score = 0;
    game.CakeCount = 0;
    game.ChainCount = 0;
    game.FallInterval = rules::StartFallInterval;
}

}  // namespace

void PrepareFallingTick(Game& game) {
    DrawBoard(game, "....|.34.|....|....|....");
    game.FallingPair = {5, 6};
    ResetCounters(game);
}

void PrepareCakeTick(Game& game) {
    DrawBoard(game, "....|.34.|.56.|....|....");
    game.FallingPair = {5, 6};
    ResetCounters(game);
}

void PrepareTwoCakesTick(Game& game) {
    DrawBoard(game, "....|.34.|.54.|....|....");
    game.FallingPair = {5, 6};
    ResetCounters(game);
}

void PrepareEntryTick(Game& game) {
    DrawBoard(game, "....|....|....|....|.34.");
    game.FallingPair = {rules::LandedMarker, rules::LandedMarker + 1};
    game.NextPair = {2, 5};
    ResetCounters(game);
}

}  // namespace quillet::bench
