#include "sound_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace quillet::testing {

namespace fs = std::filesystem;

namespace {

void putLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void putTag(std::vector<uint8_t>& bytes, const char* tag) {
    bytes.insert(bytes.end(), tag, tag + 4);
}

}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillet-sound-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<uint8_t> makeWave(int milliseconds, const WaveShape& shape) {
    const uint32_t frames = static_cast<uint32_t>(static_cast<uint64_t>(shape.rate) * milliseconds / 1000);
    const uint32_t sampleBytes = shape.bits / 8u;
    const uint32_t frameBytes = sampleBytes * shape.channels;
    const uint32_t dataBytes = frames * frameBytes;
    std::vector<uint8_t> bytes;
    putTag(bytes, "RIFF");
    putLittleEndian(bytes, 36 + dataBytes, 4);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    putLittleEndian(bytes, 16, 4);
    putLittleEndian(bytes, shape.encoding, 2);
    putLittleEndian(bytes, shape.channels, 2);
    putLittleEndian(bytes, shape.rate, 4);
    putLittleEndian(bytes, shape.rate * frameBytes, 4);
    putLittleEndian(bytes, frameBytes, 2);
    putLittleEndian(bytes, shape.bits, 2);
    putTag(bytes, "data");
    putLittleEndian(bytes, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        // A quiet tone: about a sixteenth of full scale.
        const double tone = 0.06 * std::sin(2.0 * M_PI * 440.0 * i / shape.rate);
        for (uint16_t channel = 0; channel < shape.channels; ++channel) {
            if (shape.encoding == 3) {
                const float value = static_cast<float>(tone);
                uint32_t raw = 0;
                std::memcpy(&raw, &value, 4);
                putLittleEndian(bytes, raw, 4);
            } else if (shape.bits == 8) {
                bytes.push_back(static_cast<uint8_t>(128 + static_cast<int>(127 * tone)));
            } else {
                const double scale = std::ldexp(1.0, static_cast<int>(shape.bits) - 1) - 1;
                const auto value = static_cast<int32_t>(scale * tone);
                putLittleEndian(bytes, static_cast<uint32_t>(value), static_cast<int>(sampleBytes));
            }
        }
    }
    return bytes;
}

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

void writeCue(const fs::path& directory, const std::string& cue, int milliseconds) {
    writeBytes(directory / (cue + ".wav"), makeWave(milliseconds, WaveShape{1, 44100, 2, 16}));
}

bool waitUntil(const std::function<bool()>& condition) {
    for (int tries = 0; tries < 1000; ++tries) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

bool reapChild(pid_t child, std::chrono::steady_clock::time_point deadline, int& status) {
    for (;;) {
        if (waitpid(child, &status, WNOHANG) == child) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string capturedOutput(const std::function<void()>& action) {
    TempFolder folder;
    const std::string file = (folder.path() / "output").string();
    std::fflush(stdout);
    std::fflush(stderr);
    const int sink = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    dup2(sink, STDOUT_FILENO);
    dup2(sink, STDERR_FILENO);
    action();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);
    close(sink);
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quillet::testing
