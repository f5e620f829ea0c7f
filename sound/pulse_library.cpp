#include "sound/pulse_library.h"

#include <dlfcn.h>

namespace quillet {

namespace {

// libpulse is loaded by the cue thread, not linked into the program: with the
// libraries it brings it would be loaded before main(), the window would show
// later, and a player who keeps the sound off would pay for it all the same.
constexpr const char* PulseLibrary = "libpulse.so.0";

template <typename Function>
bool find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

const PulseFunctions* pulse() {
    static const PulseFunctions* const loaded = []() -> const PulseFunctions* {
        void* library = dlopen(PulseLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static PulseFunctions functions;
        PulseFunctions& f = functions;
        const bool complete =
            find(library, "pa_mainloop_new", f.mainloopNew) &&
            find(library, "pa_mainloop_free", f.mainloopFree) &&
            find(library, "pa_mainloop_get_api", f.mainloopApi) &&
            find(library, "pa_mainloop_prepare", f.mainloopPrepare) &&
            find(library, "pa_mainloop_poll", f.mainloopPoll) &&
            find(library, "pa_mainloop_dispatch", f.mainloopDispatch) &&
            find(library, "pa_proplist_new", f.proplistNew) &&
            find(library, "pa_proplist_sets", f.proplistSets) &&
            find(library, "pa_proplist_free", f.proplistFree) &&
            find(library, "pa_context_new_with_proplist", f.contextNew) &&
            find(library, "pa_context_connect", f.contextConnect) &&
            find(library, "pa_context_get_state", f.contextState) &&
            find(library, "pa_context_disconnect", f.contextDisconnect) &&
            find(library, "pa_context_unref", f.contextUnref) &&
            find(library, "pa_channel_map_init_auto", f.channelMapInit) &&
            find(library, "pa_stream_new_with_proplist", f.streamNew) &&
            find(library, "pa_stream_set_write_callback", f.streamSetWriteCallback) &&
            find(library, "pa_stream_connect_playback", f.streamConnect) &&
            find(library, "pa_stream_get_state", f.streamState) &&
            find(library, "pa_stream_write", f.streamWrite) &&
            find(library, "pa_stream_flush", f.streamFlush) &&
            find(library, "pa_stream_cork", f.streamCork) &&
            find(library, "pa_stream_trigger", f.streamTrigger) &&
            find(library, "pa_stream_drain", f.streamDrain) &&
            find(library, "pa_stream_update_timing_info", f.streamUpdateTiming) &&
            find(library, "pa_stream_get_timing_info", f.streamTiming) &&
            find(library, "pa_stream_disconnect", f.streamDisconnect) &&
            find(library, "pa_stream_unref", f.streamUnref) &&
            find(library, "pa_operation_unref", f.operationUnref);
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

}  // namespace quillet
