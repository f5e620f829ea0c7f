#include "sound_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace quillet::testing {

namespace fs = std::filesystem;

namespace {

constexpr int SampleRate = 22050;

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

std::vector<uint8_t> makeWave(int milliseconds) {
    const uint32_t samples = static_cast<uint32_t>(SampleRate) * milliseconds / 1000;
    const uint32_t dataBytes = samples * 2;
    std::vector<uint8_t> bytes;
    putTag(bytes, "RIFF");
    putLittleEndian(bytes, 36 + dataBytes, 4);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    putLittleEndian(bytes, 16, 4);
    putLittleEndian(bytes, 1, 2);  // PCM
    putLittleEndian(bytes, 1, 2);  // mono
    putLittleEndian(bytes, SampleRate, 4);
    putLittleEndian(bytes, SampleRate * 2, 4);
    putLittleEndian(bytes, 2, 2);
    putLittleEndian(bytes, 16, 2);
    putTag(bytes, "data");
    putLittleEndian(bytes, dataBytes, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double tone = std::sin(2.0 * M_PI * 440.0 * i / SampleRate);
        putLittleEndian(bytes, static_cast<uint16_t>(static_cast<int16_t>(2000 * tone)), 2);
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
    writeBytes(directory / (cue + ".wav"), makeWave(milliseconds));
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
