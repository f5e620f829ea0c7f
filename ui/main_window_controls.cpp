// The main window's controls: every widget in its place, its picture, its
// font and what a screen reader calls it, and the buttons wired to the game.
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui/fall_clock.h"
#include "ui/fonts.h"
#include "ui/line_widget.h"
#include "ui/main_window.h"
#include "ui/narration.h"
#include "ui/pictures.h"
#include "ui/window_style.h"

namespace quillet {

namespace mw = layout::main_window;

namespace {

// Before the first game the fall timer is stopped with this interval, so the
// first tick of the first game comes this long after Start.
constexpr int InitialTimerInterval = 100;

QPushButton* makeButton(QWidget* parent, const layout::Box& box, const QString& text,
                        const QFont& font) {
    auto* button = new QPushButton(text, parent);
    setBox(button, box);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

QPushButton* makeMoveButton(QWidget* parent, const layout::Box& box,
                            const QString& accessibleName) {
    auto* button = new QPushButton(parent);
    setBox(button, box);
    button->setIconSize(QSize(mw::MoveIconSize, mw::MoveIconSize));
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    button->setEnabled(false);
    return button;
}

}  // namespace

void MainWindow::buildControls() {
    setWindowTitle(QStringLiteral("ヌビロケーキ"));
    setFixedSize(mw::ClientWidth, mw::ClientHeight);
    fillBackground(this, layout::WindowGrey);

    const QFont captionFont = boldCaptionFont(layout::CaptionPointSize);
    const QFont counterFont = boldCaptionFont(layout::CounterPointSize);

    // Creation order is stacking order: later siblings lie in front. So the
    // board panel comes first, then the cells (higher index in front), then the
    // dotted lines, and the buttons last of all.
    boardPanel = makePanel(this, mw::BoardPanel, layout::PanelGrey);
    boardPanel->setAccessibleName(Narration::tr("Board"));
    boardPanel->setAccessibleDescription(Narration::boardHelp());
    for (int i = 0; i < rules::CellCount; ++i) {
        cellImages[i] = new QLabel(this);
        setBox(cellImages[i], mw::cell(i));
        // A screen reader's review reads the name: where the cell is and what
        // it holds, "Row 2, column 3, 4 slices".
        cellImages[i]->setAccessibleName(Narration::cellName(i, 0));
    }
    for (std::size_t i = 0; i < columnLines.size(); ++i) {
        columnLines[i] = new LineWidget(mw::ColumnLineX[i], mw::ColumnLineTop, mw::ColumnLineBottom,
                                        Qt::DotLine, this);
    }

    titleImage = new QLabel(this);
    setBox(titleImage, mw::Title);
    titleImage->setAccessibleName(QStringLiteral("ヌビロケーキ"));
    nextCaption =
        makeLabel(this, mw::NextCaption, QStringLiteral("NEXT"), captionFont, layout::Blue);
    nextPanel = makePanel(this, mw::NextPanel, layout::PanelGrey);
    // Each image of the next pair reads its own piece, as a cell does:
    // "Next, left, 2 slices", "Next, right, 5 slices".
    nextPanel->setAccessibleName(Narration::tr("Next"));
    for (int i = 0; i < 2; ++i) {
        nextImages[i] = new QLabel(this);
        setBox(nextImages[i], mw::Next[i]);
        nextImages[i]->setAccessibleName(Narration::nextName(i, 0));
    }
    scoreCaption =
        makeLabel(this, mw::ScoreCaption, QStringLiteral("SCORE"), captionFont, layout::Green);
    scoreDisplay = makeLabel(this, mw::Score, QString(), counterFont, layout::Yellow);
    cakeCaption =
        makeLabel(this, mw::CakeCaption, QStringLiteral("CAKE"), captionFont, layout::Pink);
    cakeDisplay = makeLabel(this, mw::Cake, QString(), counterFont, layout::Yellow);
    // A label with a name of its own no longer reads out its text, so the
    // counters' names carry their values: "Score 4100".
    scoreDisplay->setAccessibleName(Narration::scoreName(QString()));
    cakeDisplay->setAccessibleName(Narration::cakesName(QString()));
    for (QLabel* counter : {scoreDisplay, cakeDisplay}) {
        fillBackground(counter, layout::Black, layout::Yellow);
        counter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        counter->setLineWidth(1);
        counter->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }

    startButton = makeButton(this, mw::Start, QStringLiteral("Start"), captionFont);
    highScoreButton = makeButton(this, mw::HighScore, QStringLiteral("HighScore"), captionFont);
    aboutButton = makeButton(this, mw::About, QStringLiteral("About"), captionFont);
    endButton = makeButton(this, mw::End, QStringLiteral("End"), captionFont);
    leftButton = makeMoveButton(this, mw::Left, tr("Left"));
    turnButton = makeMoveButton(this, mw::Turn, tr("Turn"));
    turnButton->setToolTip(QStringLiteral("左右反転"));
    rightButton = makeMoveButton(this, mw::Right, tr("Right"));

    showPictures();

    setTabOrder(leftButton, turnButton);
    setTabOrder(turnButton, rightButton);
    setTabOrder(rightButton, startButton);
    setTabOrder(startButton, highScoreButton);
    setTabOrder(highScoreButton, aboutButton);
    setTabOrder(aboutButton, endButton);
    startButton->setFocus();

    m_fallClock = new FallClock(this);
    fallTimer = m_fallClock->timer();
    fallTimer->setInterval(InitialTimerInterval);

    connect(leftButton, &QPushButton::clicked, this, &MainWindow::moveLeft);
    connect(turnButton, &QPushButton::clicked, this, &MainWindow::swapPieces);
    connect(rightButton, &QPushButton::clicked, this, &MainWindow::moveRight);
    connect(startButton, &QPushButton::clicked, this, &MainWindow::start);
    connect(highScoreButton, &QPushButton::clicked, this, &MainWindow::showHighScores);
    connect(aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);
    connect(endButton, &QPushButton::clicked, this, &MainWindow::endGame);
    connect(m_fallClock, &FallClock::ticked, this, &MainWindow::tick);

    shareWindowColours(this, layout::WindowGrey);
    centreOnScreen(this);
}

void MainWindow::showPictures() {
    setWindowIcon(loadIcon(QStringLiteral("icon")));
    titleImage->setPixmap(loadPicture(QStringLiteral("title")));
    leftButton->setIcon(loadIcon(QStringLiteral("left")));
    turnButton->setIcon(loadIcon(QStringLiteral("turn")));
    rightButton->setIcon(loadIcon(QStringLiteral("right")));
}

}  // namespace quillet
