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

std::uint32_t CueFormat::frameBytes() const {
    switch (sample) {
        case SampleFormat::Signed16:
            return 2u * channels;
        case SampleFormat::Signed24:
            return 3u * channels;
        case SampleFormat::Signed32:
        case SampleFormat::Float32:
            return 4u * channels;
        default:
            return channels;
    }
}

std::optional<CueFormat> playableFormat(const WaveHeader& header) {
    constexpr std::uint16_t MostChannels = 8;
    constexpr std::uint32_t HighestRate = 384000;
    CueFormat format;
    format.rate = header.sampleRate;
    format.channels = static_cast<std::uint8_t>(header.channels);
    const std::uint16_t bits = header.bitsPerSample;
    switch (header.encoding) {
        case WaveHeader::Pcm:
            if (bits == 8) {
                format.sample = SampleFormat::Unsigned8;
            } else if (bits == 16) {
                format.sample = SampleFormat::Signed16;
            } else if (bits == 24) {
                format.sample = SampleFormat::Signed24;
            } else if (bits == 32) {
                format.sample = SampleFormat::Signed32;
            } else {
                return std::nullopt;
            }
            break;
        case WaveHeader::Float:
            if (bits != 32) {
                return std::nullopt;
            }
            format.sample = SampleFormat::Float32;
            break;
        case WaveHeader::ALaw:
        case WaveHeader::MuLaw:
            if (bits != 8) {
                return std::nullopt;
            }
            format.sample =
                header.encoding == WaveHeader::ALaw ? SampleFormat::ALaw : SampleFormat::MuLaw;
            break;
        default:
            return std::nullopt;
    }
    if (header.channels == 0 || header.channels > MostChannels || header.sampleRate == 0 ||
        header.sampleRate > HighestRate || header.blockAlign != format.frameBytes() ||
        header.dataBytes < format.frameBytes()) {
        return std::nullopt;
    }
    return format;
}

double secondsOf(const WaveHeader& header) {
    if (header.blockAlign == 0 || header.sampleRate == 0) {
        return 0;
    }
    return static_cast<double>(header.dataBytes / header.blockAlign) / header.sampleRate;
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
