#include "sound/sdl_library.h"

#include <dlfcn.h>

namespace quillet {

namespace {

// SDL2 is loaded by the cue thread, not linked into the program: with the
// libraries it needs it would be loaded before main(), and the window would
// show up later. Its sound-server drivers load their client libraries
// themselves, only once audio starts.
constexpr const char* SdlLibrary = "libSDL2-2.0.so.0";

template <typename Function>
bool find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

const SdlFunctions* sdl() {
    static const SdlFunctions* const loaded = []() -> const SdlFunctions* {
        void* library = dlopen(SdlLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static SdlFunctions functions;
        SdlFunctions& f = functions;
        const bool complete = find(library, "SDL_GetVersion", f.getVersion) &&
                              find(library, "SDL_SetHint", f.setHint) &&
                              find(library, "SDL_InitSubSystem", f.initSubSystem) &&
                              find(library, "SDL_QuitSubSystem", f.quitSubSystem) &&
                              find(library, "SDL_GetCurrentAudioDriver", f.currentAudioDriver) &&
                              find(library, "SDL_TLSCleanup", f.tlsCleanup) &&
                              find(library, "SDL_RWFromConstMem", f.rwFromConstMem) &&
                              find(library, "SDL_LoadWAV_RW", f.loadWav) &&
                              find(library, "SDL_FreeWAV", f.freeWav) &&
                              find(library, "SDL_NewAudioStream", f.newAudioStream) &&
                              find(library, "SDL_AudioStreamPut", f.audioStreamPut) &&
                              find(library, "SDL_AudioStreamFlush", f.audioStreamFlush) &&
                              find(library, "SDL_AudioStreamAvailable", f.audioStreamAvailable) &&
                              find(library, "SDL_AudioStreamGet", f.audioStreamGet) &&
                              find(library, "SDL_FreeAudioStream", f.freeAudioStream) &&
                              find(library, "SDL_OpenAudioDevice", f.openAudioDevice) &&
                              find(library, "SDL_CloseAudioDevice", f.closeAudioDevice) &&
                              find(library, "SDL_PauseAudioDevice", f.pauseAudioDevice) &&
                              find(library, "SDL_LockAudioDevice", f.lockAudioDevice) &&
                              find(library, "SDL_UnlockAudioDevice", f.unlockAudioDevice) &&
                              find(library, "SDL_GetAudioDeviceStatus", f.getAudioDeviceStatus);
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

}  // namespace quillet
