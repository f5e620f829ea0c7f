#include "sound/mixer_identity.h"

#include <cstdlib>

namespace quillet {

namespace {

// A value in PipeWire's notation for properties: a quoted string with its
// quotes and backslashes escaped.
std::string pipewireString(const std::string& value) {
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

void exportMixerIdentity(const MixerIdentity& identity) {
    if (!identity.iconName.empty()) {
        setenv("PULSE_PROP_application.icon_name", identity.iconName.c_str(), 0);
        const std::string properties =
            "{ application.icon-name = " + pipewireString(identity.iconName) + " }";
        setenv("PIPEWIRE_PROPS", properties.c_str(), 0);
    }
    if (!identity.role.empty()) {
        setenv("PULSE_PROP_media.role", identity.role.c_str(), 0);
    }
}

}  // namespace quillet
