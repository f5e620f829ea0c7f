#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillet {

// The keys and rules window (F1): every key of the key table, and the rules in
// a few lines, as plain text in the game's colours and font. Shown modally;
// Escape or Close closes it.
class KeysWindow : public QDialog {
    Q_OBJECT

public:
    explicit KeysWindow(QWidget* parent);

    // The rules as the window tells them, made from the game's own numbers.
    static QString rulesText();

    QLabel* keysLabel = nullptr;  // one line a command: its keys, then what it does
    QLabel* rulesLabel = nullptr;
    QPushButton* closeButton = nullptr;
};

}  // namespace quillet
