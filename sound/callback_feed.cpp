#include "sound/callback_feed.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

CallbackFeed::Clock::rep ticks(CallbackFeed::Clock::time_point time) {
    return time.time_since_epoch().count();
}

CallbackFeed::Clock::time_point timeOf(CallbackFeed::Clock::rep ticks) {
    return CallbackFeed::Clock::time_point(CallbackFeed::Clock::duration(ticks));
}

}  // namespace

void SDLCALL CallbackFeed::fill(void* feed, Uint8* stream, int length) {
    CallbackFeed* self = static_cast<CallbackFeed*>(feed);
    const Clock::rep now = ticks(Clock::now());
    const std::size_t wanted = static_cast<std::size_t>(length);
    const std::size_t left = self->m_samples.size() - self->m_played;
    const std::size_t copied = std::min(wanted, left);
    if (copied > 0) {
        std::memcpy(stream, self->m_samples.data() + self->m_played, copied);
        self->m_played += copied;
        if (self->m_played == self->m_samples.size()) {
            self->m_lastSampleGiven.store(now);
        }
    }
    std::memset(stream + copied, self->m_silence, wanted - copied);
    self->m_lastRun.store(now);
}

void CallbackFeed::start(Uint8 silence, Clock::time_point openedAt) {
    m_silence = silence;
    m_lastRun.store(ticks(openedAt));
}

void CallbackFeed::replace(std::vector<Uint8>& samples) {
    m_samples.swap(samples);
    m_played = 0;
    m_lastSampleGiven.store(Never);
    samples.clear();
}

CallbackFeed::Clock::time_point CallbackFeed::lastRun() const {
    return timeOf(m_lastRun.load());
}

std::optional<CallbackFeed::Clock::time_point> CallbackFeed::lastSampleGiven() const {
    const Clock::rep given = m_lastSampleGiven.load();
    if (given == Never) {
        return std::nullopt;
    }
    return timeOf(given);
}

}  // namespace quillet
