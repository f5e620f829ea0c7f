#pragma once

#include <vector>

#include <QKeySequence>
#include <QList>
#include <QCoreApplication>
#include <QString>

namespace quillet {

// What the player can do from the keyboard of the main window.
enum class Command {
    MoveLeft,
    MoveRight,
    Turn,
    Drop,
    Start,
    HighScore,
    End,
    Pause,
    Sound,
    Help,
    // The windows drawn larger or smaller, a step at a time, or at 100 %.
    ZoomIn,
    ZoomOut,
    ZoomReset,
    FullScreen,
    // Read out through a screen reader; nothing happens without one.
    ReadRows,
    ReadColumns,
    ReadNext,
    ReadScore,
    ReadPair,
};

struct KeyCommand {
    Command command;
    // How the keys window and the main window's menu name it, untranslated:
    // name() gives it in the player's language.
    const char* sourceName;
    // The first key is the one the menu shows beside the name.
    QList<QKeySequence> keys;
    // A held key repeats the command at the desktop's repeat rate: the moves
    // and the drop do, a switch such as pause or sound does not.
    bool repeats;

    QString name() const;
};

// The one table of keys. The main window's shortcuts, its menu, the keys and
// rules window and the tests all read it, so a key is named in one place.
const std::vector<KeyCommand>& keyTable();
const KeyCommand& keyCommand(Command command);

// A key as a player reads it: the arrows as arrows, "Ctrl+Q", "F1".
QString keyText(const QKeySequence& key);

}  // namespace quillet
