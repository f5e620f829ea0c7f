#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sound/cue_files.h"
#include "sound/cue_player.h"
#include "sound/mixer_identity.h"

namespace quillet {

struct PulseFunctions;

// Cues played through the desktop's sound server, with libpulse: PulseAudio,
// or PipeWire through its PulseAudio server. Each cue's wave file is looked up
// beside the program and read anew at every play, and its samples go to the
// server as they are stored: the server converts them for its device.
//
// One cue thread (CueThread), started by the constructor, makes every libpulse
// call. libpulse itself is loaded there, at run time, when prepare is called
// or the first cue is asked for, so neither starting the program nor
// constructing the player waits for it, and a game whose sound stays off never
// loads it. One stream plays every cue: corked between cues, and closed after a
// few seconds of silence; at rest the player costs no CPU time.
//
// Both calls only queue the cue's name for that thread. play returns then;
// playAndWait first lets the thread handle everything queued before it, then
// skips the cue if one is sounding, or plays it and waits until the server has
// played its last frame. Whatever the server does, playAndWait returns within
// the cue's length and CueRequests::WaitMargin: a cue that has not begun by
// then stays silent, and while the cue thread is held up by the server,
// playAndWait returns at once. While no server answers, every call returns at
// once and nothing sounds.
//
// A cue longer than MaxCueSeconds is not played: it stays silent, and the
// first time in the run that it is asked for, one line on standard error says
// so.
//
// Only one player should exist at a time in a process: while one is alive, or
// its cue thread still ends, a second one stays silent.
class PulseCuePlayer : public CuePlayer {
public:
    // `directory` answers where the cue files lie; by default programDirectory.
    // It is asked on the cue thread, at every play. `identity` names the
    // stream in the volume mixer: the connection's and the stream's
    // properties carry it.
    //
    // `loadPulse` stands in for loading libpulse, for tests that make a call
    // fail; by default libpulse is loaded as pulse() does it.
    explicit PulseCuePlayer(std::function<std::string()> directory = programDirectory,
                            MixerIdentity identity = {},
                            std::function<const PulseFunctions*()> loadPulse = {});
    // Returns within StopWait: a cue thread that is stuck in the sound library
    // by then is left to end by itself, or with the process.
    ~PulseCuePlayer() override;
    PulseCuePlayer(const PulseCuePlayer&) = delete;
    PulseCuePlayer& operator=(const PulseCuePlayer&) = delete;

    // Loads libpulse and connects on the cue thread, and returns at once.
    void prepare() override;
    void playAndWait(const std::string& cue) override;
    void play(const std::string& cue) override;

    // Whether a cue is sounding at this moment. Read by tests; the game itself
    // never needs to know.
    bool isSounding() const;

    // How many cues have actually started sounding since construction. A cue
    // that was skipped, could not be read or decoded, or was replaced before
    // the cue thread got to it does not count. Read by tests.
    int playsStarted() const;

    // How long the destructor waits for the cue thread to end. Letting the
    // stream and the connection go never waits for the server.
    static constexpr std::chrono::milliseconds StopWait{600};

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quillet
