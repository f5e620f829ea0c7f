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

Commentary::Watch::Watch(Commentary* commentary, Cause cause)
    : m_commentary(commentary), m_cause(cause) {
    if (!commentary->m_listening) return;
    m_before = GameMoment::of(commentary->m_window.game());
    commentary->m_merges.clear();
    commentary->m_gameOverTold = false;
}

Commentary::Watch::~Watch() {
    if (m_before && m_commentary->m_listening) m_commentary->report(m_cause, *m_before);
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
    for (int i = 0; i < rules::CellCount; ++i) showCell(i, game.board[i]);
    for (int i = 0; i < 2; ++i) showNext(i, game.nextPair[i]);
    for (QLabel* counter : {m_window.scoreDisplay, m_window.cakeDisplay}) {
        showCounter(counter, counter->text().toStdString());
    }
}

namespace {
// Qt makes an accessibility event of every change of a name, so a name is
// set only when it changes.
void rename(QWidget* widget, const QString& name) {
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
}
}  // namespace

void Commentary::showCell(int index, int count) {
    if (m_listening) rename(m_window.cellImages[index], Narration::cellName(index, count));
}

void Commentary::showNext(int element, int count) {
    if (m_listening) rename(m_window.nextImages[element], Narration::nextName(element, count));
}

void Commentary::showCounter(QLabel* display, const std::string& text) {
    if (!m_listening) return;
    const QString value = QString::fromStdString(text);
    rename(display, display == m_window.scoreDisplay ? Narration::scoreName(value)
                                                     : Narration::cakesName(value));
}

void Commentary::pieceMerged(int cell, int slices) {
    if (m_listening) m_merges.push_back({cell, slices});
}

void Commentary::report(Cause cause, const GameMoment& before) {
    if (m_gameOverTold) return;
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
    m_announcer->say(position.isEmpty() ? events : events + QLatin1Char(' ') + position);
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
    nameBox->setAccessibleDescription(Narration::gameOver(m_window.game().score, rank) +
                                      QLatin1Char(' ') + Narration::namePrompt());
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
