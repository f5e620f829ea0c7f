#include "sound/cue_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet {

namespace {

// Our cues last a second or two; anything bigger than this is not one of them,
// and reading it would only cost time and memory.
constexpr off_t MaxCueFileBytes = 8 * 1024 * 1024;

// The encodings the server takes as they are stored: the wave's format tag and
// bits per sample.
struct Encoding {
    std::uint16_t tag;
    std::uint16_t bits;
    SampleFormat sample;
};
constexpr Encoding Encodings[] = {
    {1, 8, SampleFormat::Unsigned8}, {1, 16, SampleFormat::Signed16},
    {1, 24, SampleFormat::Signed24}, {1, 32, SampleFormat::Signed32},
    {3, 32, SampleFormat::Float32},  {6, 8, SampleFormat::ALaw},
    {7, 8, SampleFormat::MuLaw},
};
constexpr std::uint16_t ExtensibleTag = 0xFFFE;
constexpr std::uint16_t MostChannels = 8;
constexpr std::uint32_t HighestRate = 384000;

std::uint32_t littleEndian(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

// The format of a "fmt " chunk of `length` bytes at `body`, if playable.
std::optional<CueFormat> formatOf(const std::uint8_t* body, std::uint64_t length) {
    if (length < 16) {
        return std::nullopt;
    }
    std::uint32_t tag = littleEndian(body, 2);
    if (tag == ExtensibleTag) {
        // The sub-format's GUID begins with the tag it stands for.
        if (length < 40) {
            return std::nullopt;
        }
        tag = littleEndian(body + 24, 2);
    }
    const std::uint32_t channels = littleEndian(body + 2, 2);
    const std::uint32_t rate = littleEndian(body + 4, 4);
    const std::uint32_t blockAlign = littleEndian(body + 12, 2);
    const std::uint32_t bits = littleEndian(body + 14, 2);
    for (const Encoding& encoding : Encodings) {
        if (encoding.tag != tag || encoding.bits != bits) {
            continue;
        }
        CueFormat format{encoding.sample, rate, static_cast<std::uint8_t>(channels),
                         static_cast<std::uint8_t>(bits / 8)};
        // A frame as long as its samples: a header that claims frames of one
        // byte for wide samples would have them read out of step.
        if (channels == 0 || channels > MostChannels || rate == 0 || rate > HighestRate ||
            blockAlign != format.frameBytes()) {
            return std::nullopt;
        }
        return format;
    }
    return std::nullopt;
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

// The chunks are walked in order: "fmt " must come before "data", any other
// chunk is stepped over. A cut-off cue is not played in part: a chunk that
// claims more than the file holds turns the whole file away.
std::optional<CueSound> readCueSound(const std::vector<std::uint8_t>& file) {
    constexpr size_t RiffHeaderBytes = 12;
    constexpr size_t ChunkHeaderBytes = 8;
    if (file.size() < RiffHeaderBytes || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    std::optional<CueFormat> format;
    size_t at = RiffHeaderBytes;
    while (file.size() - at >= ChunkHeaderBytes) {
        const std::uint8_t* chunk = file.data() + at;
        const std::uint64_t length = littleEndian(chunk + 4, 4);
        at += ChunkHeaderBytes;
        if (length > file.size() - at) {
            return std::nullopt;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            format = formatOf(file.data() + at, length);
            if (!format) {
                return std::nullopt;
            }
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format || length < format->frameBytes()) {
                return std::nullopt;
            }
            return CueSound{*format, at, length / format->frameBytes() * format->frameBytes()};
        }
        // Chunks are padded to an even length.
        at += static_cast<size_t>(length + (length & 1));
        if (at > file.size()) {
            return std::nullopt;
        }
    }
    return std::nullopt;
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
