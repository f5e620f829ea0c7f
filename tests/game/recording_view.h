#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "game/game_view.h"
#include "game/rules.h"

namespace quillet::testing {

// A window that only takes notes. Every call becomes one short line in
// `events`, in the order the rules made it:
//   "cell 9=3"  "next 0=2"  "score 2300"  "cake 3"  "Start off"  "Left on"
//   "interval 100"  "timer on"  "cue add0"  "rank"
// Beside the log it keeps what the window would be showing now, so a test can
// compare the screen with the game state at any moment.
class RecordingView : public GameView {
public:
    std::vector<std::string> events;

    // What is on screen: the picture of each cell and next-pair image (0 = none),
    // the label captions, the enabled buttons, and the timer.
    std::array<int, rules::CellCount> cells{};
    std::array<int, 2> next{};
    std::string scoreCaption;
    std::string cakeCaption;
    std::array<bool, 4> enabled{true, false, false, false};  // Start, Left, Right, Turn
    bool timerEnabled = false;
    int timerInterval = rules::LandingInterval;

    // Runs inside rankFinishedGame, after "rank" has been logged, so a test can
    // look at the game as the ranking sees it.
    std::function<void()> onRank;

    bool isEnabled(PlayButton button) const { return enabled[static_cast<int>(button)]; }

    void showCell(int index, int count) override {
        cells[index] = count;
        log("cell " + std::to_string(index) + "=" + std::to_string(count));
    }
    void showNext(int element, int count) override {
        next[element] = count;
        log("next " + std::to_string(element) + "=" + std::to_string(count));
    }
    void showScore(const std::string& text) override {
        scoreCaption = text;
        log("score " + text);
    }
    void showCakeCount(const std::string& text) override {
        cakeCaption = text;
        log("cake " + text);
    }
    void setButtonEnabled(PlayButton button, bool on) override {
        static const char* const names[] = {"Start", "Left", "Right", "Turn"};
        enabled[static_cast<int>(button)] = on;
        log(std::string(names[static_cast<int>(button)]) + (on ? " on" : " off"));
    }
    void setTimerInterval(int milliseconds) override {
        timerInterval = milliseconds;
        log("interval " + std::to_string(milliseconds));
    }
    void setTimerEnabled(bool on) override {
        timerEnabled = on;
        log(on ? "timer on" : "timer off");
    }
    void playCue(const std::string& cue) override { log("cue " + cue); }
    void rankFinishedGame() override {
        log("rank");
        if (onRank) onRank();
    }

private:
    void log(std::string line) { events.push_back(std::move(line)); }
};

}  // namespace quillet::testing
