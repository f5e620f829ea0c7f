#include "ui/form1.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>

#include "game/random_source.h"
#include "scores/ranking.h"
#include "scores/score_store.h"
#include "sound/cue_player.h"
#include "ui/fonts.h"
#include "ui/form2.h"
#include "ui/line_widget.h"
#include "ui/pictures.h"
#include "ui/version.h"
#include "ui/window_style.h"

namespace quillet {

namespace mw = layout::main_window;

namespace {

// Before the first game the fall timer is stopped with this interval, so the
// first tick of the first game comes this long after Start.
constexpr int InitialTimerInterval = 100;

QPushButton* MakeButton(QWidget* parent, const layout::Box& box, const QString& text,
                        const QFont& font) {
    auto* button = new QPushButton(text, parent);
    SetBox(button, box);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

QPushButton* MakeMoveButton(QWidget* parent, const layout::Box& box, const QString& icon,
                            const QString& accessibleName) {
    auto* button = new QPushButton(parent);
    SetBox(button, box);
    button->setIcon(LoadIcon(icon));
    button->setIconSize(QSize(mw::MoveIconSize, mw::MoveIconSize));
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    button->setEnabled(false);
    return button;
}

// The style of the version message's button box: the application's own, less
// the stock icons on dialog buttons. Such an icon is decoded from the style's
// resources anew every time a box is built, and the version message may be
// opened in the middle of a game, where nothing is decoded.
class NoButtonIconsStyle : public QProxyStyle {
public:
    NoButtonIconsStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

Form1::Form1(CuePlayer& cues, const ScoreStore& store, RandomSource& random, QWidget* parent)
    : QWidget(parent, FixedWindowFlags(Qt::Window)),
      cues_(cues),
      store_(store),
      random_(random),
      game_(*this, random) {
    BuildControls();
    Form_Load();
}

Form1::~Form1() = default;

Form2* Form1::highScoreWindow() const {
    return form2_.data();
}

void Form1::BuildControls() {
    setWindowTitle(QStringLiteral("ヌビロケーキ"));
    setWindowIcon(LoadIcon(QStringLiteral("icon")));
    setFixedSize(mw::ClientWidth, mw::ClientHeight);
    FillBackground(this, layout::WindowGrey);

    const QFont captionFont = CaptionFont(layout::CaptionPointSize);
    const QFont counterFont = CaptionFont(layout::CounterPointSize);

    // Creation order is stacking order: later siblings lie in front. So the
    // board panel comes first, then the cells (higher index in front), then the
    // dotted lines, and the buttons last of all.
    Label1 = MakePanel(this, mw::BoardPanel, layout::PanelGrey);
    for (int i = 0; i < rules::CellCount; ++i) {
        img_Cell[i] = new QLabel(this);
        SetBox(img_Cell[i], mw::Cell(i));
    }
    for (std::size_t i = 0; i < Lines.size(); ++i) {
        Lines[i] = new LineWidget(mw::ColumnLineX[i], mw::ColumnLineTop, mw::ColumnLineBottom,
                                  Qt::DotLine, this);
    }

    Image1 = new QLabel(this);
    SetBox(Image1, mw::Title);
    Image1->setPixmap(LoadPicture(QStringLiteral("title")));
    Label3 = MakeLabel(this, mw::NextCaption, QStringLiteral("NEXT"), captionFont, layout::Blue);
    Label2 = MakePanel(this, mw::NextPanel, layout::PanelGrey);
    for (int i = 0; i < 2; ++i) {
        img_Next[i] = new QLabel(this);
        SetBox(img_Next[i], mw::Next[i]);
    }
    Label4 = MakeLabel(this, mw::ScoreCaption, QStringLiteral("SCORE"), captionFont, layout::Green);
    lbl_Score = MakeLabel(this, mw::Score, QString(), counterFont, layout::Yellow);
    Label5 = MakeLabel(this, mw::CakeCaption, QStringLiteral("CAKE"), captionFont, layout::Pink);
    lbl_Cake = MakeLabel(this, mw::Cake, QString(), counterFont, layout::Yellow);
    for (QLabel* counter : {lbl_Score, lbl_Cake}) {
        FillBackground(counter, layout::Black);
        counter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        counter->setLineWidth(1);
        counter->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }

    for (int n = 1; n <= rules::WholeCake; ++n) {
        img_Cake[n] = new QLabel(this);
        img_Cake[n]->setGeometry(mw::HiddenPicturesLeft, 0, mw::CellSize, mw::CellSize);
        img_Cake[n]->setPixmap(LoadPicture(QStringLiteral("cake%1").arg(n)));
        img_Cake[n]->hide();
    }

    cmd_Start = MakeButton(this, mw::Start, QStringLiteral("Start"), captionFont);
    cmd_Score = MakeButton(this, mw::HighScore, QStringLiteral("HighScore"), captionFont);
    cmd_About = MakeButton(this, mw::About, QStringLiteral("About"), captionFont);
    cmd_End = MakeButton(this, mw::End, QStringLiteral("End"), captionFont);
    cmd_Left = MakeMoveButton(this, mw::Left, QStringLiteral("left"), QStringLiteral("Left"));
    cmd_Turn = MakeMoveButton(this, mw::Turn, QStringLiteral("turn"), QStringLiteral("Turn"));
    cmd_Turn->setToolTip(QStringLiteral("左右反転"));
    cmd_Right = MakeMoveButton(this, mw::Right, QStringLiteral("right"), QStringLiteral("Right"));

    setTabOrder(cmd_Left, cmd_Turn);
    setTabOrder(cmd_Turn, cmd_Right);
    setTabOrder(cmd_Right, cmd_Start);
    setTabOrder(cmd_Start, cmd_Score);
    setTabOrder(cmd_Score, cmd_About);
    setTabOrder(cmd_About, cmd_End);
    cmd_Start->setFocus();

    timer_Fall = new QTimer(this);
    timer_Fall->setTimerType(Qt::PreciseTimer);
    timer_Fall->setInterval(InitialTimerInterval);

    connect(cmd_Left, &QPushButton::clicked, this, &Form1::cmd_Left_Click);
    connect(cmd_Turn, &QPushButton::clicked, this, &Form1::cmd_Turn_Click);
    connect(cmd_Right, &QPushButton::clicked, this, &Form1::cmd_Right_Click);
    connect(cmd_Start, &QPushButton::clicked, this, &Form1::cmd_Start_Click);
    connect(cmd_Score, &QPushButton::clicked, this, &Form1::cmd_Score_Click);
    connect(cmd_About, &QPushButton::clicked, this, &Form1::cmd_About_Click);
    connect(cmd_End, &QPushButton::clicked, this, &Form1::cmd_End_Click);
    connect(timer_Fall, &QTimer::timeout, this, &Form1::timer_Fall_Timer);

    CentreOnScreen(this);
}

void Form1::Form_Load() {
    random_.SeedFromClock();
    store_.LoadHighScores(table_);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The sound system is made ready once the window is on screen, on the
    // player's own thread, so that it neither delays the window's first
    // showing nor makes the first cue wait.
    if (!soundPrepared_) {
        soundPrepared_ = true;
        QTimer::singleShot(0, this, [this] { cues_.Prepare(); });
    }
}

void Form1::cmd_Left_Click() {
    game_.cmd_Left_Click();
}
void Form1::cmd_Turn_Click() {
    game_.cmd_Turn_Click();
}
void Form1::cmd_Right_Click() {
    game_.cmd_Right_Click();
}
void Form1::cmd_Start_Click() {
    game_.cmd_Start_Click();
}
void Form1::timer_Fall_Timer() {
    game_.timer_Fall_Timer();
}

void Form1::cmd_Score_Click() {
    Form2& window = HighScoreWindow();
    window.Set_Form();
    cues_.PlayCue("click");
    window.exec();
}

QString Form1::VersionText(int major, int minor, int revision) {
    // No dot between minor and revision: version 1.1, revision 0 reads "1.10".
    return QStringLiteral("ヌビロケーキ Ver.%1.%2%3").arg(major).arg(minor).arg(revision);
}

void Form1::cmd_About_Click() {
    const int major = version::Major;
    const int minor = version::Minor;
    const int revision = version::Revision;
    cues_.PlayCue("click");
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"),
                    VersionText(major, minor, revision), QMessageBox::NoButton, this);
    // The OK button is added once the button box has the style without icons.
    if (!aboutButtonsStyle_) aboutButtonsStyle_ = std::make_unique<NoButtonIconsStyle>();
    if (auto* buttons = box.findChild<QDialogButtonBox*>()) {
        buttons->setStyle(aboutButtonsStyle_.get());
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void Form1::cmd_End_Click() {
    cues_.PlayCue("click");
    close();
}

Form2& Form1::HighScoreWindow() {
    if (!form2_) {
        form2_ = new Form2(table_, store_, cues_, this);
        // Closed by Close or by its title bar, the window is gone: the next
        // reference builds a new one from the layout.
        connect(form2_, &QDialog::finished, this, [this] {
            Form2* closed = form2_;
            form2_ = nullptr;
            closed->deleteLater();
        });
    }
    return *form2_;
}

void Form1::CheckHighScore() {
    const int rank = RankFor(table_, game_.Score);
    if (rank < 0) return;
    MakeRoom(table_, rank);
    Form2& window = HighScoreWindow();
    // The name of the new entry stays as it was until the player presses Close.
    window.txt_Nm[rank]->show();
    table_.Scores[rank] = game_.Score;
    window.Set_Form();
    cues_.PlayCueAsync("claps");
    if (window.isVisible()) {
        // The game ended while the player was viewing the table: the open window
        // now shows the new entry and its name box; it is not shown twice.
        window.txt_Nm[rank]->setFocus();
        return;
    }
    window.exec();
}

void Form1::ShowPicture(QLabel* image, int count) {
    if (count == 0) {
        image->clear();
    } else {
        image->setPixmap(img_Cake[count]->pixmap());
    }
}

void Form1::ShowCell(int index, int count) {
    ShowPicture(img_Cell[index], count);
}
void Form1::ShowNext(int element, int count) {
    ShowPicture(img_Next[element], count);
}

void Form1::SetScoreCaption(const std::string& text) {
    lbl_Score->setText(QString::fromStdString(text));
}

void Form1::SetCakeCaption(const std::string& text) {
    lbl_Cake->setText(QString::fromStdString(text));
}

void Form1::SetButtonEnabled(PlayButton button, bool enabled) {
    switch (button) {
        case PlayButton::Start:
            cmd_Start->setEnabled(enabled);
            break;
        case PlayButton::Left:
            cmd_Left->setEnabled(enabled);
            break;
        case PlayButton::Right:
            cmd_Right->setEnabled(enabled);
            break;
        case PlayButton::Turn:
            cmd_Turn->setEnabled(enabled);
            break;
    }
}

void Form1::SetTimerInterval(int milliseconds) {
    timer_Fall->setInterval(milliseconds);
}

void Form1::SetTimerEnabled(bool enabled) {
    if (enabled) {
        timer_Fall->start();
    } else {
        timer_Fall->stop();
    }
}

void Form1::PlayCueAsync(const std::string& cue) {
    cues_.PlayCueAsync(cue);
}

}  // namespace quillet
