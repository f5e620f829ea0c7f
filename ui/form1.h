#pragma once

#include <array>
#include <memory>

#include <QPointer>
#include <QWidget>

#include "game/game.h"
#include "game/game_view.h"
#include "scores/high_score_table.h"

class QLabel;
class QPushButton;
class QStyle;
class QTimer;

namespace quillet {

class CuePlayer;
class Form2;
class LineWidget;
class RandomSource;
class ScoreStore;

// The main window: the board, the next pair, the score and cake counters and
// the seven buttons. It holds no rules: the game reaches it through GameView,
// and each button and the fall timer hand their event to the game.
class Form1 : public QWidget, public GameView {
    Q_OBJECT

public:
    // Builds every control and runs Form_Load: seeds `random` from the clock,
    // then loads the high-score table from `store`.
    Form1(CuePlayer& cues, const ScoreStore& store, RandomSource& random,
          QWidget* parent = nullptr);
    ~Form1() override;

    Game& game() { return game_; }
    HighScoreTable& table() { return table_; }
    // The high-score window while it exists (it is destroyed when it closes).
    Form2* highScoreWindow() const;

    // The controls, by the names the rules speak of.
    QLabel* Label1 = nullptr;  // board panel
    std::array<QLabel*, rules::CellCount> img_Cell{};
    std::array<LineWidget*, 3> Lines{};  // Line1 to Line3: column borders
    QLabel* Image1 = nullptr;            // title picture
    QLabel* Label3 = nullptr;            // "NEXT"
    QLabel* Label2 = nullptr;            // next-pair panel
    std::array<QLabel*, 2> img_Next{};
    QLabel* Label4 = nullptr;  // "SCORE"
    QLabel* lbl_Score = nullptr;
    QLabel* Label5 = nullptr;  // "CAKE"
    QLabel* lbl_Cake = nullptr;
    QPushButton* cmd_Start = nullptr;
    QPushButton* cmd_Score = nullptr;
    QPushButton* cmd_About = nullptr;
    QPushButton* cmd_End = nullptr;
    QPushButton* cmd_Left = nullptr;
    QPushButton* cmd_Turn = nullptr;
    QPushButton* cmd_Right = nullptr;
    // Hidden holders of the eight slice pictures, index 1 to 8 (0 unused: an
    // empty cell shows no picture). Cells and next-pair images share them.
    std::array<QLabel*, rules::WholeCake + 1> img_Cake{};
    QTimer* timer_Fall = nullptr;

public slots:
    void cmd_Left_Click();
    void cmd_Turn_Click();
    void cmd_Right_Click();
    void cmd_Start_Click();
    void cmd_Score_Click();
    void cmd_About_Click();
    void cmd_End_Click();
    void timer_Fall_Timer();

public:
    // GameView
    void ShowCell(int index, int count) override;
    void ShowNext(int element, int count) override;
    void SetScoreCaption(const std::string& text) override;
    void SetCakeCaption(const std::string& text) override;
    void SetButtonEnabled(PlayButton button, bool enabled) override;
    void SetTimerInterval(int milliseconds) override;
    void SetTimerEnabled(bool enabled) override;
    void PlayCueAsync(const std::string& cue) override;
    void CheckHighScore() override;

    // "ヌビロケーキ Ver." followed by major, ".", minor and revision: "Ver.1.10".
    static QString VersionText(int major, int minor, int revision);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void Form_Load();
    // The high-score window, created (and loaded) on first reference.
    Form2& HighScoreWindow();
    void ShowPicture(QLabel* image, int count);

    CuePlayer& cues_;
    const ScoreStore& store_;
    RandomSource& random_;
    HighScoreTable table_;
    Game game_;
    QPointer<Form2> form2_;
    bool soundPrepared_ = false;
    // The style of the version message's buttons, made at its first showing.
    std::unique_ptr<QStyle> aboutButtonsStyle_;
};

}  // namespace quillet
