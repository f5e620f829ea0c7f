#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sound/cue_files.h"
#include "sound/cue_player.h"
#include "sound/mixer_identity.h"

namespace quillet {

struct SdlFunctions;

// Cues played through SDL2's own audio: the wave loader, SDL's format
// conversion and one audio device fed by a callback, with only SDL's audio
// subsystem in use and SDL's signal handlers left out, so that SIGTERM and
// SIGINT still end the program. The cue file is looked up beside the program
// and read anew at every play.
//
// One cue thread (CueThread), started by the constructor, makes every SDL call
// but the device's callback. SDL itself is loaded there, at run time, when
// prepare is called or the first cue is asked for, so neither starting the
// program nor constructing the player waits for it. The device is open only
// from a cue until a few seconds of silence; at rest the player costs no CPU
// time. A device that cannot be opened, the first time or any later one, is
// tried again by a later cue, after a pause that doubles with each failure in a
// row. A device that stops playing (its sound server restarted, or stopped
// answering) is closed, and the next cue opens a new one.
//
// Both calls only queue the cue's name for that thread, which looks up, reads
// and decodes its file. play returns then; playAndWait first lets the
// thread handle everything queued before it, then skips the cue if one is
// sounding, or plays it and waits until it has been heard to its end. Whatever
// the sound server does, playAndWait returns within the cue's length and
// CueRequests::WaitMargin: a cue that has not begun by then stays silent, and
// while the cue thread is stuck in the sound library, playAndWait returns at
// once. While there is no usable sound device every call returns at once and
// nothing sounds.
//
// A cue longer than MaxCueSeconds, or whose sound, decoded or converted for
// the device, would take more than MaxCueBytes, is not decoded: it stays
// silent, and the first time in the run that it is asked for, one line on
// standard error says so.
//
// Only one player should exist at a time in a process: while one is alive, or
// its cue thread still ends, a second one stays silent.
class SdlCuePlayer : public CuePlayer {
public:
    // `directory` answers where the cue files lie; by default programDirectory.
    // It is asked on the cue thread, at every play. `identity` names the
    // stream in the volume mixer; it is handed to SDL on the cue thread,
    // before SDL's audio starts. Its icon and role need exportMixerIdentity as
    // well.
    //
    // `loadSdl` stands in for loading SDL, for tests that make a call fail;
    // by default SDL is loaded as sdl() does it.
    explicit SdlCuePlayer(std::function<std::string()> directory = programDirectory,
                          MixerIdentity identity = {},
                          std::function<const SdlFunctions*()> loadSdl = {});
    // Returns within StopWait: a cue thread that is stuck in the sound library
    // by then is left to end by itself, or with the process.
    ~SdlCuePlayer() override;
    SdlCuePlayer(const SdlCuePlayer&) = delete;
    SdlCuePlayer& operator=(const SdlCuePlayer&) = delete;

    // Loads SDL and tries the device on the cue thread, and returns at once.
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

    // How long the destructor waits for the cue thread to end. Closing the
    // device and shutting SDL's audio down take a few milliseconds with a
    // sound server that answers.
    static constexpr std::chrono::milliseconds StopWait{600};

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quillet
