#pragma once

#include <SDL.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "sound/callback_feed.h"
#include "sound/mixer_identity.h"
#include "sound/sdl_library.h"

namespace quillet {

// SDL's audio and the one device that the cues play on. Used by the cue thread
// alone: every call but the callback's may wait on the sound server for as long
// as the server takes (30 s for one that has stopped answering), which only the
// cue thread can afford.
//
// SDL's audio starts with the first open. A device that cannot be opened is
// tried again only after a pause, which doubles with every failure in a row;
// a failed open also shuts SDL's audio down, so that the next try starts
// afresh and may find a sound server that has come up meanwhile.
class AudioDevice {
public:
    using Clock = std::chrono::steady_clock;

    // `identity` names the stream in the volume mixer; see exportMixerIdentity.
    AudioDevice(const SdlFunctions& sdl, MixerIdentity identity);
    // Stops SDL's audio.
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    bool isOpen() const { return m_device != 0; }

    // Opens the device unless it is open already or its next try is still to
    // come. Whether it is open.
    bool open();

    // When a device that failed to open may be tried again.
    Clock::time_point nextTry() const { return m_nextTry; }

    // Closes the device and keeps SDL's audio running, so that the next open
    // costs about a millisecond.
    void close();

    // Closes the device and shuts SDL's audio down: for a device that has
    // stopped playing, whose sound server may have gone, and at the end.
    void stop();

    // What the device plays: its rate, format and channels. Valid while open.
    const SDL_AudioSpec& spec() const { return m_spec; }

    // How long `bytes` of sound in the device's format last.
    Clock::duration lengthOf(std::size_t bytes) const;

    // Lets the device play `samples` from their start in place of its cue,
    // and puts the cue's buffer, emptied, into `samples`; empty samples stop
    // the cue. `accept`, when given, is asked first, with the device's lock
    // held, so that what it records happens as the device takes the cue; when
    // it says no, nothing changes. Whether the device took `samples`.
    bool handOver(std::vector<Uint8>& samples, const std::function<bool()>& accept = {});

    // Whether the cue handed over last has been heard to its end, as the
    // device tells: it has asked for more, twice (or more often for a
    // PulseAudio stream the user made longer), since the callback handed on
    // the cue's last sample.
    bool hasPlayedOut() const;

    // When hasPlayedOut should hold, at the device's own pace: nothing while
    // samples are left.
    std::optional<Clock::time_point> playOutDueAt() const;

    // Whether the open device has stopped playing: SDL has lost it, or its
    // callback has not run for a buffer's length and a margin (a sound
    // server that went away or stopped answering), or not at all for a few
    // seconds since the device opened.
    bool hasStalled(Clock::time_point now) const;

    // When hasStalled will hold unless the callback runs again meanwhile.
    Clock::time_point stallsAt() const;

private:
    bool tryOpen();
    void stopAudio();
    Clock::duration bufferLength() const;

    const SdlFunctions& m_sdl;
    const MixerIdentity m_identity;
    bool m_hintsGiven = false;
    bool m_audioStarted = false;
    SDL_AudioDeviceID m_device = 0;
    SDL_AudioSpec m_spec{};
    // How many runs of the callback after a cue's last sample it takes to be heard.
    int m_playOutRuns;
    Clock::time_point m_openedAt{};
    Clock::time_point m_nextTry{};
    std::chrono::milliseconds m_retryPause;
    // Its address is SDL's user data for the callback: the device never moves.
    CallbackFeed m_feed;
};

}  // namespace quillet
