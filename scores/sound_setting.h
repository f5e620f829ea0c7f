#pragma once

#include <QtGlobal>

namespace quillet {

class ScoreStore;

// The player's sound switch, kept in the store's file beside the high-score
// table, as Sound=on or Sound=off under [Preferences].
// On unless the store holds exactly "off": a missing, damaged or hostile value
// (a list, a huge text, "OFF ", an @Variant) means on. Never writes.
bool loadSoundOn(const ScoreStore& store);
// Stores the switch under the same lock as the high-score saves, replacing the
// file atomically and keeping the table and every other key as they are.
// False on failure (one line on standard error); the file is then untouched.
bool saveSoundOn(const ScoreStore& store, bool on);

}  // namespace quillet
