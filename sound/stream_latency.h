#pragma once

#include <chrono>
#include <optional>

namespace quillet {

// The length of stream that a value of PULSE_LATENCY_MSEC asks libpulse for.
// SDL2's PulseAudio driver asks the server for a stream one device buffer
// long; a user who sets this variable (a common cure for crackles) gets a
// longer one, which holds a cue's end for longer: the player then waits that
// much longer before a cue counts as heard (see AudioDevice::hasPlayedOut).
//
// A whole number of milliseconds in decimal digits, above zero. Nothing for no
// value, or one that libpulse ignores or may read otherwise (a sign, spaces,
// another base); then SDL's own request stands. Lengths beyond a second count
// as a second, longer than a playAndWait caller waits anyway (see
// CueRequests::WaitMargin).
std::optional<std::chrono::milliseconds> streamLatencyAskedBy(const char* value);

}  // namespace quillet
