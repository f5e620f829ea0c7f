#include "ui/high_score_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QValidator>

#include "scores/score_book.h"
#include "sound/cue_player.h"
#include "ui/fonts.h"
#include "ui/held_keys.h"
#include "ui/layout.h"
#include "ui/line_widget.h"
#include "ui/narration.h"
#include "ui/window_style.h"

namespace quillet {

namespace hs = layout::high_score_window;

namespace {

// The beginning of `name` that its label shows, never half of a character
// that takes two UTF-16 units.
QString shownName(const QString& name) {
    qsizetype length = HighScoreWindow::ShownNameLength;
    if (name.size() <= length) return name;
    if (name.at(length - 1).isHighSurrogate()) --length;
    return name.left(length);
}

// Keeps a name box from holding half of a character. The box's length limit
// cuts a pasted text after so many UTF-16 units, which can fall between the
// two halves of an emoji; the half left over is dropped.
class WholeCharactersValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override {
        for (qsizetype i = 0; i < input.size();) {
            if (input.at(i).isHighSurrogate() && i + 1 < input.size() &&
                input.at(i + 1).isLowSurrogate()) {
                i += 2;
            } else if (input.at(i).isSurrogate()) {
                input.remove(i, 1);
                if (i < pos) --pos;
            } else {
                ++i;
            }
        }
        return Acceptable;
    }
};

}  // namespace

HighScoreWindow::HighScoreWindow(ScoreBook& scores, CuePlayer& cues, QWidget* parent)
    : QDialog(parent, fixedWindowFlags(Qt::Dialog)), m_scores(scores), m_cues(cues) {
    setWindowTitle(QStringLiteral("HighScore"));
    if (parent) setWindowIcon(parent->windowIcon());
    setFixedSize(hs::ClientWidth, hs::ClientHeight);
    fillBackground(this, layout::WindowGrey);
    centreOnScreen(this);

    const QFont captionFont = boldCaptionFont(layout::CaptionPointSize);
    static const char* const rankTexts[] = {"1st", "2nd", "3rd", "4th", "5th"};
    for (int i = 0; i < HighScoreRanks; ++i) {
        rankLabels[i] = makeLabel(this, hs::Rank[i], QString::fromLatin1(rankTexts[i]), captionFont,
                                  hs::RowColour[i]);
    }
    // A visible name box lies over the name label of its row, so it is made after it.
    for (int i = 0; i < HighScoreRanks; ++i) {
        nameLabels[i] =
            makeLabel(this, hs::name(i), QStringLiteral("1st"), captionFont, hs::RowColour[i]);
    }
    for (int i = 0; i < HighScoreRanks; ++i) {
        auto* box = new QLineEdit(this);
        setBox(box, hs::nameBox(i));
        // No longer than the table shows, and never half of a character.
        box->setMaxLength(ShownNameLength);
        box->setValidator(new WholeCharactersValidator(box));
        box->installEventFilter(this);
        box->hide();
        connect(box, &QLineEdit::textChanged, this, [this, i] { onNameEdited(i); });
        nameEdits[i] = box;
    }
    divider = new LineWidget(hs::LineX, hs::LineTop, hs::LineBottom, Qt::SolidLine, this);
    for (int i = 0; i < HighScoreRanks; ++i) {
        scoreLabels[i] =
            makeLabel(this, hs::score(i), QStringLiteral("1"), captionFont, hs::RowColour[i]);
        scoreLabels[i]->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    setBox(closeButton, hs::Close);
    closeButton->setFont(captionFont);
    // Neither Enter nor Escape may press Close.
    closeButton->setAutoDefault(false);
    closeButton->setDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &HighScoreWindow::storeAndClose);

    for (int i = 0; i + 1 < HighScoreRanks; ++i) setTabOrder(nameEdits[i], nameEdits[i + 1]);
    setTabOrder(nameEdits[HighScoreRanks - 1], closeButton);
    shareWindowColours(this, layout::WindowGrey);

    refresh();
}

QString HighScoreWindow::notStoredText() {
    return tr("The high scores could not be saved. Close tries again next time.");
}

void HighScoreWindow::refresh() {
    const HighScoreTable& table = m_scores.table();
    for (int i = 0; i < HighScoreRanks; ++i) {
        nameLabels[i]->setText(shownName(table.names[i]));
        scoreLabels[i]->setText(QString::number(table.scores[i]));
    }
    refreshAccessibleNames();
}

void HighScoreWindow::refreshAccessibleNames() {
    // The rank label reads the whole row, "1st, Ann, 5000", so that a reader
    // going down the window hears the table row by row. An empty name is left
    // out; so is the name under a visible name box, which the box replaces:
    // "4th, 3000", then "Name for the 4th place".
    for (int i = 0; i < HighScoreRanks; ++i) {
        const QString rank = rankLabels[i]->text();
        QStringList row{rank};
        if (!nameEdits[i]->isVisibleTo(this) && !nameLabels[i]->text().isEmpty()) {
            row << nameLabels[i]->text();
        }
        row << scoreLabels[i]->text();
        rankLabels[i]->setAccessibleName(Narration::shortList(row));
        nameEdits[i]->setAccessibleName(tr("Name for the %1 place").arg(rank));
        // Close is the next stop after the name box; Return does not press it.
        nameEdits[i]->setAccessibleDescription(Narration::namePrompt());
    }
}

void HighScoreWindow::onNameEdited(int index) {
    closeButton->setEnabled(!nameEdits[index]->text().isEmpty());
}

bool HighScoreWindow::takeTypedName() {
    // A name box is shown only for the game that has just been ranked, which
    // is this run's newest entry until it is stored.
    bool taken = false;
    for (QLineEdit* box : nameEdits) {
        if (box->isVisibleTo(this)) {
            m_scores.nameNewest(box->text());
            taken = true;
        }
    }
    return taken;
}

void HighScoreWindow::storeAndClose() {
    const bool ranked = takeTypedName();
    // In viewing as well: the entries another game stored meanwhile are kept,
    // and any entry of this run still unstored goes in with them.
    const bool stored = m_scores.save();
    m_storedOnClose = stored && ranked;
    refresh();
    m_cues.playAndWait("click");
    accept();
    // The table just shown holds entries the file does not: the player must
    // not take them for stored. They stay pending for the next Close.
    if (!stored) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), notStoredText(), QMessageBox::Ok,
                        parentWidget());
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
}

void HighScoreWindow::reject() {
    takeTypedName();
    QDialog::reject();
}

bool HighScoreWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // Naming begins: keys held down now were pressed for the game.
        m_namingFrom = HeldKeys::instance().nextHold();
    } else if (event->type() == QEvent::KeyPress &&
               HeldKeys::instance().holdOf(static_cast<const QKeyEvent*>(event)) < m_namingFrom) {
        // A repeat of a key held since before: the player still holds a key
        // of the game, such as S for the drop as the last pair landed.
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void HighScoreWindow::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Escape by default; this one closes only through Close
    // or its title bar.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void HighScoreWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Naming: the focus goes to the visible name box; viewing: to Close.
    for (QLineEdit* box : nameEdits) {
        if (box->isVisibleTo(this)) {
            box->setFocus();
            return;
        }
    }
    closeButton->setFocus();
}

}  // namespace quillet
