#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillet {

// The keys and rules window (F1): every key of the key table, and the rules in
// a few lines, as plain text in the game's colours and font, in the player's
// language. Shown modally; Escape or Close closes it.
class KeysWindow : public QDialog {
    Q_OBJECT

public:
    explicit KeysWindow(QWidget* parent);

    // The rules as the window tells them, made from the game's own numbers.
    static QString rulesText();

    QLabel* keysLabel = nullptr;  // what each command does, one line each
    QLabel* rulesLabel = nullptr;
    QPushButton* closeButton = nullptr;

private:
    QLabel* m_keyColumn = nullptr;  // the keys of each command, beside keysLabel
};

}  // namespace quillet
