#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "sound/cue_files.h"
#include "sound/mixer_identity.h"
#include "sound/pulse_library.h"

namespace quillet {

// The connection to the sound server and the one playback stream the cues play
// on, with the libpulse main loop that carries them. The cue thread alone uses
// it and runs the loop itself (wait): no thread of libpulse's own, and no lock.
// Only connect and openStream wait for the server's answer, until a deadline
// at most; every other call only sends a command.
//
// Between cues the stream is corked: the server plays nothing from it, and the
// next cue starts by uncorking it, without a new stream. A cue is heard once
// the server has acknowledged the stream's drain after its last frame.
class PulseOutput {
public:
    using Clock = std::chrono::steady_clock;

    // `wakeFd` is a file that becomes readable when the cue thread has
    // something to do: wait returns then.
    PulseOutput(const PulseFunctions& pa, MixerIdentity identity, int wakeFd);
    // Closes the stream and the connection without waiting for the server.
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Whether the main loop could be made; without it nothing else works.
    bool isUsable() const { return m_loop != nullptr; }
    // Handles what the server sent, waiting for it until `until` at most, or
    // until the wake file is readable.
    void wait(Clock::time_point until);

    // Connects to the server unless connected, waiting until `deadline` at
    // most. Whether connected; a connection that failed is let go.
    bool connect(Clock::time_point deadline);
    bool isConnected() const;
    // Whether the connection or the stream has failed: the server went away.
    bool hasFailed() const;
    // Lets the stream and the connection go, without waiting for the server.
    void disconnect();

    // Opens a corked stream for sound in `format`, unless one is open for it
    // already (one for another format is closed first), waiting until
    // `deadline` at most. Whether it is open.
    bool openStream(const CueFormat& format, Clock::time_point deadline);
    bool hasStream() const { return m_stream != nullptr; }
    // The connection stays, for the next cue to open a stream at once.
    void closeStream();

    // Drops whatever the stream holds, unplayed.
    void flush();
    // Plays `sound` of `file`, once flushed, and puts the last cue's buffer
    // into `file`. Needs a stream.
    void play(std::vector<std::uint8_t>& file, const CueSound& sound);
    // Corks the stream once its cue has been heard.
    void rest();
    // Whether the cue has been heard to its end: the server has said it has
    // played all of it.
    bool heard() const { return m_heard; }

private:
    static void wakeUp(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void*);
    static void writeWanted(pa_stream* stream, std::size_t bytes, void* self);
    static void drained(pa_stream* stream, int success, void* self);
    // Runs the loop until `state` (1 ready, 0 not yet, -1 failed) is settled
    // or `deadline` has come. Whether it came to be ready.
    bool settle(const std::function<int()>& state, Clock::time_point deadline);
    void feed(std::size_t bytes);
    void unrefOperation(pa_operation* operation) const;
    pa_proplist* properties(bool forStream) const;

    const PulseFunctions& m_pa;
    const MixerIdentity m_identity;
    pa_mainloop* m_loop = nullptr;
    pa_io_event* m_wake = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    CueFormat m_format;
    // The cue's sound and how much of it has gone to the server.
    std::vector<std::uint8_t> m_sound;
    CueSound m_cueSound;
    std::size_t m_written = 0;
    bool m_corked = true;
    // Counts the cues; the server's answers are about the cue that was the
    // stream's when its last frame went, and let go when another one is.
    long m_cue = 0;
    long m_drainedCue = -1;
    bool m_heard = false;
};

}  // namespace quillet
