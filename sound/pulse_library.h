#pragma once

#include <pulse/pulseaudio.h>

namespace quillet {

// The libpulse functions the player calls, each as the member's name and the
// function's: a main loop that the cue thread runs itself, property lists, the
// connection to the server and one playback stream with its timing. Listed
// once, for the table below and for looking them up.
#define QUILLET_PULSE_FUNCTIONS(F) \
    F(mainloopNew, pa_mainloop_new) \
    F(mainloopFree, pa_mainloop_free) \
    F(mainloopApi, pa_mainloop_get_api) \
    F(mainloopPrepare, pa_mainloop_prepare) \
    F(mainloopPoll, pa_mainloop_poll) \
    F(mainloopDispatch, pa_mainloop_dispatch) \
    F(proplistNew, pa_proplist_new) \
    F(proplistSets, pa_proplist_sets) \
    F(proplistFree, pa_proplist_free) \
    F(contextNew, pa_context_new_with_proplist) \
    F(contextConnect, pa_context_connect) \
    F(contextState, pa_context_get_state) \
    F(contextDisconnect, pa_context_disconnect) \
    F(contextUnref, pa_context_unref) \
    F(channelMapInit, pa_channel_map_init_auto) \
    F(streamNew, pa_stream_new_with_proplist) \
    F(streamSetWriteCallback, pa_stream_set_write_callback) \
    F(streamConnect, pa_stream_connect_playback) \
    F(streamState, pa_stream_get_state) \
    F(streamWrite, pa_stream_write) \
    F(streamFlush, pa_stream_flush) \
    F(streamCork, pa_stream_cork) \
    F(streamTrigger, pa_stream_trigger) \
    F(streamDrain, pa_stream_drain) \
    F(streamDisconnect, pa_stream_disconnect) \
    F(streamUnref, pa_stream_unref) \
    F(operationUnref, pa_operation_unref)

// The functions, looked up in the loaded library.
struct PulseFunctions {
#define QUILLET_PULSE_MEMBER(member, function) decltype(&function) member = nullptr;
    QUILLET_PULSE_FUNCTIONS(QUILLET_PULSE_MEMBER)
#undef QUILLET_PULSE_MEMBER
};

// libpulse loaded at run time, on first use, and kept for the rest of the
// process. Null when the library is missing or lacks one of the functions:
// then every cue is silent. Called from the cue thread only: loading takes a
// while, and a game whose sound stays off never maps the library at all.
const PulseFunctions* pulse();

}  // namespace quillet
