#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace quillet {

// All that the device's callback touches. The callback runs on SDL's own audio
// thread, in time with the sound card, and must never wait: it takes no lock of
// ours, allocates nothing and calls no SDL function.
//
// The cue's samples and how far the callback has got are changed by the cue
// thread only under SDL's device lock, which SDL holds around every run of the
// callback. The two times are atomics that the cue thread reads without any
// lock: when the callback last ran, which tells whether the device still
// plays, and when it handed on the cue's last sample, from which the cue
// thread tells when the cue will have been heard to its end. So are the count
// of its first runs and of its runs since that last sample.
class CallbackFeed {
public:
    using Clock = std::chrono::steady_clock;

    // The device's callback; `feed` is the CallbackFeed.
    static void SDLCALL fill(void* feed, Uint8* stream, int length);

    // Once the device has opened and before it is let play: the byte that
    // stands for silence.
    void start(Uint8 silence);

    // Plays `samples` from their start in place of the cue, and puts the cue's
    // buffer, emptied, into `samples`. Under the device lock, or with the
    // device closed.
    void replace(std::vector<Uint8>& samples);

    // When the callback last ran, once the device is under way: SDL runs the
    // callback once as the device opens, and the second run waits for the
    // sound server to ask for more. Nothing before the second run since start.
    std::optional<Clock::time_point> lastRun() const;

    // When the callback handed on the cue's last sample; nothing while some
    // are left, or when there is no cue.
    std::optional<Clock::time_point> lastSampleGiven() const;

    // How many times the callback has run since the run that handed on the
    // cue's last sample: each later run is the device asking for more, so
    // having taken in the buffer before. -1 while samples are left, or when
    // there is no cue.
    int runsSinceLastSample() const { return m_runsSinceLastSample.load(); }

private:
    // A time as the atomics hold it; Never for no time.
    static constexpr Clock::rep Never = 0;

    std::vector<Uint8> m_samples;
    std::size_t m_played = 0;
    Uint8 m_silence = 0;
    std::atomic<Clock::rep> m_lastRun{Never};
    // Runs since start, counted up to two.
    std::atomic<int> m_runs{0};
    std::atomic<Clock::rep> m_lastSampleGiven{Never};
    std::atomic<int> m_runsSinceLastSample{-1};
};

}  // namespace quillet
