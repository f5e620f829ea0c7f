#include "sound/cue_decoder.h"

#include <algorithm>
#include <optional>

#include "sound/cue_files.h"

namespace quillet {

namespace {

// Decoded sound is converted for the device in pieces of this many bytes, so
// that converting never holds more than the cue's decoded and converted sound.
// SDL's working buffer grows with the piece: at 64 kB it took fresh memory
// for every cue, and writing to fresh memory (a page fault every 4 kB) made
// converting a cue fifty times slower than at 4 kB.
constexpr Uint32 ConversionPieceBytes = 4 * 1024;

}  // namespace

DecodedCue CueDecoder::decode(const std::string& path, const SDL_AudioSpec& device,
                              std::vector<Uint8>& samples) {
    DecodedCue cue;
    samples.clear();
    readCueFile(path, m_file);
    const std::optional<WaveHeader> header = readWaveHeader(m_file);
    if (!header) {
        return cue;
    }
    const DecodedSize most = mostDecodedSize(*header);
    if (most.frames == 0) {
        return cue;
    }
    // What the device will be handed: the same length at its own rate and
    // channels.
    const std::uint64_t converted = static_cast<std::uint64_t>(most.seconds * device.freq + 1) *
                                    device.channels * (SDL_AUDIO_BITSIZE(device.format) / 8);
    const std::uint64_t bytes = std::max(most.bytes, converted);
    if (most.seconds > MaxCueSeconds || bytes > MaxCueBytes) {
        cue.tooLarge = true;
        cue.seconds = most.seconds;
        cue.bytes = bytes;
        return cue;
    }
    SDL_RWops* source = m_sdl.rwFromConstMem(m_file.data(), static_cast<int>(m_file.size()));
    if (source == nullptr) {
        return cue;
    }
    SDL_AudioSpec spec{};
    Uint8* decoded = nullptr;
    Uint32 decodedBytes = 0;
    if (m_sdl.loadWav(source, 1, &spec, &decoded, &decodedBytes) == nullptr) {
        return cue;
    }
    if (decodedBytes <= most.bytes) {
        samples.reserve(converted);
        convert(spec, decoded, decodedBytes, device, samples);
    }
    m_sdl.freeWav(decoded);
    cue.ready = !samples.empty();
    return cue;
}

// Appends `decoded`, in the device's format, to the empty `converted`, through
// an SDL audio stream fed in pieces: the result's size follows the cue's
// length, which is bounded. Leaves `converted` empty on failure.
void CueDecoder::convert(const SDL_AudioSpec& from, const Uint8* decoded, Uint32 length,
                         const SDL_AudioSpec& device, std::vector<Uint8>& converted) {
    SDL_AudioStream* stream = m_sdl.newAudioStream(from.format, from.channels, from.freq,
                                                   device.format, device.channels, device.freq);
    if (stream == nullptr) {
        return;
    }
    const auto drain = [&]() {
        const int available = m_sdl.audioStreamAvailable(stream);
        if (available <= 0) {
            return true;
        }
        const size_t at = converted.size();
        converted.resize(at + static_cast<size_t>(available));
        const int got = m_sdl.audioStreamGet(stream, converted.data() + at, available);
        converted.resize(at + static_cast<size_t>(std::max(got, 0)));
        return got >= 0;
    };
    // SDL takes whole frames only: three channels of 16 bits do not divide
    // a piece of 4 kB.
    const Uint32 frameBytes = std::max(1u, SDL_AUDIO_BITSIZE(from.format) / 8u * from.channels);
    const Uint32 pieceBytes = std::max(1u, ConversionPieceBytes / frameBytes) * frameBytes;
    bool fine = true;
    for (Uint32 at = 0; fine && at < length; at += pieceBytes) {
        const int piece = static_cast<int>(std::min(pieceBytes, length - at));
        fine = m_sdl.audioStreamPut(stream, decoded + at, piece) == 0 && drain();
    }
    fine = fine && m_sdl.audioStreamFlush(stream) == 0 && drain();
    m_sdl.freeAudioStream(stream);
    if (!fine) {
        converted.clear();
    }
}

}  // namespace quillet
