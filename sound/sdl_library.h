#pragma once

#include <SDL.h>

namespace quillet {

// The SDL functions the player calls, looked up in the loaded library: its
// version, the audio subsystem and the driver it picked, the wave loader,
// format conversion and one audio device, with its status.
struct SdlFunctions {
    decltype(&SDL_GetVersion) getVersion = nullptr;
    decltype(&SDL_SetHint) setHint = nullptr;
    decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) quitSubSystem = nullptr;
    decltype(&SDL_GetCurrentAudioDriver) currentAudioDriver = nullptr;
    decltype(&SDL_TLSCleanup) tlsCleanup = nullptr;
    decltype(&SDL_RWFromConstMem) rwFromConstMem = nullptr;
    decltype(&SDL_LoadWAV_RW) loadWav = nullptr;
    decltype(&SDL_FreeWAV) freeWav = nullptr;
    decltype(&SDL_NewAudioStream) newAudioStream = nullptr;
    decltype(&SDL_AudioStreamPut) audioStreamPut = nullptr;
    decltype(&SDL_AudioStreamFlush) audioStreamFlush = nullptr;
    decltype(&SDL_AudioStreamAvailable) audioStreamAvailable = nullptr;
    decltype(&SDL_AudioStreamGet) audioStreamGet = nullptr;
    decltype(&SDL_FreeAudioStream) freeAudioStream = nullptr;
    decltype(&SDL_OpenAudioDevice) openAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) closeAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) pauseAudioDevice = nullptr;
    decltype(&SDL_LockAudioDevice) lockAudioDevice = nullptr;
    decltype(&SDL_UnlockAudioDevice) unlockAudioDevice = nullptr;
    decltype(&SDL_GetAudioDeviceStatus) getAudioDeviceStatus = nullptr;
};

// SDL2 loaded at run time, on first use, and kept for the rest of the process
// (an unloaded SDL could leave threads of its own behind). Null when the
// library is missing or lacks one of the functions: then every cue is silent.
// Call it from the cue thread only: loading takes a while.
const SdlFunctions* sdl();

}  // namespace quillet
