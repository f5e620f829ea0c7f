#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "sound/cue_files.h"
#include "sound/mixer_identity.h"
#include "sound/pulse_library.h"
#include "sound/pulse_thread.h"

namespace quillet {

// The connection to the sound server and the one playback stream the cues play
// on, through libpulse's own thread (PulseThread). Used by the cue thread
// alone. Every call here only queues a command for libpulse's thread, under
// its lock; the two calls that wait for an answer (connect and openStream)
// wait until a deadline at most.
//
// Between cues the stream is corked: the server plays nothing from it, and the
// next cue starts by uncorking it, without a new stream. A cue is heard once
// the server's read index has passed its last frame.
class PulseOutput {
public:
    using Clock = std::chrono::steady_clock;

    PulseOutput(const PulseFunctions& pa, MixerIdentity identity);
    // Closes the stream and the connection, and ends libpulse's thread.
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

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

    // Plays `length` bytes of `sound` from `offset` in place of whatever
    // sounds, and puts the last cue's buffer into `sound`. `accept` is asked
    // first, under libpulse's lock; when it says no, nothing changes. Whether
    // the cue plays.
    bool play(std::vector<std::uint8_t>& sound, std::size_t offset, std::size_t length,
              const std::function<bool()>& accept);
    // Stops whatever sounds and corks the stream.
    void silence();
    // Corks the stream once its cue has been heard.
    void rest();
    // Asks the server how far it has played, unless a question is on its way.
    void askProgress();
    // Whether the cue has been heard to its end: the server's last answer had
    // it read to its end, and the sink's delay that it told has passed since.
    bool heard() const;
    // When asking again makes sense: once the server can have read what it
    // had left at its last answer.
    Clock::time_point askAgainAt() const;

private:
    using Lock = PulseThread::Lock;
    static void writeWanted(pa_stream* stream, std::size_t bytes, void* self);
    static void progressTold(pa_stream* stream, int success, void* self);
    void feed(std::size_t bytes);
    void unrefOperation(pa_operation* operation) const;
    pa_proplist* properties(bool forStream) const;

    const PulseFunctions& m_pa;
    const MixerIdentity m_identity;
    PulseThread m_thread;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    CueFormat m_format;
    // Below, guarded by libpulse's lock: the cue's sound and how much of it
    // has gone to the server.
    std::vector<std::uint8_t> m_sound;
    std::size_t m_offset = 0;
    std::size_t m_length = 0;
    std::size_t m_written = 0;
    bool m_corked = true;
    // Counts the cues; each question about progress is tagged with the cue it
    // asks about, or -1 when asked before all of the cue was written.
    long m_cue = 0;
    std::deque<long> m_questions;
    bool m_heard = false;
    Clock::time_point m_askAgainAt{};
};

}  // namespace quillet
