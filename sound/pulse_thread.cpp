#include "sound/pulse_thread.h"

#include <pthread.h>
#include <sched.h>

#include <thread>

namespace quillet {

PulseThread::~PulseThread() {
    if (m_loop != nullptr) {
        m_pa.mainloopStop(m_loop);
        m_pa.mainloopFree(m_loop);
    }
}

bool PulseThread::start() {
    if (m_loop != nullptr) {
        return true;
    }
    m_loop = m_pa.mainloopNew();
    if (m_loop == nullptr) {
        return false;
    }
    // libpulse's thread takes the scheduling policy of the thread that starts
    // it. The cue thread is a batch thread, so that reading a cue never
    // preempts the game; the thread that feeds the server must not be one, or
    // the stream could run dry while the game is busy.
    const sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &none);
    const int started = m_pa.mainloopStart(m_loop);
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
    if (started < 0) {
        m_pa.mainloopFree(m_loop);
        m_loop = nullptr;
        return false;
    }
    return true;
}

bool PulseThread::waitUntil(const std::function<int()>& state, Clock::time_point deadline) const {
    for (;;) {
        int now = 0;
        {
            Lock lock(*this);
            now = state();
        }
        if (now != 0 || Clock::now() >= deadline) {
            return now > 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace quillet
