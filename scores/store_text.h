#pragma once

#include <array>

#include <QByteArray>
#include <QString>

#include "scores/high_score_table.h"

namespace quillet {

// What the game keeps in its store: the high-score table, the sound switch
// and the zoom step.
struct StoredSettings {
    HighScoreTable table;
    bool soundOn = true;
    int zoomPercent = 100;  // one of ZoomSteps (zoom_setting.h)
};

// The store's file is an INI file in the form Qt's QSettings reads and
// writes, which older versions of the game used. The game owns twelve keys in
// it: HScore_Nm_0 ... HScore_Nm_4 and HScore_Val_0 ... HScore_Val_4 under
// [Setting], and Sound and Zoom under [Preferences]. These are found by the rules
// QSettings reads the file by, and only their values are ever decoded. A save
// rewrites the lines of the keys whose value changes, adds those missing
// where QSettings would write them, and keeps every other byte: comments,
// blank lines, other sections and keys, values in Qt's binary form.

// Which of the game's keys a save sets: the table's ten, the switch, or the zoom.
enum class StoreKeys { Table, Sound, Zoom };

constexpr int StoreKeyCount = 2 * HighScoreRanks + 2;
// Keys 0-4 are the names by rank, 5-9 the scores by rank, 10 the switch, 11
// the zoom step.
constexpr int SoundKey = 2 * HighScoreRanks;
constexpr int ZoomKey = SoundKey + 1;

// Where each of the game's keys stands in the file, and how it reads.
struct StoreText {
    QByteArray bytes;
    StoredSettings settings;  // missing keys read as the empty name, 0 and on

    // The line whose value QSettings reads for each key: the last one in its
    // section, a line of [Setting] or [Preferences] winning over one of the
    // section before any header (or [General]). A line whose value, or an
    // item of it, starts with "@Variant(" or "@DateTime(" (Qt's binary form,
    // which the game never decodes) is not the key's.
    struct KeyLine {
        bool found = false;
        bool plainText = false;    // the value reads as one text, not a list or Qt's forms
        qsizetype valueStart = 0;  // just after the '='
        qsizetype valueEnd = 0;    // before the blanks, comment or line break that end the line
    };
    std::array<KeyLine, StoreKeyCount> lines;
    // Where a missing key is added: after the line before it in its
    // section's keys in name order (QSettings writes keys sorted), or, with
    // no section of its name, as a new section before the first section whose
    // name sorts after it; -1 for the end of the file.
    std::array<qsizetype, StoreKeyCount> addAt{};
    std::array<bool, 2> sectionFound{};  // [Setting], [Preferences]
};

// Reads `bytes` (the store, or as much of it as is read) as QSettings does.
StoreText readStoreText(const QByteArray& bytes);

// `text.bytes` with the `keys` set to `wanted` (names already storable, see
// storableName): only the keys that are missing or read otherwise are
// rewritten or added, in the form QSettings writes them.
QByteArray withSettings(const StoreText& text, const StoredSettings& wanted, StoreKeys keys);

// Whether each of the `keys` is in `text` and reads as `wanted`: a score and
// the switch as plain text, as the game writes them.
bool holdsSettings(const StoreText& text, const StoredSettings& wanted, StoreKeys keys);

}  // namespace quillet
