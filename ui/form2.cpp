#include "ui/form2.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "scores/score_store.h"
#include "sound/cue_player.h"
#include "ui/fonts.h"
#include "ui/layout.h"
#include "ui/line_widget.h"
#include "ui/window_style.h"

namespace quillet {

namespace hs = layout::high_score_window;

Form2::Form2(HighScoreTable& table, const ScoreStore& store, CuePlayer& cues, QWidget* parent)
    : QDialog(parent, FixedWindowFlags(Qt::Dialog)), table_(table), store_(store), cues_(cues) {
    setWindowTitle(QStringLiteral("HighScore"));
    if (parent) setWindowIcon(parent->windowIcon());
    setFixedSize(hs::ClientWidth, hs::ClientHeight);
    FillBackground(this, layout::WindowGrey);
    CentreOnScreen(this);

    const QFont captionFont = CaptionFont(layout::CaptionPointSize);
    static const char* const rankTexts[] = {"1st", "2nd", "3rd", "4th", "5th"};
    QLabel** const rankLabels[] = {&Label1, &Label2, &Label3, &Label4, &Label5};
    for (int i = 0; i < HighScoreRanks; ++i) {
        *rankLabels[i] = MakeLabel(this, hs::Rank[i], QString::fromLatin1(rankTexts[i]),
                                   captionFont, hs::RowColour[i]);
    }
    // A visible name box lies over the name label of its row, so it is made after it.
    for (int i = 0; i < HighScoreRanks; ++i) {
        lbl_Nm[i] =
            MakeLabel(this, hs::Name(i), QStringLiteral("1st"), captionFont, hs::RowColour[i]);
    }
    for (int i = 0; i < HighScoreRanks; ++i) {
        auto* box = new QLineEdit(this);
        SetBox(box, hs::NameBox(i));
        box->hide();
        connect(box, &QLineEdit::textChanged, this, [this, i] { txt_Nm_Change(i); });
        txt_Nm[i] = box;
    }
    Line1 = new LineWidget(hs::LineX, hs::LineTop, hs::LineBottom, Qt::SolidLine, this);
    for (int i = 0; i < HighScoreRanks; ++i) {
        lbl_Score[i] =
            MakeLabel(this, hs::Score(i), QStringLiteral("1"), captionFont, hs::RowColour[i]);
        lbl_Score[i]->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    cmd_Close = new QPushButton(QStringLiteral("Close"), this);
    SetBox(cmd_Close, hs::Close);
    cmd_Close->setFont(captionFont);
    // Neither Enter nor Escape may press Close.
    cmd_Close->setAutoDefault(false);
    cmd_Close->setDefault(false);
    connect(cmd_Close, &QPushButton::clicked, this, &Form2::cmd_Close_Click);

    for (int i = 0; i + 1 < HighScoreRanks; ++i) setTabOrder(txt_Nm[i], txt_Nm[i + 1]);
    setTabOrder(txt_Nm[HighScoreRanks - 1], cmd_Close);

    Form_Load();
}

void Form2::Form_Load() {
    Set_Form();
}

void Form2::Set_Form() {
    for (int i = 0; i < HighScoreRanks; ++i) {
        lbl_Nm[i]->setText(table_.Names[i]);
        lbl_Score[i]->setText(QString::number(table_.Scores[i]));
    }
}

void Form2::txt_Nm_Change(int index) {
    cmd_Close->setEnabled(!txt_Nm[index]->text().isEmpty());
}

void Form2::cmd_Close_Click() {
    for (int i = 0; i < HighScoreRanks; ++i) {
        if (txt_Nm[i]->isVisibleTo(this)) table_.Names[i] = txt_Nm[i]->text();
    }
    store_.SaveHighScores(table_);
    cues_.PlayCue("click");
    accept();
}

void Form2::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Escape by default; this one closes only through Close
    // or its title bar.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Naming: the focus goes to the visible name box; viewing: to Close.
    for (QLineEdit* box : txt_Nm) {
        if (box->isVisibleTo(this)) {
            box->setFocus();
            return;
        }
    }
    cmd_Close->setFocus();
}

}  // namespace quillet
