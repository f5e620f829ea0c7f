#include "sound/sdl_library.h"

#include <dlfcn.h>

namespace quillet {

namespace {

// SDL2_mixer, and SDL2 with it, are loaded by the audio thread, not linked into
// the program: together with the codec and sound-server libraries they bring
// along they are some forty shared libraries, and loading them before main()
// made the window show up a fifth later. The mixer names SDL2 as a dependency,
// so its handle reaches the SDL functions too.
constexpr const char* MixerLibrary = "libSDL2_mixer-2.0.so.0";

template <typename Function>
bool find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

const SdlFunctions* sdl() {
    static const SdlFunctions* const loaded = []() -> const SdlFunctions* {
        void* library = dlopen(MixerLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static SdlFunctions functions;
        SdlFunctions& f = functions;
        const bool complete = find(library, "SDL_SetHint", f.setHint) &&
                              find(library, "SDL_InitSubSystem", f.initSubSystem) &&
                              find(library, "SDL_QuitSubSystem", f.quitSubSystem) &&
                              find(library, "SDL_TLSCleanup", f.tlsCleanup) &&
                              find(library, "SDL_RWFromConstMem", f.rwFromConstMem) &&
                              find(library, "Mix_OpenAudio", f.openAudio) &&
                              find(library, "Mix_CloseAudio", f.closeAudio) &&
                              find(library, "Mix_AllocateChannels", f.allocateChannels) &&
                              find(library, "Mix_ChannelFinished", f.channelFinished) &&
                              find(library, "Mix_LoadWAV_RW", f.loadWav) &&
                              find(library, "Mix_FreeChunk", f.freeChunk) &&
                              find(library, "Mix_PlayChannel", f.playChannel) &&
                              find(library, "Mix_HaltChannel", f.haltChannel);
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

}  // namespace quillet
