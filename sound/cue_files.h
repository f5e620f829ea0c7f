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
// its sound data, all that is known before it is decoded.
struct WaveHeader {
    // The format tags of the encodings SDL decodes.
    enum Encoding : std::uint16_t {
        Pcm = 1,
        MsAdpcm = 2,
        Float = 3,
        ALaw = 6,
        MuLaw = 7,
        ImaAdpcm = 0x11
    };
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

// The most that a wave's sound can decode into, worked out from its header
// alone, for the encodings SDL decodes: PCM, float, A-law, mu-law and the two
// ADPCMs. All zero for any other encoding, or a header that makes no sense.
struct DecodedSize {
    std::uint64_t frames = 0;
    // At the wave's own rate and channels, in the sample formats SDL decodes into.
    std::uint64_t bytes = 0;
    double seconds = 0;
};
DecodedSize mostDecodedSize(const WaveHeader& header);

// What a cue may become. The game's cues last two seconds at most, but a file
// within the size limit of readCueFile may hold far more sound than that: 8 MB
// of 8-bit mono at 1 kHz last more than two hours, and take 1.4 GB converted
// for the device (176 kB a second at 44.1 kHz in 16-bit stereo). The bytes
// count the larger of the decoded and the converted sound.
constexpr double MaxCueSeconds = 60;
constexpr std::uint64_t MaxCueBytes = 32 * 1024 * 1024;

}  // namespace quillet
