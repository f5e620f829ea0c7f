#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Finding a cue's wave file, reading it, and finding in it the sound the
// server is handed.
namespace quillet {

// The directory that holds the running executable, symlinks resolved, as bytes
// for the file system (no text conversion). Asked anew at every call.
std::string programDirectory();

// The file of cue `cue`: directory, "/", cue, ".wav".
std::string cueFilePath(const std::string& directory, const std::string& cue);

// Puts the whole content of `path` into `bytes` if it is a regular file of a
// plausible size; leaves `bytes` empty otherwise. Never blocks on a FIFO or a
// device given a cue's name. The memory `bytes` already has is used again.
void readCueFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// How a cue's samples are stored, which is how the sound server is handed them:
// the server converts them for its device, so the player never decodes.
enum class SampleFormat { Unsigned8, Signed16, Signed24, Signed32, Float32, ALaw, MuLaw };

struct CueFormat {
    SampleFormat sample = SampleFormat::Signed16;
    std::uint32_t rate = 0;
    std::uint8_t channels = 0;
    // The bytes of one sample of one channel.
    std::uint8_t sampleBytes = 2;
    std::uint32_t frameBytes() const { return std::uint32_t{sampleBytes} * channels; }
    bool operator==(const CueFormat& other) const {
        return sample == other.sample && rate == other.rate && channels == other.channels;
    }
};

// A cue's sound within its file: how it is stored, and where.
struct CueSound {
    CueFormat format;
    // Where the samples begin in the file, and their bytes, whole frames only.
    std::size_t offset = 0;
    std::size_t bytes = 0;
    double seconds() const {
        return static_cast<double>(bytes / format.frameBytes()) / format.rate;
    }
};

// The sound of `file` if it is a RIFF wave, whole up to the end of its sound
// data, that the server can play as it is stored: PCM of 8, 16, 24 or 32 bits,
// 32-bit float, A-law or mu-law, one to eight channels, at most 384 kHz, in
// frames as long as their samples. Nothing for any other file (an ADPCM wave,
// a header that makes no sense, a cut-off file), which stays silent.
std::optional<CueSound> readCueSound(const std::vector<std::uint8_t>& file);

// A cue may last a minute at most. The game's cues last two seconds at most,
// but a file within the size limit of readCueFile may hold far more sound than
// that: 8 MB of 8-bit mono at 1 kHz last more than two hours, a cue that
// would hold the stream as long.
constexpr double MaxCueSeconds = 60;

}  // namespace quillet
