#pragma once

#include <array>

#include <QDialog>

#include "scores/high_score_table.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

class CuePlayer;
class LineWidget;
class ScoreStore;

// The high-score window: the five entries of the table and a Close button.
// Shown modally, either for viewing (every name box hidden) or for naming a
// new entry (the name box of its row visible). It exists only while it is
// open: each showing is a new window built afresh.
class Form2 : public QDialog {
    Q_OBJECT

public:
    Form2(HighScoreTable& table, const ScoreStore& store, CuePlayer& cues, QWidget* parent);

    // Refreshes all ten labels from the table. Any number of calls, before or
    // while the window is shown.
    void Set_Form();

    // "1st" to "5th".
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    std::array<QLabel*, 5> lbl_Nm{};
    std::array<QLineEdit*, 5> txt_Nm{};  // hidden until ranking shows one
    LineWidget* Line1 = nullptr;
    std::array<QLabel*, 5> lbl_Score{};
    QPushButton* cmd_Close = nullptr;

public slots:
    // Takes the text of every visible name box into the table, stores the whole
    // table, plays the click and closes the window.
    void cmd_Close_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    // Close is usable while the changed name box holds at least one character.
    void txt_Nm_Change(int index);

    HighScoreTable& table_;
    const ScoreStore& store_;
    CuePlayer& cues_;
};

}  // namespace quillet
