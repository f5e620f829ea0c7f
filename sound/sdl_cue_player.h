#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sound/cue_files.h"
#include "sound/cue_player.h"

namespace quillet {

// Cues played through SDL2_mixer, with only SDL's audio subsystem in use and
// SDL's signal handlers left out, so that SIGTERM and SIGINT still end the
// program. The cue file is looked up beside the program and read anew at every
// play.
//
// One audio thread, started by the constructor, makes every SDL and mixer call.
// SDL itself is loaded there, at run time, when Prepare is called or the first
// cue is asked for, so neither starting the program nor constructing the player
// waits for it. The device is open only from a cue until a few seconds of
// silence; at rest the player costs no CPU time.
//
// Both calls only queue the cue's name for that thread, which looks up, reads
// and decodes its file. play returns then; playAndWait first lets the
// thread handle everything queued before it, then skips the cue if one is
// sounding, or plays it and waits for its end. Without a usable sound device
// every call returns at once and nothing sounds.
//
// Only one player should exist at a time in a process: while one is alive, a
// second one stays silent.
class SdlCuePlayer : public CuePlayer {
public:
    // `directory` answers where the cue files lie; by default programDirectory.
    // It is asked on the audio thread, at every play.
    explicit SdlCuePlayer(std::function<std::string()> directory = programDirectory);
    ~SdlCuePlayer() override;
    SdlCuePlayer(const SdlCuePlayer&) = delete;
    SdlCuePlayer& operator=(const SdlCuePlayer&) = delete;

    // Loads SDL and tries the device on the audio thread, and returns at once.
    void prepare() override;
    void playAndWait(const std::string& cue) override;
    void play(const std::string& cue) override;

    // Whether a cue is sounding at this moment. Read by tests; the game itself
    // never needs to know.
    bool isSounding() const;

    // How many cues have actually started sounding since construction. A cue
    // that was skipped, could not be read or decoded, or was replaced before
    // the audio thread got to it does not count. Read by tests.
    int playsStarted() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quillet
