#pragma once

#include <SDL.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sound/audio_device.h"
#include "sound/cue_decoder.h"
#include "sound/cue_requests.h"
#include "sound/mixer_identity.h"
#include "sound/sdl_library.h"

namespace quillet {

// What the player's own thread does: it takes the requests in turn, has each
// cue's file read and decoded, and hands the sound to the device, which it keeps
// open while cues come. It makes every SDL call but the callback, so it is the
// one thread that may wait on the sound server, for as long as the server
// takes; nobody waits for it without a limit.
//
// Nothing is loaded until prepare is called or the first cue is asked for. Then
// SDL is loaded and the device opened, to learn whether sound can be played,
// and closed again unless a cue is already waiting. From then on a cue opens
// the device when it is closed, and it stays open until nothing has sounded
// for KeepDeviceOpen. A device that stops playing while a cue sounds (its sound
// server restarted or stopped answering) is closed, and the next cue opens a
// new one.
class CueThread {
public:
    using Clock = std::chrono::steady_clock;

    CueThread(std::shared_ptr<CueRequests> requests, std::function<std::string()> directory,
              MixerIdentity identity, std::function<const SdlFunctions*()> loadSdl);

    // Plays the cues until the player goes, then closes the device, shuts
    // SDL's audio down and tells the requests it has finished.
    void run();

private:
    void serve();
    void handle(const CueRequests::Request& request);
    // Opens the device unless it is open and playing. Whether it is.
    bool openDevice();
    // Ends the cue once it has been heard, drops a device that has stopped
    // playing, and closes one that has been silent long enough.
    void watchDevice(Clock::time_point now);
    // When watchDevice has something to look at next.
    Clock::time_point nextLook(Clock::time_point now) const;
    void endCue(Clock::time_point now);
    void closeDevice();
    void dropDevice(Clock::time_point now);
    void reportTooLarge(const std::string& cue, const DecodedCue& decoded);

    const std::shared_ptr<CueRequests> m_requests;
    const std::function<std::string()> m_directory;
    const MixerIdentity m_identity;
    const std::function<const SdlFunctions*()> m_loadSdl;
    std::unique_ptr<AudioDevice> m_device;
    std::unique_ptr<CueDecoder> m_decoder;
    // The buffer that the next cue is decoded into; once it is handed over,
    // the device's last buffer takes its place. Both keep their memory until
    // the device closes.
    std::vector<Uint8> m_spare;
    bool m_cueSounding = false;
    // When the callback should hand on the sounding cue's last sample.
    Clock::time_point m_cueDue{};
    Clock::time_point m_silentSince{};
    // The cues already reported as too large, each reported once in a run.
    std::set<std::string> m_reported;
};

}  // namespace quillet
