#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Finding a cue's wave file and checking it before it reaches the decoder.
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

// What a wave file declares of its sound: its format chunk and the length of
// its sound data, all that is known before it is played.
struct WaveHeader {
    // The format tags of the encodings the sound server takes as they are.
    enum Encoding : std::uint16_t { Pcm = 1, Float = 3, ALaw = 6, MuLaw = 7 };
    // The format tag (one of Encoding, or another); for an extensible wave,
    // the tag of its sub-format.
    std::uint16_t encoding = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t dataBytes = 0;
    // Where the sound data begins in the file.
    std::uint32_t dataOffset = 0;
};

// The header of `bytes` if it is a RIFF wave whose chunks, up to and including
// its sound data, are all present; nothing otherwise.
std::optional<WaveHeader> readWaveHeader(const std::vector<std::uint8_t>& bytes);

// How a cue's samples are stored, which is how the sound server is handed them:
// the server converts them for its device, so the player never decodes.
enum class SampleFormat { Unsigned8, Signed16, Signed24, Signed32, Float32, ALaw, MuLaw };

struct CueFormat {
    SampleFormat sample = SampleFormat::Signed16;
    std::uint32_t rate = 0;
    std::uint8_t channels = 0;
    // The bytes of one frame: a sample of every channel.
    std::uint32_t frameBytes() const;
    bool operator==(const CueFormat& other) const {
        return sample == other.sample && rate == other.rate && channels == other.channels;
    }
};

// The format of a wave's sound, if the server can play it as it is stored:
// PCM of 8, 16, 24 or 32 bits, 32-bit float, A-law or mu-law, one to eight
// channels, at most 384 kHz, in frames as long as their samples. Nothing for
// any other wave (an ADPCM one, or one whose header makes no sense), which
// stays silent.
std::optional<CueFormat> playableFormat(const WaveHeader& header);

// How long the wave's sound lasts, from its header.
double secondsOf(const WaveHeader& header);

// A cue may last a minute at most. The game's cues last two seconds at most,
// but a file within the size limit of readCueFile may hold far more sound than
// that: 8 MB of 8-bit mono at 1 kHz last more than two hours, a cue that
// would hold the stream as long.
constexpr double MaxCueSeconds = 60;

}  // namespace quillet
