#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "game/random_source.h"
#include "scores/score_store.h"
#include "scores/sound_setting.h"
#include "sound/cue_player.h"
#include "ui/commentary.h"
#include "ui/fall_clock.h"
#include "ui/held_keys.h"
#include "ui/high_score_window.h"
#include "ui/keys_window.h"
#include "ui/pause_cover.h"
#include "ui/player_actions.h"
#include "ui/version.h"
#include "ui/version_message.h"
#include "ui/window_style.h"
#include "ui/zoom.h"

namespace quillet {

namespace mw = layout::main_window;

MainWindow::MainWindow(CuePlayer& cues, const ScoreStore& store, RandomSource& random,
                       QWidget* parent)
    : MainWindow(cues, store, store.read(), random, parent) {}

MainWindow::MainWindow(CuePlayer& cues, const ScoreStore& store, const StoredSettings& stored,
                       RandomSource& random, QWidget* parent)
    : QWidget(parent, fixedWindowFlags(Qt::Window)),
      m_store(store),
      m_cues(cues, stored.soundOn),
      m_random(random),
      m_scores(store, stored.table),
      m_game(*this, random) {
    // Watching from now: a key held as a game ends is known for one held
    // from before the naming window.
    HeldKeys::instance();
    buildControls();
    buildActions();
    buildZoom(stored.zoomPercent);
    m_random.seedFromClock();
    m_commentary = new Commentary(*this);
    // Another application took the keyboard focus: the player has looked away.
    // The game's own windows keep the application active, so the About box and
    // the high-score window still leave the game going underneath.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) pause();
            });
}

MainWindow::~MainWindow() = default;

HighScoreWindow* MainWindow::highScoreWindow() const {
    return m_highScoreWindow.data();
}

void MainWindow::buildActions() {
    m_actions = new PlayerActions(this);
    // A key presses its button, which does nothing while it is disabled.
    m_actions->pressWith(Command::MoveLeft, leftButton);
    m_actions->pressWith(Command::MoveRight, rightButton);
    m_actions->pressWith(Command::Turn, turnButton);
    m_actions->pressWith(Command::Start, startButton);
    m_actions->pressWith(Command::HighScore, highScoreButton);
    m_actions->pressWith(Command::End, endButton);
    connect(action(Command::Drop), &QAction::triggered, this, &MainWindow::dropPair);
    connect(action(Command::Pause), &QAction::triggered, this, &MainWindow::togglePause);
    connect(action(Command::Help), &QAction::triggered, this, &MainWindow::showKeysAndRules);
    for (Command readOut : {Command::ReadRows, Command::ReadColumns, Command::ReadNext,
                            Command::ReadScore, Command::ReadPair}) {
        connect(action(readOut), &QAction::triggered, this,
                [this, readOut] { m_commentary->readOut(readOut); });
    }
    action(Command::Pause)->setEnabled(false);
    action(Command::Sound)->setChecked(m_cues.isOn());
    connect(action(Command::Sound), &QAction::toggled, this, &MainWindow::setSoundOn);
}

QAction* MainWindow::action(Command command) const {
    return m_actions->action(command);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The sound system is made ready once the window is on screen and has
    // been drawn, on the player's own thread, so that loading the sound
    // library neither delays the window's mapping (the library loader's
    // lock is shared with Qt's own plugins) nor makes the first cue wait;
    // the slice pictures are made then too, so that the first Start finds
    // them ready.
    if (!m_soundPrepared) {
        m_soundPrepared = true;
        QTimer::singleShot(0, this, [this] {
            m_cues.prepare();
            slicePictures.decodeAll();
        });
    }
}

void MainWindow::moveLeft() {
    if (isPaused()) return;
    const auto told = m_commentary->watch(Commentary::Cause::Move);
    m_game.moveLeft();
}
void MainWindow::swapPieces() {
    if (isPaused()) return;
    const auto told = m_commentary->watch(Commentary::Cause::Move);
    m_game.swapPieces();
}
void MainWindow::moveRight() {
    if (isPaused()) return;
    const auto told = m_commentary->watch(Commentary::Cause::Move);
    m_game.moveRight();
}
void MainWindow::start() {
    // The focus leaves Start before Start is disabled, so that it does not
    // stop on HighScore on its way to the board.
    m_commentary->gameStarting();
    m_game.start();
}
void MainWindow::tick() {
    if (isPaused()) return;
    const auto told = m_commentary->watch(Commentary::Cause::Fall);
    m_game.tick();
}

bool MainWindow::isPaused() const {
    return m_fallClock->isPaused();
}

void MainWindow::dropPair() {
    if (isPaused() || !isPlaying() || !m_game.isPairFalling()) return;
    // Counted afresh from this tick, which may itself set a new interval.
    m_fallClock->restart();
    const auto told = m_commentary->watch(Commentary::Cause::Fall);
    m_game.tick();
}

bool MainWindow::isPlaying() const {
    // Start is disabled exactly from Start to game over.
    return !startButton->isEnabled();
}

void MainWindow::pause() {
    // From Start to game over the fall timer always runs.
    if (isPaused() || !isPlaying()) return;
    m_fallClock->pause();
    showCovered(true);
    m_commentary->pauseChanged(true);
}

void MainWindow::resume() {
    if (!isPaused()) return;
    showCovered(false);
    m_fallClock->resume();
    m_commentary->pauseChanged(false);
}

void MainWindow::togglePause() {
    if (isPaused()) {
        resume();
    } else {
        pause();
    }
}

void MainWindow::showCovered(bool covered) {
    // The pieces are hidden, not only covered, so that a screen reader finds
    // none of them either; the next-pair panel then shows empty.
    for (QLabel* cell : cellImages) cell->setVisible(!covered);
    for (QLabel* next : nextImages) next->setVisible(!covered);
    if (covered) {
        // Made last, so in front of the dotted lines; it overlaps no button.
        // It exists only while the game is paused: a hidden widget would
        // still be found by a screen reader.
        pauseCover = new PauseCover(this, m_zoom->placed(mw::BoardPanel));
        connect(pauseCover, &PauseCover::clicked, this, &MainWindow::resume);
        pauseCover->show();
    } else {
        // The click that resumes may come from the cover itself.
        pauseCover->hide();
        pauseCover->deleteLater();
        pauseCover = nullptr;
    }
    m_actions->showPaused(covered);
}

void MainWindow::setSoundOn(bool on) {
    if (on == m_cues.isOn()) return;
    m_cues.setOn(on);
    action(Command::Sound)->setChecked(on);
    // A store that cannot take it says so on standard error; the switch holds
    // for this run all the same.
    saveSoundOn(m_store, on);
}

void MainWindow::showKeysAndRules() {
    pause();
    KeysWindow window(this);
    window.exec();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) pause();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The buttons have no menu of their own; the rest of the window offers
    // the commands a player may not know the keys of.
    if (qobject_cast<QAbstractButton*>(childAt(event->pos()))) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    showZoomChoices();
    m_actions->fillMenu(menu);
    menu.exec(event->globalPos());
}

void MainWindow::showHighScores() {
    // Another game may have stored new scores since this one last looked.
    m_scores.reload();
    HighScoreWindow& window = ensureHighScoreWindow();
    window.refresh();
    m_cues.playAndWait("click");
    window.exec();
    // A game that ended while the table was open was ranked into this window.
    if (window.storedOnClose()) m_commentary->scoreStored();
}

QString MainWindow::versionText(int major, int minor, int revision) {
    // No dot between minor and revision: version 1.1, revision 0 reads "1.10".
    return QStringLiteral("ヌビロケーキ Ver.%1.%2%3").arg(major).arg(minor).arg(revision);
}

void MainWindow::showAbout() {
    const int major = version::Major;
    const int minor = version::Minor;
    const int revision = version::Revision;
    m_cues.playAndWait("click");
    showVersionMessage(this, versionText(major, minor, revision));
}

void MainWindow::endGame() {
    m_cues.playAndWait("click");
    close();
}

HighScoreWindow& MainWindow::ensureHighScoreWindow() {
    if (!m_highScoreWindow) {
        m_highScoreWindow = new HighScoreWindow(m_scores, m_cues, this);
        // Closed by Close or by its title bar, the window is gone: the next
        // reference builds a new one from the layout.
        connect(m_highScoreWindow, &QDialog::finished, this, [this] {
            HighScoreWindow* closed = m_highScoreWindow;
            m_highScoreWindow = nullptr;
            closed->deleteLater();
        });
    }
    return *m_highScoreWindow;
}

void MainWindow::rankFinishedGame() {
    // Ranked against the table as stored now, which another game may have
    // changed since this one started. The new entry's name is empty until the
    // player types one.
    const int rank = m_scores.enter(m_game.score);
    m_commentary->gameOver(rank);
    if (rank < 0) return;
    HighScoreWindow& window = ensureHighScoreWindow();
    window.nameEdits[rank]->show();
    window.refresh();
    m_commentary->promptForName(window.nameEdits[rank], rank);
    m_cues.play("claps");
    if (window.isVisible()) {
        // The game ended while the player was viewing the table: the open window
        // now shows the new entry and its name box; it is not shown twice.
        window.nameEdits[rank]->setFocus();
        return;
    }
    window.exec();
    if (window.storedOnClose()) m_commentary->scoreStored();
}

void MainWindow::pieceMerged(int cell, int slices) {
    m_commentary->pieceMerged(cell, slices);
}

void MainWindow::showPicture(QLabel* image, int count) {
    if (count == 0) {
        image->clear();
    } else {
        image->setPixmap(slicePictures[count]);
    }
}

void MainWindow::showCell(int index, int count) {
    showPicture(cellImages[index], count);
    m_commentary->showCell(index, count);
}
void MainWindow::showNext(int element, int count) {
    showPicture(nextImages[element], count);
    m_commentary->showNext(element, count);
}

void MainWindow::showCounter(QLabel* display, const std::string& text) {
    display->setText(QString::fromStdString(text));
    m_commentary->showCounter(display, text);
}

void MainWindow::showScore(const std::string& text) {
    showCounter(scoreDisplay, text);
}

void MainWindow::showCakeCount(const std::string& text) {
    showCounter(cakeDisplay, text);
}

void MainWindow::setButtonEnabled(PlayButton button, bool enabled) {
    switch (button) {
        case PlayButton::Start:
            startButton->setEnabled(enabled);
            action(Command::Pause)->setEnabled(!enabled);
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

void MainWindow::setTimerInterval(int milliseconds) {
    fallTimer->setInterval(milliseconds);
}

void MainWindow::setTimerEnabled(bool enabled) {
    if (enabled) {
        fallTimer->start();
    } else {
        fallTimer->stop();
    }
}

void MainWindow::playCue(const std::string& cue) {
    m_cues.play(cue);
}

}  // namespace quillet
