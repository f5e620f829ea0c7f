#include "ui/key_table.h"

#include <algorithm>

namespace quillet {

const std::vector<KeyCommand>& keyTable() {
    // The arrows, with W, A, S and D for a player who keeps the left hand on
    // the keyboard. Start, HighScore and End take their buttons' place; P,
    // Pause, M and F1 are the keys desktop games use for these. The read-outs
    // speak through a screen reader.
    static const std::vector<KeyCommand> table{
        {Command::MoveLeft, QT_TRANSLATE_NOOP("KeyTable", "Move the pair left"), {Qt::Key_Left, Qt::Key_A}, true},
        {Command::MoveRight, QT_TRANSLATE_NOOP("KeyTable", "Move the pair right"), {Qt::Key_Right, Qt::Key_D},
         true},
        {Command::Turn, QT_TRANSLATE_NOOP("KeyTable", "Turn the pair (swap its pieces)"), {Qt::Key_Up, Qt::Key_W},
         true},
        {Command::Drop, QT_TRANSLATE_NOOP("KeyTable", "Bring the pair down a row"), {Qt::Key_Down, Qt::Key_S},
         true},
        {Command::Start, QT_TRANSLATE_NOOP("KeyTable", "Start a game"),
         {Qt::Key_F2, QKeySequence(Qt::CTRL | Qt::Key_N)}, false},
        {Command::HighScore, QT_TRANSLATE_NOOP("KeyTable", "High scores"), {QKeySequence(Qt::CTRL | Qt::Key_H)},
         false},
        {Command::End, QT_TRANSLATE_NOOP("KeyTable", "End the program"), {QKeySequence(Qt::CTRL | Qt::Key_Q)},
         false},
        {Command::Pause, QT_TRANSLATE_NOOP("KeyTable", "Pause or resume"), {Qt::Key_P, Qt::Key_Pause}, false},
        {Command::Sound, QT_TRANSLATE_NOOP("KeyTable", "Sound on or off"), {Qt::Key_M}, false},
        {Command::Help, QT_TRANSLATE_NOOP("KeyTable", "Keys and rules"), {Qt::Key_F1}, false},
        // The zoom keys of every desktop application, with Ctrl+= for the
        // keyboards where + needs Shift; F11 for full screen.
        {Command::ZoomIn, QT_TRANSLATE_NOOP("KeyTable", "Zoom in"),
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}, false},
        {Command::ZoomOut, QT_TRANSLATE_NOOP("KeyTable", "Zoom out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
         false},
        {Command::ZoomReset, QT_TRANSLATE_NOOP("KeyTable", "Zoom back to 100 %"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
         false},
        {Command::FullScreen, QT_TRANSLATE_NOOP("KeyTable", "Full screen on or off"), {Qt::Key_F11}, false},
        // For a screen reader's user: plain letters that neither the game nor
        // Orca takes (Orca's own keys go with Insert or Caps Lock, and the
        // keypad is its review).
        {Command::ReadRows, QT_TRANSLATE_NOOP("KeyTable", "Read the board row by row"), {Qt::Key_R}, false},
        {Command::ReadColumns, QT_TRANSLATE_NOOP("KeyTable", "Read the board column by column"), {Qt::Key_C}, false},
        {Command::ReadNext, QT_TRANSLATE_NOOP("KeyTable", "Read the next pair"), {Qt::Key_N}, false},
        {Command::ReadScore, QT_TRANSLATE_NOOP("KeyTable", "Read the score and the cakes"), {Qt::Key_I}, false},
        {Command::ReadPair, QT_TRANSLATE_NOOP("KeyTable", "Read where the falling pair is"), {Qt::Key_L}, false},
    };
    return table;
}

QString KeyCommand::name() const {
    return QCoreApplication::translate("KeyTable", sourceName);
}

const KeyCommand& keyCommand(Command command) {
    const std::vector<KeyCommand>& table = keyTable();
    return *std::find_if(table.begin(), table.end(),
                         [command](const KeyCommand& row) { return row.command == command; });
}

QString keyText(const QKeySequence& key) {
    if (key.count() == 1 && key[0].keyboardModifiers() == Qt::NoModifier) {
        switch (key[0].key()) {
            case Qt::Key_Left:
                return QStringLiteral("←");
            case Qt::Key_Right:
                return QStringLiteral("→");
            case Qt::Key_Up:
                return QStringLiteral("↑");
            case Qt::Key_Down:
                return QStringLiteral("↓");
            default:
                break;
        }
    }
    return key.toString(QKeySequence::NativeText);
}

}  // namespace quillet
