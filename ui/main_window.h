#pragma once

#include <array>

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include "game/game.h"
#include "game/game_view.h"
#include "scores/score_book.h"
#include "ui/key_table.h"
#include "ui/slice_pictures.h"
#include "ui/sound_switch.h"

class QAction;
class QLabel;
class QPushButton;
class QTimer;

namespace quillet {

class Commentary;
class CuePlayer;
class FallClock;
class HighScoreWindow;
class LineWidget;
class PauseCover;
class PlayerActions;
class RandomSource;
class Zoom;
class ScoreStore;
struct StoredSettings;

// The main window: the board, the next pair, the score and cake counters and
// the seven buttons. It holds no rules: the game reaches it through GameView,
// and each button and the fall timer hand their event to the game. The keys of
// the key table press the same buttons, and pause, switch the sound and open
// the keys and rules; a right click outside the buttons offers the last three.
class MainWindow : public QWidget, public GameView {
    Q_OBJECT

public:
    // Reads the high-score table and the sound switch from `store`, in one
    // read, builds every control and seeds `random` from the clock.
    MainWindow(CuePlayer& cues, const ScoreStore& store, RandomSource& random,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    Game& game() { return m_game; }
    const HighScoreTable& table() const { return m_scores.table(); }
    // The table with this run's entries that are not stored yet.
    const ScoreBook& scores() const { return m_scores; }
    // The high-score window while it exists (it is destroyed when it closes).
    HighScoreWindow* highScoreWindow() const;

    // The action behind `command`, with its keys: the window's shortcuts and
    // its menu use it.
    QAction* action(Command command) const;
    bool isPaused() const;
    bool isSoundOn() const { return m_cues.isOn(); }
    // The zoom of the game's windows, kept for the next run.
    Zoom& zoom() const { return *m_zoom; }

    // The controls, public so that the tests can press and read them.
    QLabel* boardPanel = nullptr;
    std::array<QLabel*, rules::CellCount> cellImages{};
    std::array<LineWidget*, rules::Columns - 1> columnLines{};  // dotted, between the columns
    QLabel* titleImage = nullptr;
    QLabel* nextCaption = nullptr;
    QLabel* nextPanel = nullptr;
    std::array<QLabel*, 2> nextImages{};
    QLabel* scoreCaption = nullptr;
    QLabel* scoreDisplay = nullptr;
    QLabel* cakeCaption = nullptr;
    QLabel* cakeDisplay = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* highScoreButton = nullptr;
    QPushButton* aboutButton = nullptr;
    QPushButton* endButton = nullptr;
    QPushButton* leftButton = nullptr;
    QPushButton* turnButton = nullptr;
    QPushButton* rightButton = nullptr;
    // The eight slice pictures, index 1 to 8 (0 unused: an empty cell shows no
    // picture). Cells and next-pair images share them. Plain pictures rather
    // than hidden labels, so that a screen reader finds nothing in the window
    // that the player cannot see.
    SlicePictures slicePictures;
    QTimer* fallTimer = nullptr;
    // Over the board while the game is paused, and only then.
    PauseCover* pauseCover = nullptr;

public slots:
    void moveLeft();
    void swapPieces();
    void moveRight();
    void start();
    void showHighScores();
    void showAbout();
    void endGame();
    void tick();
    // ↓: the next fall tick now, while a piece of the pair is still falling;
    // the timer then counts its interval afresh.
    void dropPair();
    // During a game only. The fall timer stops and keeps what was left of its
    // interval, so that a pause neither gains nor costs a tick; the board and
    // the next pair are covered; moves do nothing until the game resumes.
    void pause();
    void resume();
    void togglePause();
    // Switches every cue on or off and stores the choice for the next run.
    void setSoundOn(bool on);
    // The keys and rules window, modal. Opened during a game, it pauses it.
    void showKeysAndRules();

public:
    // GameView
    void showCell(int index, int count) override;
    void showNext(int element, int count) override;
    void showScore(const std::string& text) override;
    void showCakeCount(const std::string& text) override;
    void setButtonEnabled(PlayButton button, bool enabled) override;
    void setTimerInterval(int milliseconds) override;
    void setTimerEnabled(bool enabled) override;
    void playCue(const std::string& cue) override;
    void rankFinishedGame() override;
    void pieceMerged(int cell, int slices) override;

    // "ヌビロケーキ Ver." followed by major, ".", minor and revision: "Ver.1.10".
    static QString versionText(int major, int minor, int revision);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void buildActions();
    // The zoom's keys and menu, and the step kept from the last run.
    void buildZoom(int percent);
    // The menu's zoom entries: the chosen step checked, those that do not fit
    // disabled.
    void showZoomChoices();
    // The window's pictures at the screens' density: made again when the zoom
    // changes it.
    void showPictures();
    // From Start to game over; paused or not.
    bool isPlaying() const;
    void showCovered(bool covered);
    // The public constructor's work, from what `store` held when it was read.
    MainWindow(CuePlayer& cues, const ScoreStore& store, const StoredSettings& stored,
               RandomSource& random, QWidget* parent);
    // The high-score window, created (and loaded) on first reference.
    HighScoreWindow& ensureHighScoreWindow();
    // Shows `count` slices in a cell or next-pair image: the shared picture.
    void showPicture(QLabel* image, int count);
    void showCounter(QLabel* display, const std::string& text);

    const ScoreStore& m_store;
    // Every cue of both windows goes through the player's sound switch.
    SoundSwitch m_cues;
    RandomSource& m_random;
    ScoreBook m_scores;
    Game m_game;
    QPointer<HighScoreWindow> m_highScoreWindow;
    bool m_soundPrepared = false;
    FallClock* m_fallClock = nullptr;
    PlayerActions* m_actions = nullptr;
    // What a screen reader is told, while one listens.
    Commentary* m_commentary = nullptr;
    Zoom* m_zoom = nullptr;
};

}  // namespace quillet
