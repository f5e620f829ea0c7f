#include "ui/key_table.h"

#include <algorithm>

namespace quillet {

const std::vector<KeyCommand>& keyTable() {
    // The arrows, with W, A, S and D for a player who keeps the left hand on
    // the keyboard. Start, HighScore and End take their buttons' place; P,
    // Pause, M and F1 are the keys desktop games use for these. The read-outs
    // speak through a screen reader.
    static const std::vector<KeyCommand> table{
        {Command::MoveLeft, QStringLiteral("Move the pair left"),
         QStringLiteral("ペアを左へ動かす"), {Qt::Key_Left, Qt::Key_A}, true},
        {Command::MoveRight, QStringLiteral("Move the pair right"),
         QStringLiteral("ペアを右へ動かす"), {Qt::Key_Right, Qt::Key_D},
         true},
        {Command::Turn, QStringLiteral("Turn the pair (swap its pieces)"),
         QStringLiteral("ペアを左右反転する"), {Qt::Key_Up, Qt::Key_W},
         true},
        {Command::Drop, QStringLiteral("Bring the pair down a row"),
         QStringLiteral("ペアを1段下ろす"), {Qt::Key_Down, Qt::Key_S},
         true},
        {Command::Start, QStringLiteral("Start a game"),
         QStringLiteral("ゲームを始める"),
         {Qt::Key_F2, QKeySequence(Qt::CTRL | Qt::Key_N)}, false},
        {Command::HighScore, QStringLiteral("High scores"),
         QStringLiteral("ハイスコア"), {QKeySequence(Qt::CTRL | Qt::Key_H)},
         false},
        {Command::End, QStringLiteral("End the program"),
         QStringLiteral("終了する"), {QKeySequence(Qt::CTRL | Qt::Key_Q)},
         false},
        {Command::Pause, QStringLiteral("Pause or resume"),
         QStringLiteral("一時停止・再開"), {Qt::Key_P, Qt::Key_Pause}, false},
        {Command::Sound, QStringLiteral("Sound on or off"),
         QStringLiteral("音のオン・オフ"), {Qt::Key_M}, false},
        {Command::Help, QStringLiteral("Keys and rules"),
         QStringLiteral("キーとルール"), {Qt::Key_F1}, false},
        // For a screen reader's user: plain letters that neither the game nor
        // Orca takes (Orca's own keys go with Insert or Caps Lock, and the
        // keypad is its review).
        {Command::ReadRows, QStringLiteral("Read the board row by row"),
         QStringLiteral("盤を行ごとに読み上げる"), {Qt::Key_R}, false},
        {Command::ReadColumns, QStringLiteral("Read the board column by column"),
         QStringLiteral("盤を列ごとに読み上げる"), {Qt::Key_C}, false},
        {Command::ReadNext, QStringLiteral("Read the next pair"),
         QStringLiteral("次のペアを読み上げる"), {Qt::Key_N}, false},
        {Command::ReadScore, QStringLiteral("Read the score and the cakes"),
         QStringLiteral("スコアとケーキ数を読み上げる"), {Qt::Key_I}, false},
        {Command::ReadPair, QStringLiteral("Read where the falling pair is"),
         QStringLiteral("落ちているペアの位置を読み上げる"), {Qt::Key_L}, false},
    };
    return table;
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
