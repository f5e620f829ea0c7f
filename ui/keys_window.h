#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillet {

// The keys and rules window (F1): every key of the key table, and the rules in
// a few lines, as plain text in the game's colours and font. Shown modally;
// Escape or Close closes it. A button switches it to Japanese and back.
class KeysWindow : public QDialog {
    Q_OBJECT

public:
    explicit KeysWindow(QWidget* parent);

    // The rules as the window tells them, in English or in Japanese, made from
    // the game's own numbers.
    static QString rulesText(bool japanese);

    // The window opens in English; its language button switches.
    void showLanguage(bool japanese);

    QLabel* keysLabel = nullptr;  // what each command does, one line each
    QLabel* rulesLabel = nullptr;
    QPushButton* languageButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    QLabel* m_keyColumn = nullptr;  // the keys of each command, beside keysLabel
    QLabel* m_keysCaption = nullptr;
    QLabel* m_rulesCaption = nullptr;
    bool m_japanese = false;
};

}  // namespace quillet
