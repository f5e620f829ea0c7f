#pragma once

#include <chrono>
#include <functional>

#include "sound/pulse_library.h"

namespace quillet {

// libpulse's threaded main loop: the thread that talks to the server, and the
// lock that the cue thread takes to hand it commands. That thread holds the
// lock only while it handles what came, never while it waits for the server,
// so taking the lock never waits long.
class PulseThread {
public:
    using Clock = std::chrono::steady_clock;

    explicit PulseThread(const PulseFunctions& pa) : m_pa(pa) {}
    // Ends the thread; whatever used its loop must be gone by then.
    ~PulseThread();
    PulseThread(const PulseThread&) = delete;
    PulseThread& operator=(const PulseThread&) = delete;

    // Starts the thread unless it runs. Whether it runs.
    bool start();
    // The loop's interface, for a new connection. Valid once started.
    pa_mainloop_api* api() const { return m_pa.mainloopApi(m_loop); }

    // Holds the lock for as long as it lives.
    class Lock {
    public:
        explicit Lock(const PulseThread& thread) : m_thread(thread) {
            m_thread.m_pa.lock(m_thread.m_loop);
        }
        ~Lock() { m_thread.m_pa.unlock(m_thread.m_loop); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        const PulseThread& m_thread;
    };

    // Looks at `state` (1 ready, 0 not yet, -1 failed) under the lock every
    // millisecond, until it is settled or `deadline` has come. Whether it
    // came to be ready.
    bool waitUntil(const std::function<int()>& state, Clock::time_point deadline) const;

private:
    const PulseFunctions& m_pa;
    pa_threaded_mainloop* m_loop = nullptr;
};

}  // namespace quillet
