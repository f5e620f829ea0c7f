#include "sound/cue_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillet {

namespace {

// Our cues last a second or two; anything bigger than this is not one of them,
// and reading it would only cost time and memory.
constexpr off_t MaxCueFileBytes = 8 * 1024 * 1024;

std::uint16_t readLittleEndian16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t readLittleEndian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

// O_NONBLOCK keeps a FIFO that has been given a cue's name from blocking the
// open; fstat then turns it away with every other file that is not a regular
// one.
void readCueFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        status.st_size <= MaxCueFileBytes) {
        bytes.resize(static_cast<size_t>(status.st_size));
        size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            filled += static_cast<size_t>(got);
        }
        // A file that shrank while it was read is judged by what was there.
        bytes.resize(filled);
    }
    close(fd);
}

// A cut-off cue is not played in part: it is skipped like any other broken
// file, and a data length that claims more than the file holds is never handed
// on to the decoder, which would reserve that much.
std::optional<WaveHeader> readWaveHeader(const std::vector<std::uint8_t>& bytes) {
    constexpr size_t RiffHeaderBytes = 12;
    constexpr size_t ChunkHeaderBytes = 8;
    constexpr size_t PlainFormatBytes = 16;
    constexpr size_t ExtensibleFormatBytes = 40;
    constexpr std::uint16_t Extensible = 0xFFFE;
    if (bytes.size() < RiffHeaderBytes || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    WaveHeader header;
    bool hasFormat = false;
    size_t at = RiffHeaderBytes;
    while (bytes.size() - at >= ChunkHeaderBytes) {
        const std::uint8_t* chunk = bytes.data() + at;
        const std::uint64_t length = readLittleEndian32(chunk + 4);
        at += ChunkHeaderBytes;
        if (length > bytes.size() - at) {
            return std::nullopt;
        }
        const std::uint8_t* body = bytes.data() + at;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < PlainFormatBytes) {
                return std::nullopt;
            }
            header.encoding = readLittleEndian16(body);
            header.channels = readLittleEndian16(body + 2);
            header.sampleRate = readLittleEndian32(body + 4);
            header.blockAlign = readLittleEndian16(body + 12);
            header.bitsPerSample = readLittleEndian16(body + 14);
            if (header.encoding == Extensible) {
                // The sub-format's GUID begins with the tag it stands for.
                if (length < ExtensibleFormatBytes) {
                    return std::nullopt;
                }
                header.encoding = readLittleEndian16(body + 24);
            }
            hasFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!hasFormat || length == 0) {
                return std::nullopt;
            }
            header.dataBytes = static_cast<std::uint32_t>(length);
            header.dataOffset = static_cast<std::uint32_t>(at);
            return header;
        }
        // Chunks are padded to an even length.
        at += static_cast<size_t>(length + (length & 1));
        if (at > bytes.size()) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Counted as SDL counts them, so that no header can make SDL decode more than
// the bound says. SDL takes a PCM or float wave's frames to be its data length
// over the header's block alignment, which may be smaller than the frame's
// samples (it only has to divide them): a 24-bit wave of eight channels aligned
// to single bytes counts 24 times the frames it holds, and SDL widens each of
// them to eight 32-bit samples, 256 MiB from 8 MB of file. The other PCM sizes
// and float are copied as they are, whole blocks of the data. An A-law or
// mu-law frame takes one byte a channel. An ADPCM block holds at most two
// samples a channel for each of its bytes, and a couple more in its header. SDL
// decodes 24 and 32-bit PCM and float into 32 bits, the companded and ADPCM
// encodings into 16, and 8 and 16-bit PCM as they are.
DecodedSize mostDecodedSize(const WaveHeader& header) {
    constexpr std::uint16_t MostChannels = 8;
    DecodedSize size;
    const std::uint64_t channels = header.channels;
    const std::uint64_t blockAlign = header.blockAlign;
    if (channels == 0 || channels > MostChannels || header.sampleRate == 0 || blockAlign == 0) {
        return size;
    }
    const std::uint64_t sampleBytes = (header.bitsPerSample + 7u) / 8u;
    std::uint64_t decodedSampleBytes = 2;
    std::uint64_t decodedBytes = 0;
    switch (header.encoding) {
        case WaveHeader::Pcm:
        case WaveHeader::Float: {
            if (sampleBytes == 0 || sampleBytes > 4 ||
                (header.encoding == WaveHeader::Float && sampleBytes != 4)) {
                return size;
            }
            const std::uint64_t blocks = header.dataBytes / blockAlign;
            decodedSampleBytes = sampleBytes <= 2 ? sampleBytes : 4;
            decodedBytes = sampleBytes == 3 ? blocks * channels * 4 : blocks * blockAlign;
            break;
        }
        case WaveHeader::ALaw:
        case WaveHeader::MuLaw:
            decodedBytes = header.dataBytes / channels * channels * 2;
            break;
        case WaveHeader::MsAdpcm:
        case WaveHeader::ImaAdpcm: {
            const std::uint64_t blocks = (header.dataBytes + blockAlign - 1u) / blockAlign;
            decodedBytes = blocks * (2 + 2u * blockAlign / channels) * channels * 2;
            break;
        }
        default:
            return size;
    }
    size.frames = decodedBytes / (channels * decodedSampleBytes);
    // Padding that SDL keeps decodes no larger than the data itself.
    size.bytes = std::max<std::uint64_t>(decodedBytes, header.dataBytes);
    size.seconds = static_cast<double>(size.frames) / header.sampleRate;
    return size;
}

std::string programDirectory() {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0) {
            return std::string();
        }
        if (static_cast<size_t>(length) < target.size()) {
            target.resize(static_cast<size_t>(length));
            break;
        }
        // The link may have been cut off at the buffer's end: ask again with more room.
        if (target.size() >= 64 * 1024) {
            return std::string();
        }
        target.resize(target.size() * 2);
    }
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    if (slash == 0) {
        return "/";
    }
    target.resize(slash);
    return target;
}

std::string cueFilePath(const std::string& directory, const std::string& cue) {
    return directory + "/" + cue + ".wav";
}

}  // namespace quillet
