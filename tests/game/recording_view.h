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
    std::string score_caption;
    std::string cake_caption;
    std::array<bool, 4> enabled{true, false, false, false};  // Start, Left, Right, Turn
    bool timer_enabled = false;
    int timer_interval = rules::LandingInterval;

    // Runs inside rankFinishedGame, after "rank" has been logged, so a test can
    // look at the game as the ranking sees it.
    std::function<void()> on_rank;

    bool IsEnabled(PlayButton button) const { return enabled[static_cast<int>(button)]; }

    void ShowCell(int index, int count) override {
        cells[index] = count;
        Log("cell " + std::to_string(index) + "=" + std::to_string(count));
    }
    void ShowNext(int element, int count) override {
        next[element] = count;
        Log("next " + std::to_string(element) + "=" + std::to_string(count));
    }
    void showScore(const std::string& text) override {
        score_caption = text;
        Log("score " + text);
    }
    void showCakeCount(const std::string& text) override {
        cake_caption = text;
        Log("cake " + text);
    }
    void SetButtonEnabled(PlayButton button, bool on) override {
        static const char* const kNames[] = {"Start", "Left", "Right", "Turn"};
        enabled[static_cast<int>(button)] = on;
        Log(std::string(kNames[static_cast<int>(button)]) + (on ? " on" : " off"));
    }
    void SetTimerInterval(int milliseconds) override {
        timer_interval = milliseconds;
        Log("interval " + std::to_string(milliseconds));
    }
    void SetTimerEnabled(bool on) override {
        timer_enabled = on;
        Log(on ? "timer on" : "timer off");
    }
    void playCue(const std::string& cue) override { Log("cue " + cue); }
    void rankFinishedGame() override {
        Log("rank");
        if (on_rank) on_rank();
    }

private:
    void Log(std::string line) { events.push_back(std::move(line)); }
};

}  // namespace quillet::testing
