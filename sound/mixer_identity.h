#pragma once

#include <string>

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

}  // namespace quillet
