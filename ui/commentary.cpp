#include "ui/commentary.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

#include "ui/announcer.h"
#include "ui/main_window.h"

namespace quillet {

namespace {

// The keypad is the screen reader's: Orca reviews the window with it. Qt
// would still match a keypad arrow to the game's arrow keys, so while a
// reader listens a keypad key reaches no shortcut of the game, and no widget
// of the main window (where an arrow would move the focus). A dialog's text
// box still takes the keypad's digits.
class KeypadGuard : public QObject {
public:
    KeypadGuard(QWidget* window, QObject* parent) : QObject(parent), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress &&
            type != QEvent::KeyRelease) {
            return false;
        }
        if (!(static_cast<QKeyEvent*>(event)->modifiers() & Qt::KeypadModifier)) return false;
        if (type == QEvent::ShortcutOverride) {
            // Taken as the focused widget's own key: no shortcut fires.
            event->accept();
            return true;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && widget->window() == m_window;
    }

private:
    QWidget* m_window;
};

}  // namespace

void Commentary::begin(std::optional<GameMoment>& before) {
    before = GameMoment::of(m_window.game());
    m_merges.clear();
    m_gameOverTold = false;
}

Commentary::Commentary(MainWindow& window) : QObject(&window), m_window(window) {
    QAccessible::installActivationObserver(this);
    if (QAccessible::isActive()) accessibilityActiveChanged(true);
}

Commentary::~Commentary() {
    QAccessible::removeActivationObserver(this);
}

void Commentary::accessibilityActiveChanged(bool active) {
    if (active == m_listening) return;
    m_listening = active;
    if (!active) {
        delete m_keypadGuard;
        m_keypadGuard = nullptr;
        m_window.boardPanel->setFocusPolicy(Qt::NoFocus);
        return;
    }
    if (!m_announcer) m_announcer = new Announcer(&m_window);
    m_keypadGuard = new KeypadGuard(&m_window, this);
    qApp->installEventFilter(m_keypadGuard);
    // The board takes the focus after Start, and reads the pair there.
    m_window.boardPanel->setFocusPolicy(Qt::StrongFocus);
    // A reader that starts in the middle of a game is told the window as it
    // is now: between two handlers the pictures show what the game holds.
    nameEverything();
}

void Commentary::nameEverything() {
    const Game& game = m_window.game();
    for (int i = 0; i < rules::CellCount; ++i) nameCell(i, game.board[i]);
    for (int i = 0; i < 2; ++i) nameNext(i, game.nextPair[i]);
    for (QLabel* counter : {m_window.scoreDisplay, m_window.cakeDisplay}) {
        nameCounter(counter, counter->text().toStdString());
    }
}

namespace {
// Qt makes an accessibility event of every change of a name, so a name is
// set only when it changes.
void rename(QWidget* widget, const QString& name) {
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
}
}  // namespace

void Commentary::nameCell(int index, int count) {
    rename(m_window.cellImages[index], Narration::cellName(index, count));
}

void Commentary::nameNext(int element, int count) {
    rename(m_window.nextImages[element], Narration::nextName(element, count));
}

void Commentary::nameCounter(QLabel* display, const std::string& text) {
    const QString value = QString::fromStdString(text);
    rename(display, display == m_window.scoreDisplay ? Narration::scoreName(value)
                                                     : Narration::cakesName(value));
}

void Commentary::report(Cause cause, const GameMoment& before) {
    // A reader that stopped in the middle of the handler hears nothing more.
    if (m_gameOverTold || !m_listening) return;
    const GameMoment after = GameMoment::of(m_window.game());
    const bool entered = before.fallingCell(0) < 0 && before.fallingCell(1) < 0 &&
                         after.fallingCell(0) >= 0 && after.fallingCell(1) >= 0;
    if (entered) {
        m_announcer->say(Narration::newPair(after));
        return;
    }
    const QString events =
        cause == Cause::Fall ? Narration::tickEvents(before, after, m_merges) : QString();
    const QString position = Narration::pairPosition(after);
    if (events.isEmpty()) {
        // A move or a fall of one row: only where the pair is now, which the
        // next move may replace before it is spoken.
        if (!position.isEmpty()) m_announcer->sayPosition(position);
        return;
    }
    m_announcer->say(position.isEmpty() ? events : Narration::sentences({events, position}));
}

void Commentary::gameStarting() {
    if (m_listening) m_window.boardPanel->setFocus(Qt::OtherFocusReason);
}

void Commentary::pauseChanged(bool paused) {
    if (m_listening) m_announcer->say(paused ? Narration::paused() : Narration::resumed());
}

void Commentary::gameOver(int rank) {
    if (!m_listening) return;
    m_gameOverTold = true;
    if (rank < 0) m_announcer->say(Narration::gameOver(m_window.game().score, rank));
}

void Commentary::promptForName(QWidget* nameBox, int rank) {
    if (!m_listening) return;
    nameBox->setAccessibleDescription(Narration::sentences(
        {Narration::gameOver(m_window.game().score, rank), Narration::namePrompt()}));
}

void Commentary::scoreStored() {
    if (m_listening) m_announcer->say(Narration::scoreStored());
}

void Commentary::readOut(Command command) {
    if (!m_listening) return;
    const GameMoment now = GameMoment::of(m_window.game());
    const bool started = now.nextPair[0] != 0;
    // The counters stay in view during a pause; the board and the next pair
    // are hidden from every player.
    const bool hidden = m_window.isPaused() && command != Command::ReadScore;
    QString message;
    if (hidden) {
        message = Narration::paused();
    } else if (!started) {
        message = Narration::noGameYet();
    } else {
        switch (command) {
            case Command::ReadRows:
                message = Narration::boardByRows(now);
                break;
            case Command::ReadColumns:
                message = Narration::boardByColumns(now);
                break;
            case Command::ReadNext:
                message = Narration::next(now);
                break;
            case Command::ReadScore:
                message = Narration::scoreAndCakes(now);
                break;
            case Command::ReadPair:
                message = Narration::pair(now);
                break;
            default:
                return;
        }
    }
    m_announcer->say(message);
}

}  // namespace quillet
