#include "sound/callback_feed.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

CallbackFeed::Clock::rep ticks(CallbackFeed::Clock::time_point time) {
    return time.time_since_epoch().count();
}

std::optional<CallbackFeed::Clock::time_point> timeOf(CallbackFeed::Clock::rep ticks) {
    if (ticks == 0) {
        return std::nullopt;
    }
    return CallbackFeed::Clock::time_point(CallbackFeed::Clock::duration(ticks));
}

// Runs since a cue's last sample are counted this far; nobody asks for more.
constexpr int MostRunsCounted = 1000;

}  // namespace

void SDLCALL CallbackFeed::fill(void* feed, Uint8* stream, int length) {
    CallbackFeed* self = static_cast<CallbackFeed*>(feed);
    const Clock::rep now = ticks(Clock::now());
    const std::size_t wanted = static_cast<std::size_t>(length);
    const std::size_t left = self->m_samples.size() - self->m_played;
    const std::size_t copied = std::min(wanted, left);
    const int runsSince = self->m_runsSinceLastSample.load();
    if (runsSince >= 0 && runsSince < MostRunsCounted) {
        self->m_runsSinceLastSample.store(runsSince + 1);
    }
    if (copied > 0) {
        std::memcpy(stream, self->m_samples.data() + self->m_played, copied);
        self->m_played += copied;
        if (self->m_played == self->m_samples.size()) {
            self->m_lastSampleGiven.store(now);
            self->m_runsSinceLastSample.store(0);
        }
    }
    std::memset(stream + copied, self->m_silence, wanted - copied);
    self->m_lastRun.store(now);
    if (self->m_runs.load() < 2) {
        self->m_runs.fetch_add(1);
    }
}

void CallbackFeed::start(Uint8 silence) {
    m_silence = silence;
    m_lastRun.store(Never);
    m_runs.store(0);
}

void CallbackFeed::replace(std::vector<Uint8>& samples) {
    m_samples.swap(samples);
    m_played = 0;
    m_lastSampleGiven.store(Never);
    m_runsSinceLastSample.store(-1);
    samples.clear();
}

std::optional<CallbackFeed::Clock::time_point> CallbackFeed::lastRun() const {
    if (m_runs.load() < 2) {
        return std::nullopt;
    }
    return timeOf(m_lastRun.load());
}

std::optional<CallbackFeed::Clock::time_point> CallbackFeed::lastSampleGiven() const {
    return timeOf(m_lastSampleGiven.load());
}

}  // namespace quillet
