#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quillet {

// The cues asked for, on their way from the threads that ask (the game's) to
// the cue thread that plays them, and what the askers may know of the cue that
// sounds. Its one lock is held only for a few steps at a time, never while
// calling libpulse, so the game's thread waits for nothing else: a caller of
// playAndWait waits for its cue's end, but never past its own deadline.
//
// The order of events: the callers queue requests and make the wake file
// readable; the cue thread, woken, takes them one at a time with take(), in
// the order they came, and tells of each one that it has begun sounding
// (beginCue), or that it will not sound (release). A cue that sounds ends with
// endCue, or when beginCue starts the next one.
class CueRequests {
public:
    using Clock = std::chrono::steady_clock;

    // How long a playAndWait caller waits beyond its cue's own length: time for
    // the cues asked for before it, for reading its file, for opening the
    // stream and for the server to play the cue's last frames. A
    // caller whose cue has not begun by then goes on, and the cue stays
    // silent. While the cue thread has been busy with one thing for longer,
    // as when stuck in a sound server that does not answer, playAndWait
    // returns at once.
    static constexpr std::chrono::milliseconds WaitMargin{400};

    // What a playAndWait caller and the cue thread share of its request.
    struct Waiter;

    struct Request {
        std::string cue;
        // Null for play, whose caller does not wait.
        std::shared_ptr<Waiter> waiter;
    };

    CueRequests();
    ~CueRequests();
    CueRequests(const CueRequests&) = delete;
    CueRequests& operator=(const CueRequests&) = delete;

    // The callers' side.
    void prepare();
    void play(const std::string& cue);
    void playAndWait(const std::string& cue);
    bool isSounding() const;
    int playsStarted() const;
    // The player is going: calls from now on return at once, and the cue
    // thread finishes what it is doing and ends.
    void stop();
    // Waits until the cue thread has ended, but not past `deadline`. Whether
    // it has ended.
    bool waitForFinish(Clock::time_point deadline);

    // The cue thread's side.
    // Readable whenever a request or the player's going may have come since
    // the cue thread last looked; never blocks a caller.
    int wakeFd() const { return m_wakeFd; }
    // Waits until prepare is called, a cue is asked for or the player goes:
    // until the wake file is first readable. False for the last.
    bool waitForFirstUse();
    // Takes the oldest request; false when there is none or the player goes.
    bool take(Request& request);
    bool isStopping() const;
    // The cue thread waits for the wake file or the server from now on, or
    // has stopped waiting: a caller of playAndWait knows whether it is held up.
    void setWaiting(bool waiting);
    // The request's cue, `length` long, sounds from now on in place of any
    // other. False when its caller has given up waiting: then it stays silent.
    // Called as the stream takes the cue, once flushed of the last one.
    bool beginCue(const Request& request, Clock::duration length);
    // The cue that sounded has been heard to its end, or was stopped.
    void endCue();
    // The request will not sound: a waiting caller goes on.
    void release(const Request& request);
    // No server until `nextTry`: until then every call returns at once. With
    // Clock::time_point::max(), no sound for the rest of this player's life.
    void silenceUntil(Clock::time_point nextTry);
    // The cue thread ends: every waiting caller goes on.
    void finish();

private:
    bool isSilentNow(Clock::time_point now) const;
    void releaseLocked(const std::shared_ptr<Waiter>& waiter);
    void wakeCueThread() const;

    // An eventfd: the cue thread waits in poll(), with the server's sockets.
    const int m_wakeFd;
    mutable std::mutex m_mutex;
    std::condition_variable m_callersWake;
    // Guarded by m_mutex.
    std::deque<Request> m_queue;
    bool m_stopping = false;
    bool m_finished = false;
    Clock::time_point m_silentUntil{};
    // Since when the cue thread has been busy; nothing while it waits.
    std::optional<Clock::time_point> m_busySince;
    bool m_sounding = false;
    std::shared_ptr<Waiter> m_soundingWaiter;
    int m_playsStarted = 0;
};

}  // namespace quillet
