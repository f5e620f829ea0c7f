#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sound/cue_files.h"
#include "sound/cue_player.h"

namespace quillet {

// How the desktop's volume mixer (GNOME's and KDE's sound settings,
// pavucontrol) lists the player's stream: PulseAudio's stream properties, which
// PipeWire's PulseAudio server takes as they are, and which PipeWire's own
// protocol has too (the icon under the key application.icon-name). Supplied by
// the program that owns the player. An empty field leaves SDL's default: the
// executable's name, "Audio Stream", no icon and no role.
struct MixerIdentity {
    // application.name: the program's name, as people know it.
    std::string applicationName;
    // application.icon_name: a name in the icon theme, the desktop entry's id.
    std::string iconName;
    // media.name: what the stream carries.
    std::string streamName;
    // media.role, one of PulseAudio's ("game", "music", "event", ...). Mind
    // that mixers gather every "event" stream under one "System Sounds" slider.
    std::string role;
};

// The icon and the role reach the sound server only through the environment:
// SDL 2.26 has no hint for the icon and hands the role to PipeWire's own
// protocol only. libpulse adds the value of every PULSE_PROP_<key> variable to
// its connection's properties, and the server passes them on to the
// connection's streams; libpipewire reads PIPEWIRE_PROPS, a set of properties
// in PipeWire's own notation, for every stream it makes, which is how the icon
// reaches a stream of SDL's PipeWire driver. Sets
// PULSE_PROP_application.icon_name, PULSE_PROP_media.role and PIPEWIRE_PROPS
// (with application.icon-name), each unless the user has set it already.
// Changing the environment races with any other thread that reads it, so call
// this while the process still has a single thread, before Qt or the player
// has started one: early in main().
void exportMixerIdentity(const MixerIdentity& identity);

struct SdlFunctions;

// Cues played through SDL2's own audio: the wave loader, SDL's format
// conversion and one audio device fed by a callback, with only SDL's audio
// subsystem in use and SDL's signal handlers left out, so that SIGTERM and
// SIGINT still end the program. The cue file is looked up beside the program
// and read anew at every play.
//
// One audio thread, started by the constructor, makes every SDL call but the
// device's callback. SDL itself is loaded there, at run time, when Prepare is
// called or the first cue is asked for, so neither starting the program nor
// constructing the player waits for it. The device is open only from a cue
// until a few seconds of silence; at rest the player costs no CPU time. A
// device that cannot be opened, the first time or any later one, is tried
// again by a later cue, after a pause that doubles with each failure in a row.
//
// Both calls only queue the cue's name for that thread, which looks up, reads
// and decodes its file. play returns then; playAndWait first lets the
// thread handle everything queued before it, then skips the cue if one is
// sounding, or plays it and waits for its end. While there is no usable sound
// device every call returns at once and nothing sounds.
//
// A cue longer than MaxCueSeconds, or whose sound, decoded or converted for
// the device, would take more than MaxCueBytes, is not decoded: it stays
// silent, and the first time in the run that it is asked for, one line on
// standard error says so.
//
// Only one player should exist at a time in a process: while one is alive, a
// second one stays silent.
class SdlCuePlayer : public CuePlayer {
public:
    // `directory` answers where the cue files lie; by default programDirectory.
    // It is asked on the audio thread, at every play. `identity` names the
    // stream in the volume mixer; it is handed to SDL on the audio thread,
    // before SDL's audio starts. Its icon and role need exportMixerIdentity as
    // well.
    //
    // `loadSdl` stands in for loading SDL, for tests that make a call fail;
    // by default SDL is loaded as sdl() does it.
    explicit SdlCuePlayer(std::function<std::string()> directory = programDirectory,
                          MixerIdentity identity = {},
                          std::function<const SdlFunctions*()> loadSdl = {});
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
