#include "sound/cue_thread.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "sound/cue_files.h"

namespace quillet {

namespace {

// While the device is open, SDL's own audio thread wakes every few milliseconds
// even when nothing sounds. So the device is open only while cues come: it is
// closed once nothing has sounded for this long, and opened again by the next
// cue, which costs that cue about a millisecond.
constexpr std::chrono::seconds KeepDeviceOpen{5};

// Once a cue's last sample, or its play-out, is due, how often to look whether
// the device has got there: it may be up to a buffer late. A click's caller
// waits for this look, so it is short; it happens a few times a cue.
constexpr std::chrono::milliseconds LookAgain{2};

}  // namespace

CueThread::CueThread(std::shared_ptr<CueRequests> requests, std::function<std::string()> directory,
                     MixerIdentity identity, std::function<const SdlFunctions*()> loadSdl)
    : m_requests(std::move(requests)),
      m_directory(directory ? std::move(directory)
                            : std::function<std::string()>(programDirectory)),
      m_identity(std::move(identity)),
      m_loadSdl(loadSdl ? std::move(loadSdl) : std::function<const SdlFunctions*()>(sdl)) {}

void CueThread::run() {
    // Named, so that top -H and /proc tell this thread's time apart.
    pthread_setname_np(pthread_self(), "quillet-cues");
    // Reading and decoding a cue is never urgent next to the game's own
    // thread: as a batch thread, this one does not preempt it when woken.
    const sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
    if (m_requests->waitForFirstUse()) {
        const SdlFunctions* const functions = m_loadSdl();
        if (functions == nullptr) {
            m_requests->silenceForGood();
        } else {
            m_device = std::make_unique<AudioDevice>(*functions, m_identity);
            m_decoder = std::make_unique<CueDecoder>(*functions);
            if (openDevice() && !m_requests->hasRequests()) {
                closeDevice();
            }
            serve();
            m_device->stop();
            // SDL keeps per-thread data (its error text, for one) that it frees
            // by itself only for threads it started.
            functions->tlsCleanup();
        }
    }
    m_requests->finish();
}

void CueThread::serve() {
    CueRequests::Request request;
    for (;;) {
        const CueRequests::Wake wake = m_requests->next(nextLook(Clock::now()), request);
        if (wake == CueRequests::Wake::Stop) {
            return;
        }
        watchDevice(Clock::now());
        if (wake == CueRequests::Wake::Request) {
            handle(request);
        }
    }
}

void CueThread::handle(const CueRequests::Request& request) {
    // playAndWait: everything asked for before it has been handled, so whether
    // a cue sounds is settled: skip it if one does.
    const bool waited = request.waiter != nullptr;
    if ((waited && m_cueSounding) || !m_requests->isWanted(request) || !openDevice()) {
        m_requests->release(request);
        return;
    }
    const DecodedCue decoded =
        m_decoder->decode(cueFilePath(m_directory(), request.cue), m_device->spec(), m_spare);
    if (decoded.tooLarge) {
        reportTooLarge(request.cue, decoded);
    }
    const Clock::time_point now = Clock::now();
    if (!decoded.ready) {
        m_requests->release(request);
        // play: whatever sounds stops, even when the new cue cannot be played.
        if (!waited && m_cueSounding) {
            m_device->handOver(m_spare);
            endCue(now);
        }
        return;
    }
    // Counted as begun as the device takes it, not before.
    const Clock::duration length = m_device->lengthOf(m_spare.size());
    if (!m_device->handOver(m_spare, [&] { return m_requests->beginCue(request, length); })) {
        m_spare.clear();
        return;
    }
    m_cueSounding = true;
    m_cueDue = now + length;
}

bool CueThread::openDevice() {
    const Clock::time_point now = Clock::now();
    if (m_device->hasStalled(now)) {
        dropDevice(now);
    }
    if (m_device->isOpen()) {
        return true;
    }
    if (m_device->open()) {
        m_silentSince = Clock::now();
        return true;
    }
    m_requests->silenceUntil(m_device->nextTry());
    return false;
}

void CueThread::watchDevice(Clock::time_point now) {
    if (!m_device->isOpen()) {
        return;
    }
    if (m_cueSounding) {
        if (m_device->hasPlayedOut()) {
            endCue(now);
        } else if (m_device->hasStalled(now)) {
            dropDevice(now);
            return;
        }
    }
    if (!m_cueSounding && now - m_silentSince >= KeepDeviceOpen) {
        closeDevice();
    }
}

CueThread::Clock::time_point CueThread::nextLook(Clock::time_point now) const {
    if (m_device == nullptr || !m_device->isOpen()) {
        return Clock::time_point::max();
    }
    if (!m_cueSounding) {
        return m_silentSince + KeepDeviceOpen;
    }
    const Clock::time_point due = m_device->playOutDueAt().value_or(m_cueDue);
    return std::min(std::max(due, now + LookAgain), m_device->stallsAt());
}

void CueThread::endCue(Clock::time_point now) {
    m_cueSounding = false;
    m_silentSince = now;
    m_requests->endCue();
}

void CueThread::closeDevice() {
    m_device->close();
    m_spare = std::vector<Uint8>();
    m_decoder->releaseMemory();
}

// The cue that sounded is over: its caller goes on before the device is shut,
// which may take as long as the sound server does. SDL's audio stops too, so
// that the next cue finds a sound server that has come back.
void CueThread::dropDevice(Clock::time_point now) {
    if (m_cueSounding) {
        endCue(now);
    }
    closeDevice();
    m_device->stop();
}

// One line on standard error, the first time in the run that a cue is turned
// away for its length: a player who put a long sound in its place learns why
// it stays silent, and a game that asks for it again and again does not fill
// the terminal.
void CueThread::reportTooLarge(const std::string& cue, const DecodedCue& decoded) {
    if (!m_reported.insert(cue).second) {
        return;
    }
    constexpr double MiB = 1024.0 * 1024.0;
    std::fprintf(stderr,
                 "quillet: the sound cue %s.wav is not played: it would last %.0f s and "
                 "take %.1f MiB, and a cue may last at most %.0f s and take at most "
                 "%.0f MiB.\n",
                 cue.c_str(), decoded.seconds, static_cast<double>(decoded.bytes) / MiB,
                 MaxCueSeconds, static_cast<double>(MaxCueBytes) / MiB);
}

}  // namespace quillet
