#pragma once

#include <array>

namespace quillet {

class ScoreStore;

// The zoom steps the player can choose, in percent of the board's own size,
// smallest first. The store keeps the chosen one as its number in plain text,
// Zoom=150 under [Preferences], beside the sound switch.
constexpr std::array<int, 6> ZoomSteps = {100, 125, 150, 200, 250, 300};

// The stored zoom step. 100 unless the store holds exactly the number of a
// step: a missing, damaged or hostile value (a list, a huge text, "175",
// "\"200 \"", an @Variant) means 100. Never writes.
int loadZoomPercent(const ScoreStore& store);
// Stores the zoom step under the same lock as the high-score saves, replacing
// the file atomically and keeping the table, the switch and every other key
// as they are. False on failure (one line on standard error); the file is
// then untouched. A percent that is not a step would not read back as stored,
// so it fails like any other save that does not read back.
bool saveZoomPercent(const ScoreStore& store, int percent);

}  // namespace quillet
