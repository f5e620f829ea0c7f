#include "sound_test_support.h"

#include <fcntl.h>
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

constexpr int kSampleRate = 22050;

void PutLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutTag(std::vector<uint8_t>& bytes, const char* tag) {
    bytes.insert(bytes.end(), tag, tag + 4);
}

}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillet-sound-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<uint8_t> MakeWave(int milliseconds) {
    const uint32_t samples = static_cast<uint32_t>(kSampleRate) * milliseconds / 1000;
    const uint32_t data_bytes = samples * 2;
    std::vector<uint8_t> bytes;
    PutTag(bytes, "RIFF");
    PutLittleEndian(bytes, 36 + data_bytes, 4);
    PutTag(bytes, "WAVE");
    PutTag(bytes, "fmt ");
    PutLittleEndian(bytes, 16, 4);
    PutLittleEndian(bytes, 1, 2);  // PCM
    PutLittleEndian(bytes, 1, 2);  // mono
    PutLittleEndian(bytes, kSampleRate, 4);
    PutLittleEndian(bytes, kSampleRate * 2, 4);
    PutLittleEndian(bytes, 2, 2);
    PutLittleEndian(bytes, 16, 2);
    PutTag(bytes, "data");
    PutLittleEndian(bytes, data_bytes, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double tone = std::sin(2.0 * M_PI * 440.0 * i / kSampleRate);
        PutLittleEndian(bytes, static_cast<uint16_t>(static_cast<int16_t>(2000 * tone)), 2);
    }
    return bytes;
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

void WriteCue(const fs::path& directory, const std::string& cue, int milliseconds) {
    WriteBytes(directory / (cue + ".wav"), MakeWave(milliseconds));
}

bool WaitUntil(const std::function<bool()>& condition) {
    for (int tries = 0; tries < 1000; ++tries) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

std::string CapturedOutput(const std::function<void()>& action) {
    TempFolder folder;
    const std::string file = (folder.Path() / "output").string();
    std::fflush(stdout);
    std::fflush(stderr);
    const int sink = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int saved_out = dup(STDOUT_FILENO);
    const int saved_err = dup(STDERR_FILENO);
    dup2(sink, STDOUT_FILENO);
    dup2(sink, STDERR_FILENO);
    action();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_out, STDOUT_FILENO);
    dup2(saved_err, STDERR_FILENO);
    close(saved_out);
    close(saved_err);
    close(sink);
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quillet::testing
