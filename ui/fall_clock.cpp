#include "ui/fall_clock.h"

#include <algorithm>

#include <QTimer>

namespace quillet {

FallClock::FallClock(QObject* parent) : QObject(parent), m_timer(new QTimer(this)) {
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] {
        restoreInterval();
        emit ticked();
    });
}

void FallClock::pause() {
    if (m_paused || !m_timer->isActive()) return;
    m_paused = true;
    m_timeLeft = std::max(0, m_timer->remainingTime());
    // Paused again before the first tick after a resume: the interval to put
    // back is still the one from before the first pause.
    if (!m_intervalAfterResume) m_intervalAfterResume = m_timer->interval();
    m_timer->stop();
}

void FallClock::resume() {
    if (!m_paused) return;
    m_paused = false;
    m_timer->start(m_timeLeft);
}

void FallClock::restart() {
    restoreInterval();
    if (m_timer->isActive()) m_timer->start();
}

void FallClock::restoreInterval() {
    if (!m_intervalAfterResume) return;
    m_timer->setInterval(*m_intervalAfterResume);
    m_intervalAfterResume.reset();
}

}  // namespace quillet
