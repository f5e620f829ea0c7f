#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sound/sdl_library.h"

namespace quillet {

// What became of a cue file.
struct DecodedCue {
    // Whether the samples hold the cue's sound, ready for the device.
    bool ready = false;
    // Set for a cue turned away before it was decoded, because it would last
    // more than MaxCueSeconds or take more than MaxCueBytes: how long it would
    // last, and how much it would take.
    bool tooLarge = false;
    double seconds = 0;
    std::uint64_t bytes = 0;
};

// Turns a cue's wave file into samples in the device's format, with SDL's wave
// loader and format conversion. No threads: it runs where it is called, and
// takes as long as the file's size allows. The file is checked before SDL sees
// it, and a cue that would exceed its bounds once decoded is never decoded.
class CueDecoder {
public:
    explicit CueDecoder(const SdlFunctions& sdl) : m_sdl(sdl) {}

    // Reads the file at `path` anew and puts its sound, converted for
    // `device`, into `samples`, which is left empty when the cue cannot play.
    // The memory `samples` already has is used again.
    DecodedCue decode(const std::string& path, const SDL_AudioSpec& device,
                      std::vector<Uint8>& samples);

    // Lets go of the memory kept for the next file.
    void releaseMemory() { m_file = std::vector<std::uint8_t>(); }

private:
    void convert(const SDL_AudioSpec& from, const Uint8* decoded, Uint32 length,
                 const SDL_AudioSpec& device, std::vector<Uint8>& converted);

    const SdlFunctions& m_sdl;
    // The last file read, kept for its memory: memory the process already has
    // costs nothing to write to, while fresh memory costs a page fault every
    // 4 kB, which made reading a cue ten times slower.
    std::vector<std::uint8_t> m_file;
};

}  // namespace quillet
