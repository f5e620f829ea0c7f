#pragma once

#include <array>
#include <utility>

#include <QString>
#include <QtGlobal>

#include "scores/high_score_table.h"

namespace quillet {

// What the game keeps in its store: the high-score table, the sound switch
// and the zoom step.
struct StoredSettings {
    HighScoreTable table;
    bool soundOn = true;
    int zoomPercent = 100;  // one of ZoomSteps (zoom_setting.h)
};

// The twelve keys the game owns in the store's file, in this order:
// HScore_Nm_0 ... HScore_Nm_4 (the names by rank) and HScore_Val_0 ...
// HScore_Val_4 (the scores) under [Setting], Sound and Zoom under
// [Preferences].
constexpr int StoreKeyCount = 2 * HighScoreRanks + 2;
constexpr int SoundKey = 2 * HighScoreRanks;
constexpr int ZoomKey = SoundKey + 1;

struct GameKey {
    int section;   // 0 [Setting], 1 [Preferences]
    QString name;  // within its section
    QString path;  // in the part of the file before any section: "Setting/HScore_Nm_0"
};
extern const QString StoreSections[2];
const std::array<GameKey, StoreKeyCount>& gameKeys();

// Which of the game's keys a save sets: the table's ten, the switch, or the
// zoom; as the range [first, last) of the keys.
enum class StoreKeys { Table, Sound, Zoom };
std::pair<int, int> keyRange(StoreKeys keys);

// What each key reads as, in the text the game writes for it, from its value
// in QSettings' form (`text`, and whether it is plain text rather than a list
// or one of Qt's forms). A name takes any form; a score, the switch and the
// zoom read only from plain text, and are null otherwise. settingsOf reads a
// null (missing) name as empty, a null score as 0, the switch as on unless
// "off", the zoom as 100 unless a step.
QString readingOf(int key, const QString& text, bool plainText);
std::array<QString, StoreKeyCount> textsOf(const StoredSettings& settings);
StoredSettings settingsOf(const std::array<QString, StoreKeyCount>& readings);

// A score is an optional minus sign and decimal digits, nothing else, within
// the signed 32-bit range; anything else reads as 0. Leading zeros are
// accepted ("007" is 7); a plus sign, blanks, exponents and hex are not ("+5",
// " 5", "1e3" and "0x10" all read as 0).
qint32 parseStoredScore(const QString& text);
// `name` as the store keeps it: each lone half of a surrogate pair, which the
// file's UTF-8 cannot hold, replaced by U+FFFD, and U+FEFF left out;
// everything else as it is.
QString storableName(const QString& name);
// The table as it will read back once stored: its names storable.
HighScoreTable storableTable(HighScoreTable table);

}  // namespace quillet
