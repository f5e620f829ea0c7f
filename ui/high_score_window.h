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
class HighScoreWindow : public QDialog {
    Q_OBJECT

public:
    HighScoreWindow(HighScoreTable& table, const ScoreStore& store, CuePlayer& cues,
                    QWidget* parent);

    // Refreshes all ten labels from the table. Any number of calls, before or
    // while the window is shown.
    void refresh();

    std::array<QLabel*, HighScoreRanks> rankLabels{};  // "1st" to "5th"
    std::array<QLabel*, HighScoreRanks> nameLabels{};
    std::array<QLineEdit*, HighScoreRanks> nameEdits{};  // hidden until ranking shows one
    LineWidget* divider = nullptr;
    std::array<QLabel*, HighScoreRanks> scoreLabels{};
    QPushButton* closeButton = nullptr;

public slots:
    // Takes the text of every visible name box into the table, stores the whole
    // table, plays the click and closes the window.
    void storeAndClose();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Close is usable while the changed name box holds at least one character.
    void onNameEdited(int index);
    // What a screen reader says of each row and of its name box.
    void refreshAccessibleNames();

    HighScoreTable& m_table;
    const ScoreStore& m_store;
    CuePlayer& m_cues;
};

}  // namespace quillet
