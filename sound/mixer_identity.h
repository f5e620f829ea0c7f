#pragma once

#include <string>

namespace quillet {

// How the desktop's volume mixer (GNOME's and KDE's sound settings,
// pavucontrol) lists the player's stream: PulseAudio's stream properties, which
// PipeWire's PulseAudio server takes as they are. Supplied by the program that
// owns the player, and set on the connection and the stream, never through the
// environment. An empty field leaves libpulse's default (the executable's
// name; "Sound cues" for the stream's).
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

}  // namespace quillet
