#pragma once

#include <chrono>
#include <optional>

namespace quillet {

// How far ahead of the sound card PulseAudio keeps the player's stream.
//
// SDL2's PulseAudio driver asks the server for a stream as long as one device
// buffer, and hands the server a buffer piece by piece, each piece when the
// server asks for it. From SDL 2.28 on, those requests reach SDL's thread by
// way of a thread of libpulse's own, and with 1,024-frame buffers (23 ms) the
// stream still ran empty inside cues on a quiet machine: gaps a player hears
// as crackles. Asking for a stream two buffers long ended them, on SDL 2.32
// as on 2.26 (see BENCHMARKS.md). SDL2 has no hint for this; libpulse takes
// the length, in whole milliseconds, from PULSE_LATENCY_MSEC.
constexpr std::chrono::milliseconds PulseAudioStreamLatency{46};

// Sets PULSE_LATENCY_MSEC to PulseAudioStreamLatency unless the user has set it
// already. Changing the environment races with any other thread that reads it,
// so call this while the process still has a single thread, as
// exportMixerIdentity.
void exportStreamLatency();

// The stream length that a value of PULSE_LATENCY_MSEC asks libpulse for: a
// whole number of milliseconds in decimal digits, above zero. Nothing for no
// value, or one that libpulse ignores or may read otherwise (a sign, spaces,
// another base); then SDL's own request stands. Lengths beyond a second count
// as a second, longer than a playAndWait caller waits anyway (see
// CueRequests::WaitMargin).
std::optional<std::chrono::milliseconds> streamLatencyAskedBy(const char* value);

}  // namespace quillet
