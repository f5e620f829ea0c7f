#include "game/game.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quillet {

using namespace rules;

void Game::SetCell(int index, int count) {
    Board[index] = static_cast<std::int16_t>(count);
    view_.ShowCell(index, count);
}

void Game::resetState() {
    FallInterval = StartFallInterval;
    Score = 0;
    CakeCount = 0;
    FallingPair = {LandedMarker, LandedMarker + 1};
}

void Game::drawNextPair() {
    // Each piece: one number in three picks the wide range 1 to 7, the others the
    // narrow range 1 to 4. So 1 to 4 come up 3/14 each, 5 to 7 1/21 each.
    const auto next = [this] {
        // A source that strays outside [0, 1) must still never deal 0 or a whole cake.
        return std::clamp(random_.NextUniform(), 0.0, std::nextafter(1.0, 0.0));
    };
    for (int i = 0; i < 2; ++i) {
        const double r1 = next();
        const int range = (static_cast<int>(r1 * 3) + 1 == 1) ? LargestDrawnPiece : 4;
        const double r2 = next();
        NextPair[i] = static_cast<std::int16_t>(static_cast<int>(r2 * range) + 1);
        view_.ShowNext(i, NextPair[i]);
    }
}

void Game::start() {
    for (int cell = 0; cell < CellCount; ++cell) SetCell(cell, 0);
    resetState();
    drawNextPair();
    view_.SetButtonEnabled(PlayButton::Start, false);
    view_.SetButtonEnabled(PlayButton::Left, true);
    view_.SetButtonEnabled(PlayButton::Right, true);
    view_.SetButtonEnabled(PlayButton::Turn, true);
    view_.SetTimerEnabled(true);
    view_.playCue("start");
}

void Game::tick() {
    if (FallingPair[0] < LandedMarker || FallingPair[1] < LandedMarker) {
        PieceStep(0);
        PieceStep(1);
    } else {
        CompletePair();
    }
    view_.showScore(std::to_string(Score));
    view_.showCakeCount(std::to_string(CakeCount));
}

void Game::PieceStep(int element) {
    const int p = FallingPair[element];
    if (p > LastFallingCell) {
        // Bottom row, or landed already: a landed piece is landed again by every
        // tick until its partner lands too.
        Land(element);
        return;
    }
    const int below = p + RowStep;
    if (Board[below] == 0) {
        SetCell(below, Board[p]);
        SetCell(p, 0);
        FallingPair[element] = static_cast<std::int16_t>(below);
        return;
    }
    if (Board[below] + Board[p] <= WholeCake) MergeInto(p, below);
    Land(element);
}

void Game::Land(int element) {
    FallingPair[element] = static_cast<std::int16_t>(LandedMarker + element);
    view_.SetTimerInterval(LandingInterval);
}

void Game::MergeInto(int from, int below) {
    view_.playCue("add0");
    // The sum goes straight into the board and is shown only after the cell above
    // has been emptied.
    Board[below] = static_cast<std::int16_t>(Board[below] + Board[from]);
    AddScore(MergeScorePerSlice * Board[below]);
    SetCell(from, 0);
    SetCell(below, Board[below]);
    if (Board[below] == WholeCake) CompleteCake(below);
}

void Game::CompleteCake(int cell) {
    view_.playCue("add");
    SetCell(cell, 0);
    if (CakeCount < CakeCountLimit) ++CakeCount;
    if (CakeCount % SpeedUpEvery == 1) {
        FallInterval = static_cast<std::int16_t>(std::max(FallInterval - SpeedUpStep, FastestFall));
    }
    ++ChainCount;
    AddScore(CakeBonus);
    if (ChainCount == 2) {
        AddScore(SecondCakeBonus);
        view_.playCue("add2");
    }
}

void Game::CompletePair() {
    view_.SetTimerInterval(FallInterval);
    ChainCount = 0;
    if (Board[EntryLeft] == 0 && Board[EntryRight] == 0) {
        SetCell(EntryLeft, NextPair[0]);
        SetCell(EntryRight, NextPair[1]);
        FallingPair = {EntryLeft, EntryRight};
        drawNextPair();
        return;
    }
    // No room for the next pair: the game is over.
    view_.SetTimerEnabled(false);
    view_.SetButtonEnabled(PlayButton::Left, false);
    view_.SetButtonEnabled(PlayButton::Right, false);
    view_.SetButtonEnabled(PlayButton::Turn, false);
    view_.SetButtonEnabled(PlayButton::Start, true);
    view_.rankFinishedGame();
}

void Game::AddScore(std::int32_t points) {
    Score = (Score > ScoreLimit - points) ? ScoreLimit : Score + points;
}

bool Game::IsFalling(int element) const {
    // A falling piece sits on the board and its cell holds it. Before the first
    // game the pair reads (0, 0) over an empty board: nothing falls then, so a
    // move that reaches its handler anyway changes nothing.
    const int p = FallingPair[element];
    return p >= 0 && p < LandedMarker && Board[p] != 0;
}

void Game::moveLeft() {
    // Only the leading (left) piece is tested; the right piece follows into the
    // cell it has just left.
    const int lead = FallingPair[0];
    if (!IsFalling(0) || lead % Columns == 0 || Board[lead - 1] != 0) return;
    for (int element : {0, 1}) {
        const int p = FallingPair[element];
        if (p >= LandedMarker) continue;
        SetCell(p - 1, Board[p]);
        SetCell(p, 0);
        FallingPair[element] = static_cast<std::int16_t>(p - 1);
    }
}

void Game::moveRight() {
    const int lead = FallingPair[1];
    if (!IsFalling(1) || lead % Columns == Columns - 1 || Board[lead + 1] != 0) return;
    for (int element : {1, 0}) {
        const int p = FallingPair[element];
        if (p >= LandedMarker) continue;
        SetCell(p + 1, Board[p]);
        SetCell(p, 0);
        FallingPair[element] = static_cast<std::int16_t>(p + 1);
    }
}

void Game::swapPieces() {
    if (!IsFalling(0) || !IsFalling(1)) return;
    const int left = FallingPair[0];
    const int right = FallingPair[1];
    std::swap(Board[left], Board[right]);
    SetCell(left, Board[left]);
    SetCell(right, Board[right]);
}

}  // namespace quillet
