#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

namespace quillet {

// The SDL and mixer functions the player calls, looked up in the loaded library.
struct SdlFunctions {
    decltype(&SDL_SetHint) setHint = nullptr;
    decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) quitSubSystem = nullptr;
    decltype(&SDL_TLSCleanup) tlsCleanup = nullptr;
    decltype(&SDL_RWFromConstMem) rwFromConstMem = nullptr;
    decltype(&Mix_OpenAudio) openAudio = nullptr;
    decltype(&Mix_CloseAudio) closeAudio = nullptr;
    decltype(&Mix_AllocateChannels) allocateChannels = nullptr;
    decltype(&Mix_ChannelFinished) channelFinished = nullptr;
    decltype(&Mix_LoadWAV_RW) loadWav = nullptr;
    decltype(&Mix_FreeChunk) freeChunk = nullptr;
    decltype(&Mix_PlayChannel) playChannel = nullptr;
    decltype(&Mix_HaltChannel) haltChannel = nullptr;
};

// SDL2_mixer and SDL2 loaded at run time, on first use, and kept for the rest
// of the process (an unloaded SDL could leave threads of its own behind). Null
// when the library is missing or lacks one of the functions: then every cue is
// silent. Call it from the audio thread only: loading takes a while.
const SdlFunctions* sdl();

}  // namespace quillet
