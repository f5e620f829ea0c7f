#pragma once

#include <string>

namespace quillet {

// The buttons whose enabled state carries the phase of the game.
enum class PlayButton { Start, Left, Right, Turn };

// Everything the rules need of the window, and nothing more. The main window
// implements it with widgets; the tests implement it with a recorder, so a
// test sees the exact order of every visible effect.
class GameView {
public:
    virtual ~GameView() = default;

    // Shows slice count `count` (0 = no picture, 1 to 8) in board cell `index` (0 to 19).
    virtual void showCell(int index, int count) = 0;
    // Shows slice count `count` (1 to 7) in next-pair image `element` (0 = left, 1 = right).
    virtual void showNext(int element, int count) = 0;
    virtual void showScore(const std::string& text) = 0;
    virtual void showCakeCount(const std::string& text) = 0;
    virtual void setButtonEnabled(PlayButton button, bool enabled) = 0;
    // The next tick comes one interval after this call, also when made inside a tick.
    virtual void setTimerInterval(int milliseconds) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    // Starts a sound cue and returns at once, cutting off whatever was sounding.
    virtual void playCue(const std::string& cue) = 0;
    // Ranks the finished game; may show the high-score window modally and return
    // only when it has closed.
    virtual void rankFinishedGame() = 0;

    // A falling piece has merged into the piece in `cell` (0 to 19), which now
    // holds `slices` (2 to 8). At 8 the cake leaves the board right after, in
    // the same tick. Nothing to show: the cells tell it already; a window that
    // speaks to a player who cannot see the board says where it happened.
    virtual void pieceMerged(int /*cell*/, int /*slices*/) {}
};

}  // namespace quillet
