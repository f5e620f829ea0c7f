#pragma once

#include <pulse/pulseaudio.h>

namespace quillet {

// The libpulse functions the player calls, looked up in the loaded library:
// a main loop that the cue thread runs itself, property lists, the connection
// to the server and one playback stream with its timing.
struct PulseFunctions {
    decltype(&pa_mainloop_new) mainloopNew = nullptr;
    decltype(&pa_mainloop_free) mainloopFree = nullptr;
    decltype(&pa_mainloop_get_api) mainloopApi = nullptr;
    decltype(&pa_mainloop_prepare) mainloopPrepare = nullptr;
    decltype(&pa_mainloop_poll) mainloopPoll = nullptr;
    decltype(&pa_mainloop_dispatch) mainloopDispatch = nullptr;
    decltype(&pa_proplist_new) proplistNew = nullptr;
    decltype(&pa_proplist_sets) proplistSets = nullptr;
    decltype(&pa_proplist_free) proplistFree = nullptr;
    decltype(&pa_context_new_with_proplist) contextNew = nullptr;
    decltype(&pa_context_connect) contextConnect = nullptr;
    decltype(&pa_context_get_state) contextState = nullptr;
    decltype(&pa_context_disconnect) contextDisconnect = nullptr;
    decltype(&pa_context_unref) contextUnref = nullptr;
    decltype(&pa_channel_map_init_auto) channelMapInit = nullptr;
    decltype(&pa_stream_new_with_proplist) streamNew = nullptr;
    decltype(&pa_stream_set_write_callback) streamSetWriteCallback = nullptr;
    decltype(&pa_stream_connect_playback) streamConnect = nullptr;
    decltype(&pa_stream_get_state) streamState = nullptr;
    decltype(&pa_stream_write) streamWrite = nullptr;
    decltype(&pa_stream_flush) streamFlush = nullptr;
    decltype(&pa_stream_cork) streamCork = nullptr;
    decltype(&pa_stream_trigger) streamTrigger = nullptr;
    decltype(&pa_stream_drain) streamDrain = nullptr;
    decltype(&pa_stream_update_timing_info) streamUpdateTiming = nullptr;
    decltype(&pa_stream_get_timing_info) streamTiming = nullptr;
    decltype(&pa_stream_disconnect) streamDisconnect = nullptr;
    decltype(&pa_stream_unref) streamUnref = nullptr;
    decltype(&pa_operation_unref) operationUnref = nullptr;
};

// libpulse loaded at run time, on first use, and kept for the rest of the
// process. Null when the library is missing or lacks one of the functions:
// then every cue is silent. Called from the cue thread only: loading takes a
// while, and a game whose sound stays off never maps the library at all.
const PulseFunctions* pulse();

}  // namespace quillet
