#include "sound/cue_requests.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace quillet {

// Guarded by the requests' lock.
struct CueRequests::Waiter {
    Clock::time_point calledAt;
    // Moved on by the cue's length once it begins.
    Clock::time_point giveUpAt;
    bool done = false;
    bool gaveUp = false;
};

// Non-blocking: a wake-up never waits, and a counter that could overflow only
// after 2^64 of them never fills.
CueRequests::CueRequests() : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (m_wakeFd < 0) {
        m_silentUntil = Clock::time_point::max();
    }
}

CueRequests::~CueRequests() {
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

void CueRequests::wakeCueThread() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

void CueRequests::prepare() {
    wakeCueThread();
}

// Both calls only hand the cue's name over: the cue thread looks for its file
// and reads it. The fall tick can ask for three cues in a row, and the game's
// thread should spend on each no more than a lock and a wake-up.
void CueRequests::play(const std::string& cue) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (isSilentNow(Clock::now())) {
            return;
        }
        // An asynchronous cue that has not started yet would be stopped by
        // this one at once: drop it, so that a burst of cues costs one play.
        while (!m_queue.empty() && m_queue.back().waiter == nullptr) {
            m_queue.pop_back();
        }
        m_queue.push_back(Request{cue, nullptr});
    }
    wakeCueThread();
}

void CueRequests::playAndWait(const std::string& cue) {
    const Clock::time_point now = Clock::now();
    const auto waiter = std::make_shared<Waiter>();
    waiter->calledAt = now;
    waiter->giveUpAt = now + WaitMargin;
    std::unique_lock<std::mutex> lock(m_mutex);
    // A cue thread stuck in the sound library would only make this caller
    // wait out its margin.
    const bool stuck = m_busySince && now - *m_busySince > WaitMargin;
    if (stuck || isSilentNow(now)) {
        return;
    }
    m_queue.push_back(Request{cue, waiter});
    // Woken after the lock is let go, the cue thread does not run straight
    // into it.
    lock.unlock();
    wakeCueThread();
    lock.lock();
    while (!waiter->done) {
        m_callersWake.wait_until(lock, waiter->giveUpAt);
        if (!waiter->done && Clock::now() >= waiter->giveUpAt) {
            waiter->gaveUp = true;
            return;
        }
    }
}

bool CueRequests::isSounding() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sounding;
}

int CueRequests::playsStarted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_playsStarted;
}

void CueRequests::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    wakeCueThread();
}

bool CueRequests::waitForFinish(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_callersWake.wait_until(lock, deadline, [this] { return m_finished; });
}

// The count is left in the wake file: libpulse's loop, which watches it from
// then on, returns at once and the cue thread looks at its requests.
bool CueRequests::waitForFirstUse() {
    pollfd wake{m_wakeFd, POLLIN, 0};
    while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_busySince = Clock::now();
    return !m_stopping;
}

bool CueRequests::take(Request& request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping || m_queue.empty()) {
        return false;
    }
    request = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

bool CueRequests::isStopping() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopping;
}

void CueRequests::setWaiting(bool waiting) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_busySince = waiting ? std::nullopt : std::optional<Clock::time_point>(Clock::now());
}

bool CueRequests::beginCue(const Request& request, Clock::duration length) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (request.waiter != nullptr) {
            if (request.waiter->gaveUp) {
                return false;
            }
            request.waiter->giveUpAt = request.waiter->calledAt + WaitMargin + length;
        }
        // The cue that sounded stops: it counts as ended.
        releaseLocked(m_soundingWaiter);
        m_soundingWaiter = request.waiter;
        m_sounding = true;
        ++m_playsStarted;
    }
    m_callersWake.notify_all();
    return true;
}

void CueRequests::endCue() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sounding = false;
        releaseLocked(m_soundingWaiter);
        m_soundingWaiter = nullptr;
    }
    m_callersWake.notify_all();
}

void CueRequests::release(const Request& request) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        releaseLocked(request.waiter);
    }
    m_callersWake.notify_all();
}

void CueRequests::silenceUntil(Clock::time_point nextTry) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silentUntil = nextTry;
}

void CueRequests::finish() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_finished = true;
        for (const Request& left : m_queue) {
            releaseLocked(left.waiter);
        }
        m_queue.clear();
        releaseLocked(m_soundingWaiter);
        m_soundingWaiter = nullptr;
        m_sounding = false;
    }
    m_callersWake.notify_all();
}

// Whether a cue asked for now cannot sound: the player is going, it is not the
// process's player or libpulse is missing, or no server answered and its next
// try is still to come.
bool CueRequests::isSilentNow(Clock::time_point now) const {
    return m_stopping || now < m_silentUntil;
}

void CueRequests::releaseLocked(const std::shared_ptr<Waiter>& waiter) {
    if (waiter != nullptr) {
        waiter->done = true;
    }
}

}  // namespace quillet
