#pragma once

#include <optional>

#include <QObject>

class QTimer;

namespace quillet {

// The fall timer, with a pause that neither gains nor costs a tick: paused, it
// keeps what was left of its interval; resumed, it runs that out first and
// then goes on at its interval again.
class FallClock : public QObject {
    Q_OBJECT

public:
    explicit FallClock(QObject* parent);

    // The timer itself: the game sets its interval and starts and stops it.
    QTimer* timer() const { return m_timer; }
    bool isPaused() const { return m_paused; }

    // Does nothing unless the timer runs.
    void pause();
    // Does nothing unless paused.
    void resume();
    // The next tick comes one whole interval from now.
    void restart();

signals:
    void ticked();

private:
    // Puts the interval back once the time left at the pause has run out.
    void restoreInterval();

    QTimer* m_timer;
    bool m_paused = false;
    int m_timeLeft = 0;
    std::optional<int> m_intervalAfterResume;
};

}  // namespace quillet
