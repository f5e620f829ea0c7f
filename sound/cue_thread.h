#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sound/cue_files.h"
#include "sound/cue_requests.h"
#include "sound/mixer_identity.h"
#include "sound/pulse_library.h"
#include "sound/pulse_output.h"

namespace quillet {

// What the player's own thread does: it takes the requests in turn, reads each
// cue's file and hands its sound to the stream, and watches the stream until
// the cue has been heard. It alone talks to libpulse, running libpulse's main
// loop itself between requests, and every wait of its own for the server has
// a bound; nobody waits for it without one.
//
// Nothing is loaded until prepare is called or the first cue is asked for.
// Then libpulse is loaded and the server connected to. A cue opens the stream
// when there is none, and it stays open, corked, until nothing has sounded for
// KeepStreamOpen. A server that cannot be reached is tried again by a later
// cue, after a pause that doubles with each failure in a row; the first
// failure in the run says so in one line on standard error. A server that goes
// away or stops answering while a cue sounds ends that cue, and the next cue
// connects anew.
class CueThread {
public:
    using Clock = std::chrono::steady_clock;

    CueThread(std::shared_ptr<CueRequests> requests, std::function<std::string()> directory,
              MixerIdentity identity, std::function<const PulseFunctions*()> loadPulse);

    // Plays the cues until the player goes, then lets the server go and tells
    // the requests it has finished.
    void run();

private:
    void serve();
    void handle(const CueRequests::Request& request);
    // The sound of the request's file, if it can be played.
    std::optional<CueSound> read(const CueRequests::Request& request);
    // Connects unless connected or the next try is still to come. Whether connected.
    bool connect();
    // Ends the cue once heard, drops a server that went away or stopped
    // answering, and closes a stream that has been silent long enough.
    void watch(Clock::time_point now);
    // When watch has something to look at next.
    Clock::time_point nextLook() const;
    void endCue(Clock::time_point now);
    void drop(Clock::time_point now);
    void reportTooLong(const std::string& cue, double seconds);

    const std::shared_ptr<CueRequests> m_requests;
    const std::function<std::string()> m_directory;
    const MixerIdentity m_identity;
    const std::function<const PulseFunctions*()> m_loadPulse;
    std::unique_ptr<PulseOutput> m_output;
    // The next cue's file is read into this; once its sound is handed over,
    // the last cue's buffer takes its place.
    std::vector<std::uint8_t> m_file;
    bool m_cueSounding = false;
    // When the sounding cue's last frame should have been played.
    Clock::time_point m_cueDue{};
    Clock::time_point m_silentSince{};
    Clock::time_point m_nextTry{};
    std::chrono::milliseconds m_retryPause;
    bool m_saidNoServer = false;
    // The cues already reported as too long, each reported once in a run.
    std::set<std::string> m_reported;
};

}  // namespace quillet
