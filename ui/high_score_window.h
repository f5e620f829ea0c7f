#pragma once

#include <array>

#include <QDialog>
#include <QString>

#include "scores/high_score_table.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

class CuePlayer;
class LineWidget;
class ScoreBook;

// The high-score window: the five entries of the table and a Close button.
// Shown modally, either for viewing (every name box hidden) or for naming a
// new entry (the name box of its row visible). It exists only while it is
// open: each showing is a new window built afresh.
class HighScoreWindow : public QDialog {
    Q_OBJECT

public:
    HighScoreWindow(ScoreBook& scores, CuePlayer& cues, QWidget* parent);

    // The most characters of a name that its label shows, and a screen reader
    // reads: far more than the label has room for, but a name of millions (a
    // hand-edited store) would take hundreds of megabytes to lay out.
    // The name box takes no more than this either.
    static constexpr int ShownNameLength = 200;

    // What the player is told, after Close, when the table could not be stored.
    static QString notStoredText();

    // Refreshes all ten labels from the table. Any number of calls, before or
    // while the window is shown.
    void refresh();

    // Whether Close, when it last closed this window, stored the score of a
    // game just ranked, its name typed in the window: not a table only viewed.
    bool storedOnClose() const { return m_storedOnClose; }

    std::array<QLabel*, HighScoreRanks> rankLabels{};  // "1st" to "5th"
    std::array<QLabel*, HighScoreRanks> nameLabels{};
    std::array<QLineEdit*, HighScoreRanks> nameEdits{};  // hidden until ranking shows one
    LineWidget* divider = nullptr;
    std::array<QLabel*, HighScoreRanks> scoreLabels{};
    QPushButton* closeButton = nullptr;

public slots:
    // Takes the text of the visible name box as the new entry's name, stores
    // this run's new entries merged into the table as stored now, shows the
    // result, plays the click and closes the window. A failed save keeps the
    // entries for the next Close and says so in a message box once the window
    // has closed.
    void storeAndClose();
    // Closing without Close (the title bar): stores nothing, but the new entry
    // keeps the name typed so far.
    void reject() override;

protected:
    // Keeps out of the name boxes the repeats of a key held from before the
    // window opened: S held as the last pair lands would type "sssss".
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Close is usable while the changed name box holds at least one character.
    void onNameEdited(int index);
    // The text of the visible name box, if any, becomes the new entry's name.
    // Whether there was one: the window shows a game just ranked.
    bool takeTypedName();
    // What a screen reader says of each row and of its name box.
    void refreshAccessibleNames();

    ScoreBook& m_scores;
    CuePlayer& m_cues;
    bool m_storedOnClose = false;
    // The number of the first key hold that began after a name box showed.
    quint64 m_namingFrom = 0;
};

}  // namespace quillet
