#include "sound/pulse_cue_player.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

#include "sound/cue_requests.h"
#include "sound/cue_thread.h"

namespace quillet {

// The player's half of the requests, and the cue thread that serves them.
class PulseCuePlayer::Impl {
public:
    // Only one player at a time plays in the process: the one whose
    // requests are held here. Claimed by the constructor rather than on the
    // cue thread, so that the player made first is the one that sounds, and
    // given back by the cue thread as it ends.
    static std::atomic<const CueRequests*> s_owner;

    const std::shared_ptr<CueRequests> requests = std::make_shared<CueRequests>();
    std::thread cueThread;
};

std::atomic<const CueRequests*> PulseCuePlayer::Impl::s_owner{nullptr};

PulseCuePlayer::PulseCuePlayer(std::function<std::string()> directory, MixerIdentity identity,
                               std::function<const PulseFunctions*()> loadPulse)
    : m_impl(std::make_unique<Impl>()) {
    const std::shared_ptr<CueRequests> requests = m_impl->requests;
    const CueRequests* noOwner = nullptr;
    if (requests->wakeFd() < 0 || !Impl::s_owner.compare_exchange_strong(noOwner, requests.get())) {
        requests->silenceUntil(std::chrono::steady_clock::time_point::max());
        return;
    }
    // The cue thread shares the requests, and owns all else it uses: it may
    // outlive the player.
    try {
        m_impl->cueThread =
            std::thread([requests, directory = std::move(directory), identity = std::move(identity),
                         loadPulse = std::move(loadPulse)]() mutable {
                CueThread(requests, std::move(directory), std::move(identity), std::move(loadPulse))
                    .run();
                Impl::s_owner.store(nullptr);
            });
    } catch (const std::system_error&) {
        Impl::s_owner.store(nullptr);
        requests->silenceUntil(std::chrono::steady_clock::time_point::max());
    }
}

// Never waits for the sound server. A cue thread still waiting for a server by
// then (it waits two seconds at most) is left behind; it ends by itself, or
// with the process, and the game's End does not wait for it.
PulseCuePlayer::~PulseCuePlayer() {
    m_impl->requests->stop();
    if (!m_impl->cueThread.joinable()) {
        return;
    }
    if (m_impl->requests->waitForFinish(std::chrono::steady_clock::now() + StopWait)) {
        m_impl->cueThread.join();
    } else {
        m_impl->cueThread.detach();
    }
}

void PulseCuePlayer::prepare() {
    m_impl->requests->prepare();
}

void PulseCuePlayer::playAndWait(const std::string& cue) {
    m_impl->requests->playAndWait(cue);
}

void PulseCuePlayer::play(const std::string& cue) {
    m_impl->requests->play(cue);
}

bool PulseCuePlayer::isSounding() const {
    return m_impl->requests->isSounding();
}

int PulseCuePlayer::playsStarted() const {
    return m_impl->requests->playsStarted();
}

}  // namespace quillet
