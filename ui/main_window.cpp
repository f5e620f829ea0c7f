#include "ui/main_window.h"

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
#include "ui/high_score_window.h"
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

MainWindow::MainWindow(CuePlayer& cues, const ScoreStore& store, RandomSource& random, QWidget* parent)
    : QWidget(parent, FixedWindowFlags(Qt::Window)),
      cues_(cues),
      store_(store),
      random_(random),
      game_(*this, random) {
    BuildControls();
    seedAndLoadScores();
}

MainWindow::~MainWindow() = default;

HighScoreWindow* MainWindow::highScoreWindow() const {
    return highScoreWindow_.data();
}

void MainWindow::BuildControls() {
    setWindowTitle(QStringLiteral("ヌビロケーキ"));
    setWindowIcon(LoadIcon(QStringLiteral("icon")));
    setFixedSize(mw::ClientWidth, mw::ClientHeight);
    FillBackground(this, layout::WindowGrey);

    const QFont captionFont = CaptionFont(layout::CaptionPointSize);
    const QFont counterFont = CaptionFont(layout::CounterPointSize);

    // Creation order is stacking order: later siblings lie in front. So the
    // board panel comes first, then the cells (higher index in front), then the
    // dotted lines, and the buttons last of all.
    boardPanel = MakePanel(this, mw::BoardPanel, layout::PanelGrey);
    for (int i = 0; i < rules::CellCount; ++i) {
        cellImages[i] = new QLabel(this);
        SetBox(cellImages[i], mw::Cell(i));
    }
    for (std::size_t i = 0; i < columnLines.size(); ++i) {
        columnLines[i] = new LineWidget(mw::ColumnLineX[i], mw::ColumnLineTop, mw::ColumnLineBottom,
                                  Qt::DotLine, this);
    }

    titleImage = new QLabel(this);
    SetBox(titleImage, mw::Title);
    titleImage->setPixmap(LoadPicture(QStringLiteral("title")));
    nextCaption = MakeLabel(this, mw::NextCaption, QStringLiteral("NEXT"), captionFont, layout::Blue);
    nextPanel = MakePanel(this, mw::NextPanel, layout::PanelGrey);
    for (int i = 0; i < 2; ++i) {
        nextImages[i] = new QLabel(this);
        SetBox(nextImages[i], mw::Next[i]);
    }
    scoreCaption = MakeLabel(this, mw::ScoreCaption, QStringLiteral("SCORE"), captionFont, layout::Green);
    scoreDisplay = MakeLabel(this, mw::Score, QString(), counterFont, layout::Yellow);
    cakeCaption = MakeLabel(this, mw::CakeCaption, QStringLiteral("CAKE"), captionFont, layout::Pink);
    cakeDisplay = MakeLabel(this, mw::Cake, QString(), counterFont, layout::Yellow);
    for (QLabel* counter : {scoreDisplay, cakeDisplay}) {
        FillBackground(counter, layout::Black);
        counter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        counter->setLineWidth(1);
        counter->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }

    for (int n = 1; n <= rules::WholeCake; ++n) {
        slicePictures[n] = new QLabel(this);
        slicePictures[n]->setGeometry(mw::HiddenPicturesLeft, 0, mw::CellSize, mw::CellSize);
        slicePictures[n]->setPixmap(LoadPicture(QStringLiteral("cake%1").arg(n)));
        slicePictures[n]->hide();
    }

    startButton = MakeButton(this, mw::Start, QStringLiteral("Start"), captionFont);
    highScoreButton = MakeButton(this, mw::HighScore, QStringLiteral("HighScore"), captionFont);
    aboutButton = MakeButton(this, mw::About, QStringLiteral("About"), captionFont);
    endButton = MakeButton(this, mw::End, QStringLiteral("End"), captionFont);
    leftButton = MakeMoveButton(this, mw::Left, QStringLiteral("left"), QStringLiteral("Left"));
    turnButton = MakeMoveButton(this, mw::Turn, QStringLiteral("turn"), QStringLiteral("Turn"));
    turnButton->setToolTip(QStringLiteral("左右反転"));
    rightButton = MakeMoveButton(this, mw::Right, QStringLiteral("right"), QStringLiteral("Right"));

    setTabOrder(leftButton, turnButton);
    setTabOrder(turnButton, rightButton);
    setTabOrder(rightButton, startButton);
    setTabOrder(startButton, highScoreButton);
    setTabOrder(highScoreButton, aboutButton);
    setTabOrder(aboutButton, endButton);
    startButton->setFocus();

    fallTimer = new QTimer(this);
    fallTimer->setTimerType(Qt::PreciseTimer);
    fallTimer->setInterval(InitialTimerInterval);

    connect(leftButton, &QPushButton::clicked, this, &MainWindow::moveLeft);
    connect(turnButton, &QPushButton::clicked, this, &MainWindow::swapPieces);
    connect(rightButton, &QPushButton::clicked, this, &MainWindow::moveRight);
    connect(startButton, &QPushButton::clicked, this, &MainWindow::start);
    connect(highScoreButton, &QPushButton::clicked, this, &MainWindow::showHighScores);
    connect(aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);
    connect(endButton, &QPushButton::clicked, this, &MainWindow::endGame);
    connect(fallTimer, &QTimer::timeout, this, &MainWindow::tick);

    CentreOnScreen(this);
}

void MainWindow::seedAndLoadScores() {
    random_.SeedFromClock();
    store_.load(table_);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The sound system is made ready once the window is on screen, on the
    // player's own thread, so that it neither delays the window's first
    // showing nor makes the first cue wait.
    if (!soundPrepared_) {
        soundPrepared_ = true;
        QTimer::singleShot(0, this, [this] { cues_.Prepare(); });
    }
}

void MainWindow::moveLeft() {
    game_.moveLeft();
}
void MainWindow::swapPieces() {
    game_.swapPieces();
}
void MainWindow::moveRight() {
    game_.moveRight();
}
void MainWindow::start() {
    game_.start();
}
void MainWindow::tick() {
    game_.tick();
}

void MainWindow::showHighScores() {
    HighScoreWindow& window = ensureHighScoreWindow();
    window.refresh();
    cues_.playAndWait("click");
    window.exec();
}

QString MainWindow::VersionText(int major, int minor, int revision) {
    // No dot between minor and revision: version 1.1, revision 0 reads "1.10".
    return QStringLiteral("ヌビロケーキ Ver.%1.%2%3").arg(major).arg(minor).arg(revision);
}

void MainWindow::showAbout() {
    const int major = version::Major;
    const int minor = version::Minor;
    const int revision = version::Revision;
    cues_.playAndWait("click");
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

void MainWindow::endGame() {
    cues_.playAndWait("click");
    close();
}

HighScoreWindow& MainWindow::ensureHighScoreWindow() {
    if (!highScoreWindow_) {
        highScoreWindow_ = new HighScoreWindow(table_, store_, cues_, this);
        // Closed by Close or by its title bar, the window is gone: the next
        // reference builds a new one from the layout.
        connect(highScoreWindow_, &QDialog::finished, this, [this] {
            HighScoreWindow* closed = highScoreWindow_;
            highScoreWindow_ = nullptr;
            closed->deleteLater();
        });
    }
    return *highScoreWindow_;
}

void MainWindow::rankFinishedGame() {
    const int rank = RankFor(table_, game_.Score);
    if (rank < 0) return;
    MakeRoom(table_, rank);
    HighScoreWindow& window = ensureHighScoreWindow();
    // The name of the new entry stays as it was until the player presses Close.
    window.nameEdits[rank]->show();
    table_.Scores[rank] = game_.Score;
    window.refresh();
    cues_.play("claps");
    if (window.isVisible()) {
        // The game ended while the player was viewing the table: the open window
        // now shows the new entry and its name box; it is not shown twice.
        window.nameEdits[rank]->setFocus();
        return;
    }
    window.exec();
}

void MainWindow::ShowPicture(QLabel* image, int count) {
    if (count == 0) {
        image->clear();
    } else {
        image->setPixmap(slicePictures[count]->pixmap());
    }
}

void MainWindow::ShowCell(int index, int count) {
    ShowPicture(cellImages[index], count);
}
void MainWindow::ShowNext(int element, int count) {
    ShowPicture(nextImages[element], count);
}

void MainWindow::showScore(const std::string& text) {
    scoreDisplay->setText(QString::fromStdString(text));
}

void MainWindow::showCakeCount(const std::string& text) {
    cakeDisplay->setText(QString::fromStdString(text));
}

void MainWindow::SetButtonEnabled(PlayButton button, bool enabled) {
    switch (button) {
        case PlayButton::Start:
            startButton->setEnabled(enabled);
            break;
        case PlayButton::Left:
            leftButton->setEnabled(enabled);
            break;
        case PlayButton::Right:
            rightButton->setEnabled(enabled);
            break;
        case PlayButton::Turn:
            turnButton->setEnabled(enabled);
            break;
    }
}

void MainWindow::SetTimerInterval(int milliseconds) {
    fallTimer->setInterval(milliseconds);
}

void MainWindow::SetTimerEnabled(bool enabled) {
    if (enabled) {
        fallTimer->start();
    } else {
        fallTimer->stop();
    }
}

void MainWindow::playCue(const std::string& cue) {
    cues_.play(cue);
}

}  // namespace quillet
