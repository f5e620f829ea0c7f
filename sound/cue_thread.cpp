#include "sound/cue_thread.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace quillet {

namespace {

// A corked stream still costs the server some work on some sinks, so the
// stream is closed once nothing has sounded for this long, and opened again
// by the next cue, which costs that cue a few milliseconds.
constexpr std::chrono::seconds KeepStreamOpen{5};

// How long a connection and a new stream may take to get ready. A server that
// takes longer counts as gone: the cue stays silent and the next one tries anew.
constexpr std::chrono::milliseconds ConnectWait{2000};
constexpr std::chrono::milliseconds StreamWait{1000};

// After a server that could not be reached, cues are silent for this long
// before one tries again; each failure in a row doubles the pause, up to the
// longest. A server still starting at login is found a second later, and a
// machine without sound pays for one failed try a minute at most.
constexpr std::chrono::milliseconds FirstRetryPause{1000};
constexpr std::chrono::milliseconds LongestRetryPause{64000};

// A cue not heard this long after its end is due plays on a server that has
// stopped answering (a server stopped by a signal, one swapping hard).
constexpr std::chrono::milliseconds StallMargin{750};

// The format of the game's cues: 16-bit mono at 44.1 kHz.
const CueFormat GameCueFormat{SampleFormat::Signed16, 44100, 1, 2};

}  // namespace

CueThread::CueThread(std::shared_ptr<CueRequests> requests, std::function<std::string()> directory,
                     MixerIdentity identity, std::function<const PulseFunctions*()> loadPulse)
    : m_requests(std::move(requests)),
      m_directory(directory ? std::move(directory)
                            : std::function<std::string()>(programDirectory)),
      m_identity(std::move(identity)),
      m_loadPulse(loadPulse ? std::move(loadPulse) : std::function<const PulseFunctions*()>(pulse)),
      m_retryPause(FirstRetryPause) {}

void CueThread::run() {
    // Named, so that top -H and /proc tell this thread's time apart.
    pthread_setname_np(pthread_self(), "quillet-cues");
    // Reading a cue is never urgent next to the game's own thread: as a batch
    // thread, this one does not preempt it when woken.
    const sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
    if (m_requests->waitForFirstUse()) {
        const PulseFunctions* const functions = m_loadPulse();
        if (functions == nullptr) {
            std::fputs("quillet: libpulse.so.0 cannot be loaded: the sound cues stay silent.\n",
                       stderr);
            m_requests->silenceUntil(Clock::time_point::max());
        } else {
            m_output = std::make_unique<PulseOutput>(*functions, m_identity, m_requests->wakeFd());
            // The stream is opened for the game's own cues' format, so that the
            // server has settled its latency by the time the first cue comes.
            if (m_output->isUsable() && connect()) {
                m_output->openStream(GameCueFormat, Clock::now() + StreamWait);
                m_silentSince = Clock::now();
            }
            if (m_output->isUsable()) {
                serve();
            }
            m_output.reset();
        }
    }
    m_requests->finish();
}

// Between requests the thread waits in libpulse's loop, for the server, the
// next thing to watch or the wake file of the requests, whichever comes first.
void CueThread::serve() {
    CueRequests::Request request;
    for (;;) {
        watch(Clock::now());
        while (m_requests->take(request)) {
            handle(request);
            watch(Clock::now());
        }
        if (m_requests->isStopping()) {
            return;
        }
        m_requests->setWaiting(true);
        m_output->wait(nextLook());
        m_requests->setWaiting(false);
    }
}

void CueThread::handle(const CueRequests::Request& request) {
    // playAndWait: everything asked for before it has been handled, so whether
    // a cue sounds is settled: skip it if one does.
    const bool waited = request.waiter != nullptr;
    if ((waited && m_cueSounding) || !connect()) {
        m_requests->release(request);
        return;
    }
    const std::optional<CueSound> sound = read(request);
    if (!sound) {
        m_requests->release(request);
        // play: whatever sounds stops, even when the new cue cannot be played.
        if (!waited && m_cueSounding) {
            m_output->flush();
            m_output->rest();
            endCue(Clock::now());
        }
        return;
    }
    if (!m_output->openStream(sound->format, Clock::now() + StreamWait)) {
        m_requests->release(request);
        drop(Clock::now());
        return;
    }
    const auto length = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(sound->seconds()));
    // Whatever the stream holds goes, and the cue takes its place: counted as
    // begun as the stream takes it, not before. A cue turned away is a
    // playAndWait whose caller gave up, asked for with nothing sounding, which
    // the flush costs nothing.
    m_output->flush();
    if (!m_requests->beginCue(request, length)) {
        return;
    }
    m_output->play(m_file, *sound);
    m_cueSounding = true;
    m_cueDue = Clock::now() + length;
}

std::optional<CueSound> CueThread::read(const CueRequests::Request& request) {
    readCueFile(cueFilePath(m_directory(), request.cue), m_file);
    const std::optional<CueSound> sound = readCueSound(m_file);
    if (sound && sound->seconds() > MaxCueSeconds) {
        reportTooLong(request.cue, sound->seconds());
        return std::nullopt;
    }
    return sound;
}

bool CueThread::connect() {
    if (m_output->isConnected()) {
        return true;
    }
    const Clock::time_point now = Clock::now();
    if (now < m_nextTry) {
        return false;
    }
    if (m_output->connect(now + ConnectWait)) {
        m_retryPause = FirstRetryPause;
        return true;
    }
    if (!m_saidNoServer) {
        m_saidNoServer = true;
        std::fputs("quillet: no sound server answers: the sound cues stay silent until one does.\n",
                   stderr);
    }
    m_nextTry = Clock::now() + m_retryPause;
    m_retryPause = std::min(m_retryPause * 2, LongestRetryPause);
    m_requests->silenceUntil(m_nextTry);
    return false;
}

void CueThread::watch(Clock::time_point now) {
    if (!m_output || !m_output->hasStream()) {
        return;
    }
    if (m_cueSounding) {
        if (m_output->hasFailed() || (!m_output->heard() && now >= m_cueDue + StallMargin)) {
            drop(now);
            return;
        }
        if (m_output->heard()) {
            m_output->rest();
            endCue(now);
        }
    }
    if (!m_cueSounding && now - m_silentSince >= KeepStreamOpen) {
        m_output->closeStream();
    }
}

CueThread::Clock::time_point CueThread::nextLook() const {
    if (!m_output || !m_output->hasStream()) {
        return Clock::time_point::max();
    }
    if (!m_cueSounding) {
        return m_silentSince + KeepStreamOpen;
    }
    // Until the server tells that the cue has been played, the thread sleeps:
    // the answer, or a server that goes away, wakes libpulse's loop.
    return m_cueDue + StallMargin;
}

void CueThread::endCue(Clock::time_point now) {
    m_cueSounding = false;
    m_silentSince = now;
    m_requests->endCue();
}

// The server went away or stopped answering: the cue that sounded is over, and
// the connection goes without waiting for the server. The next cue connects
// anew, and so finds a server that has come back.
void CueThread::drop(Clock::time_point now) {
    if (m_cueSounding) {
        endCue(now);
    }
    m_output->disconnect();
}

// One line on standard error, the first time in the run that a cue is turned
// away for its length: a player who put a long sound in its place learns why
// it stays silent, and a game that asks for it again and again does not fill
// the terminal.
void CueThread::reportTooLong(const std::string& cue, double seconds) {
    if (!m_reported.insert(cue).second) {
        return;
    }
    std::fprintf(stderr,
                 "quillet: the sound cue %s.wav is not played: it would last %.0f s, and a cue "
                 "may last at most %.0f s.\n",
                 cue.c_str(), seconds, MaxCueSeconds);
}

}  // namespace quillet
