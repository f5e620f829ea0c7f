#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QAccessible>
#include <QObject>
#include <QPointer>

#include "ui/key_table.h"
#include "ui/narration.h"

class QLabel;
class QWidget;

namespace quillet {

class Announcer;
class MainWindow;

// Tells a player who cannot see the board what happens in the game, through
// the screen reader: the events as they happen, the board and the counters
// on demand, and names that carry what each cell and counter shows, for a
// reader's review of the window. While no screen reader listens it builds no
// message, renames nothing and sends nothing, so a tick costs what it always
// did.
class Commentary : public QObject, private QAccessible::ActivationObserver {
    Q_OBJECT

public:
    // What a watched handler did to the game.
    enum class Cause { Fall, Move };

    // Brackets one handler that may change the game: notes the game before,
    // and says what changed when it ends.
    class Watch {
    public:
        Watch(Commentary* commentary, Cause cause);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

    private:
        Commentary* m_commentary;
        Cause m_cause;
        std::optional<GameMoment> m_before;
    };

    explicit Commentary(MainWindow& window);
    ~Commentary() override;

    bool isListening() const { return m_listening; }
    Watch watch(Cause cause) { return Watch(this, cause); }

    // The window shows a new picture or counter value.
    void showCell(int index, int count);
    void showNext(int element, int count);
    void showCounter(QLabel* display, const std::string& text);

    // Reported by the rules in the middle of a tick.
    void pieceMerged(int cell, int slices);
    // Start is setting up a new game: the focus goes where Space and Return
    // press nothing, the board.
    void gameStarting();
    void pauseChanged(bool paused);
    // `rank` 0 to 4, or -1 for a game that did not enter the table. Only a game
    // that did not enter is spoken here; see promptForName.
    void gameOver(int rank);
    // The name box of the entry at `rank`, about to take the focus, says the
    // game over with the score and the place before its prompt: Orca drops a
    // notification that comes as the high-score window opens, but always
    // reads the focused box.
    void promptForName(QWidget* nameBox, int rank);
    // After the high-score window's Close stored the player's new entry.
    void scoreStored();
    // One of the read-out keys.
    void readOut(Command command);

    // The messages go here; null until a screen reader first listens.
    Announcer* announcer() const { return m_announcer; }

private:
    void accessibilityActiveChanged(bool active) override;
    void report(Cause cause, const GameMoment& before);
    void nameEverything();

    MainWindow& m_window;
    bool m_listening = false;
    Announcer* m_announcer = nullptr;
    QObject* m_keypadGuard = nullptr;
    std::vector<Merge> m_merges;
    // Set when a game over was told in the middle of the tick that ended it.
    bool m_gameOverTold = false;
};

}  // namespace quillet
