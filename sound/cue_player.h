#pragma once

#include <string>

namespace quillet {

// Plays the game's sound cues. A cue is a bare wave-file name ("click",
// "start", "add0", "add", "add2", "claps"). Sound is never essential: a cue
// that cannot be played is silently skipped, and neither call reports anything.
class CuePlayer {
public:
    virtual ~CuePlayer() = default;

    // Gets ready to play without delaying the caller, so that the first cue
    // does not wait for the sound system. The main window calls it once it is
    // on screen; a player with nothing to prepare ignores it.
    virtual void prepare() {}

    // If any cue is still sounding, returns at once and plays nothing. Otherwise
    // plays the cue and returns only when it has finished: the calling thread
    // blocks on purpose, and no event is handled meanwhile.
    virtual void playAndWait(const std::string& cue) = 0;

    // Stops whatever is sounding, starts the cue and returns at once.
    virtual void play(const std::string& cue) = 0;
};

}  // namespace quillet
