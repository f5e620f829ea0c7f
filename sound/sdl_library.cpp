#include "sound/sdl_library.h"

#include <dlfcn.h>

namespace quillet {

namespace {

// SDL2_mixer, and SDL2 with it, are loaded by the audio thread, not linked into
// the program: together with the codec and sound-server libraries they bring
// along they are some forty shared libraries, and loading them before main()
// made the window show up a fifth later. The mixer names SDL2 as a dependency,
// so its handle reaches the SDL functions too.
constexpr const char* kMixerLibrary = "libSDL2_mixer-2.0.so.0";

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

const SdlFunctions* Sdl() {
    static const SdlFunctions* const loaded = []() -> const SdlFunctions* {
        void* library = dlopen(kMixerLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static SdlFunctions functions;
        SdlFunctions& f = functions;
        const bool complete = Find(library, "SDL_SetHint", f.SetHint) &&
                              Find(library, "SDL_InitSubSystem", f.InitSubSystem) &&
                              Find(library, "SDL_QuitSubSystem", f.QuitSubSystem) &&
                              Find(library, "SDL_TLSCleanup", f.TLSCleanup) &&
                              Find(library, "SDL_RWFromConstMem", f.RWFromConstMem) &&
                              Find(library, "Mix_OpenAudio", f.OpenAudio) &&
                              Find(library, "Mix_CloseAudio", f.CloseAudio) &&
                              Find(library, "Mix_AllocateChannels", f.AllocateChannels) &&
                              Find(library, "Mix_ChannelFinished", f.ChannelFinished) &&
                              Find(library, "Mix_LoadWAV_RW", f.LoadWAV_RW) &&
                              Find(library, "Mix_FreeChunk", f.FreeChunk) &&
                              Find(library, "Mix_PlayChannel", f.PlayChannel) &&
                              Find(library, "Mix_HaltChannel", f.HaltChannel);
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

}  // namespace quillet
