#include "game/game.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quillet {

using namespace rules;

void Game::setCell(int index, int count) {
    board[index] = static_cast<std::int16_t>(count);
    m_view.showCell(index, count);
}

void Game::resetState() {
    fallInterval = StartFallInterval;
    score = 0;
    cakeCount = 0;
    fallingPair = {LandedMarker, LandedMarker + 1};
}

void Game::drawNextPair() {
    // Each piece: one number in three picks the wide range 1 to 7, the others the
    // narrow range 1 to 4. So 1 to 4 come up 3/14 each, 5 to 7 1/21 each.
    const auto next = [this] {
        // A source that strays outside [0, 1) must still never deal 0 or a whole cake.
        return std::clamp(m_random.nextUniform(), 0.0, std::nextafter(1.0, 0.0));
    };
    for (int i = 0; i < 2; ++i) {
        const double r1 = next();
        const int range = (static_cast<int>(r1 * 3) + 1 == 1) ? LargestDrawnPiece : 4;
        const double r2 = next();
        nextPair[i] = static_cast<std::int16_t>(static_cast<int>(r2 * range) + 1);
        m_view.showNext(i, nextPair[i]);
    }
}

void Game::start() {
    for (int cell = 0; cell < CellCount; ++cell) setCell(cell, 0);
    resetState();
    drawNextPair();
    m_view.setButtonEnabled(PlayButton::Start, false);
    m_view.setButtonEnabled(PlayButton::Left, true);
    m_view.setButtonEnabled(PlayButton::Right, true);
    m_view.setButtonEnabled(PlayButton::Turn, true);
    m_view.setTimerEnabled(true);
    m_view.playCue("start");
}

void Game::tick() {
    if (fallingPair[0] < LandedMarker || fallingPair[1] < LandedMarker) {
        pieceStep(0);
        pieceStep(1);
    } else {
        completePair();
    }
    m_view.showScore(std::to_string(score));
    m_view.showCakeCount(std::to_string(cakeCount));
}

void Game::pieceStep(int element) {
    const int p = fallingPair[element];
    if (p > LastFallingCell) {
        // Bottom row, or landed already: a landed piece is landed again by every
        // tick until its partner lands too.
        land(element);
        return;
    }
    const int below = p + RowStep;
    if (board[below] == 0) {
        setCell(below, board[p]);
        setCell(p, 0);
        fallingPair[element] = static_cast<std::int16_t>(below);
        return;
    }
    if (board[below] + board[p] <= WholeCake) mergeInto(p, below);
    land(element);
}

void Game::land(int element) {
    fallingPair[element] = static_cast<std::int16_t>(LandedMarker + element);
    m_view.setTimerInterval(LandingInterval);
}

void Game::mergeInto(int from, int below) {
    m_view.playCue("add0");
    // The sum goes straight into the board and is shown only after the cell above
    // has been emptied.
    board[below] = static_cast<std::int16_t>(board[below] + board[from]);
    addScore(MergeScorePerSlice * board[below]);
    m_view.pieceMerged(below, board[below]);
    setCell(from, 0);
    setCell(below, board[below]);
    if (board[below] == WholeCake) completeCake(below);
}

void Game::completeCake(int cell) {
    m_view.playCue("add");
    setCell(cell, 0);
    if (cakeCount < CakeCountLimit) ++cakeCount;
    if (cakeCount % SpeedUpEvery == 1) {
        fallInterval = static_cast<std::int16_t>(std::max(fallInterval - SpeedUpStep, FastestFall));
    }
    ++chainCount;
    addScore(CakeBonus);
    if (chainCount == 2) {
        addScore(SecondCakeBonus);
        m_view.playCue("add2");
    }
}

void Game::completePair() {
    m_view.setTimerInterval(fallInterval);
    chainCount = 0;
    if (board[EntryLeft] == 0 && board[EntryRight] == 0) {
        setCell(EntryLeft, nextPair[0]);
        setCell(EntryRight, nextPair[1]);
        fallingPair = {EntryLeft, EntryRight};
        drawNextPair();
        return;
    }
    // No room for the next pair: the game is over.
    m_view.setTimerEnabled(false);
    m_view.setButtonEnabled(PlayButton::Left, false);
    m_view.setButtonEnabled(PlayButton::Right, false);
    m_view.setButtonEnabled(PlayButton::Turn, false);
    m_view.setButtonEnabled(PlayButton::Start, true);
    m_view.rankFinishedGame();
}

void Game::addScore(std::int32_t points) {
    score = (score > ScoreLimit - points) ? ScoreLimit : score + points;
}

bool Game::isFalling(int element) const {
    // A falling piece sits on the board and its cell holds it. Before the first
    // game the pair reads (0, 0) over an empty board: nothing falls then, so a
    // move that reaches its handler anyway changes nothing.
    const int p = fallingPair[element];
    return p >= 0 && p < LandedMarker && board[p] != 0;
}

void Game::moveLeft() {
    // Only the leading (left) piece is tested; the right piece follows into the
    // cell it has just left.
    const int lead = fallingPair[0];
    if (!isFalling(0) || lead % Columns == 0 || board[lead - 1] != 0) return;
    for (int element : {0, 1}) {
        const int p = fallingPair[element];
        if (p >= LandedMarker) continue;
        setCell(p - 1, board[p]);
        setCell(p, 0);
        fallingPair[element] = static_cast<std::int16_t>(p - 1);
    }
}

void Game::moveRight() {
    const int lead = fallingPair[1];
    if (!isFalling(1) || lead % Columns == Columns - 1 || board[lead + 1] != 0) return;
    for (int element : {1, 0}) {
        const int p = fallingPair[element];
        if (p >= LandedMarker) continue;
        setCell(p + 1, board[p]);
        setCell(p, 0);
        fallingPair[element] = static_cast<std::int16_t>(p + 1);
    }
}

void Game::swapPieces() {
    if (!isFalling(0) || !isFalling(1)) return;
    const int left = fallingPair[0];
    const int right = fallingPair[1];
    std::swap(board[left], board[right]);
    setCell(left, board[left]);
    setCell(right, board[right]);
}

}  // namespace quillet
