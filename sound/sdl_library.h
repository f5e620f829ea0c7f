#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

namespace quillet {

// The SDL and mixer functions the player calls, looked up in the loaded library.
struct SdlFunctions {
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_TLSCleanup) TLSCleanup = nullptr;
    decltype(&SDL_RWFromConstMem) RWFromConstMem = nullptr;
    decltype(&Mix_OpenAudio) OpenAudio = nullptr;
    decltype(&Mix_CloseAudio) CloseAudio = nullptr;
    decltype(&Mix_AllocateChannels) AllocateChannels = nullptr;
    decltype(&Mix_ChannelFinished) ChannelFinished = nullptr;
    decltype(&Mix_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&Mix_FreeChunk) FreeChunk = nullptr;
    decltype(&Mix_PlayChannel) PlayChannel = nullptr;
    decltype(&Mix_HaltChannel) HaltChannel = nullptr;
};

// SDL2_mixer and SDL2 loaded at run time, on first use, and kept for the rest
// of the process (an unloaded SDL could leave threads of its own behind). Null
// when the library is missing or lacks one of the functions: then every cue is
// silent. Call it from the audio thread only: loading takes a while.
const SdlFunctions* Sdl();

}  // namespace quillet
