// Finds the gaps a player would hear inside a cue in a recording of what the
// sound server played (bench/sound_servers.sh records a PulseAudio null
// sink's monitor while the held game plays):
//
//   cue_gaps --cues DIR RECORDING
//
// RECORDING is raw 16-bit little-endian stereo at the cues' rate, as parec
// writes it; DIR holds the cue wave files. Prints "cuts=N frames=F" and, for
// each cut, "cut at_s=… silence_frames=…".
//
// When the player's stream has nothing ready, the server plays silence in its
// place and the cue goes on later: a stretch of digital silence with sound
// on both sides. Three kinds of such a stretch are not cuts:
//   - a cue's own end: every cue fades to a sample of 1 or 2 before it ends,
//     so the sample before the silence is quiet;
//   - a cue's own pauses: each is reached by the same fade;
//   - a new cue that takes over a sounding one and opens with silence of its
//     own: the samples after the silence are that cue's first ones.
// So a cut is a silence of at least MinSilence frames after a sample of at
// least LoudSample, which is not followed by the opening of a cue.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "sound/cue_files.h"

namespace {

// 0.36 ms: shorter runs of exact zeros occur inside the cues' waves.
constexpr std::size_t MinSilence = 16;
// Far above the 1 or 2 that every cue's fade ends on.
constexpr int LoudSample = 64;
// The recording's rate, the cues' own.
constexpr double RecordingRate = 44100.0;
// How many of a cue's first sounding samples must follow a silence for it to
// be that cue's opening.
constexpr std::size_t OpeningLength = 8;

// Ten minutes of the recording's 16-bit stereo: sound_servers.sh records
// seconds, and a file beyond this is not one of its recordings.
constexpr std::uintmax_t LargestRecording = 600 * 44100 * 4;

// The recording at `path`, read whole; nothing when it cannot be read or is
// larger than LargestRecording.
std::optional<std::vector<char>> readRecording(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > LargestRecording) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes(size);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
    return bytes;
}

// The little-endian sample at `offset` of a recording or a wave's data.
template <typename Byte>
std::int16_t sampleAt(const std::vector<Byte>& bytes, std::size_t offset) {
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                     static_cast<std::uint8_t>(bytes[offset + 1]) << 8);
}

// The first OpeningLength samples after a cue's leading silence; empty for a
// file that is not a 16-bit mono PCM wave, as every cue of the game is.
std::vector<std::int16_t> cueOpening(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    quillet::readCueFile(path.string(), bytes);
    const std::optional<quillet::CueSound> sound = quillet::readCueSound(bytes);
    if (!sound || sound->format.sample != quillet::SampleFormat::Signed16 ||
        sound->format.channels != 1) {
        return {};
    }
    const std::size_t end = sound->offset + sound->bytes;
    std::vector<std::int16_t> opening;
    for (std::size_t at = sound->offset; at + 1 < end && opening.size() < OpeningLength;
         at += 2) {
        const std::int16_t sample = sampleAt(bytes, at);
        if (sample != 0 || !opening.empty()) opening.push_back(sample);
    }
    return opening;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "--cues") != 0) {
        std::fprintf(stderr, "usage: cue_gaps --cues DIR RECORDING\n");
        return 2;
    }
    std::vector<std::vector<std::int16_t>> openings;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
        if (entry.path().extension() != ".wav") continue;
        std::vector<std::int16_t> opening = cueOpening(entry.path());
        if (opening.size() == OpeningLength) openings.push_back(std::move(opening));
    }
    if (openings.empty()) {
        std::fprintf(stderr, "cue_gaps: no cue wave in %s\n", argv[2]);
        return 2;
    }

    // The left channel: the cues are mono, played alike on both.
    const std::optional<std::vector<char>> recording = readRecording(argv[3]);
    if (!recording) {
        std::fprintf(stderr, "cue_gaps: %s: not a recording that can be read, or longer than ten minutes\n",
                     argv[3]);
        return 2;
    }
    const std::vector<char>& bytes = *recording;
    std::vector<std::int16_t> left;
    left.reserve(bytes.size() / 4);
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) left.push_back(sampleAt(bytes, i));

    const auto opensACue = [&](std::size_t at) {
        return std::any_of(openings.begin(), openings.end(), [&](const auto& opening) {
            return at + OpeningLength <= left.size() &&
                   std::equal(opening.begin(), opening.end(), left.begin() + at);
        });
    };
    int cuts = 0;
    for (std::size_t at = 1; at < left.size(); ++at) {
        if (left[at] != 0 || left[at - 1] == 0) continue;
        std::size_t end = at;
        while (end < left.size() && left[end] == 0) ++end;
        const bool loudBefore = std::abs(left[at - 1]) >= LoudSample;
        if (end - at >= MinSilence && end < left.size() && loudBefore && !opensACue(end)) {
            ++cuts;
            std::printf("cut at_s=%.3f silence_frames=%zu\n", at / RecordingRate, end - at);
        }
        at = end;
    }
    std::printf("cuts=%d frames=%zu\n", cuts, left.size());
    return 0;
}
