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

std::uint32_t readLittleEndian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

// The whole content of `path` if it is a regular file of a plausible size;
// empty otherwise. O_NONBLOCK keeps a FIFO that has been given a cue's name
// from blocking the open; fstat then turns it away with every other file that
// is not a regular one.
std::vector<std::uint8_t> readCueFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return bytes;
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
    return bytes;
}

// Whether `bytes` is a RIFF wave whose chunks, up to and including its sound
// data, are all present. A cut-off cue is not played in part: it is skipped
// like any other broken file, and a data length that claims more than the file
// holds is never handed on to the decoder, which would reserve that much.
bool isCompleteWave(const std::vector<std::uint8_t>& bytes) {
    constexpr size_t RiffHeaderBytes = 12;
    constexpr size_t ChunkHeaderBytes = 8;
    if (bytes.size() < RiffHeaderBytes || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool hasFormat = false;
    size_t at = RiffHeaderBytes;
    while (bytes.size() - at >= ChunkHeaderBytes) {
        const std::uint8_t* header = bytes.data() + at;
        const std::uint64_t length = readLittleEndian32(header + 4);
        at += ChunkHeaderBytes;
        if (length > bytes.size() - at) {
            return false;
        }
        if (std::memcmp(header, "fmt ", 4) == 0) {
            hasFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            return hasFormat && length > 0;
        }
        // Chunks are padded to an even length.
        at += static_cast<size_t>(length + (length & 1));
        if (at > bytes.size()) {
            return false;
        }
    }
    return false;
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
