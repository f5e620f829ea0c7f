#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillet::testing {

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// How a wave file stores its sound.
struct WaveShape {
    uint16_t encoding = 1;  // 1 PCM, 3 float
    uint32_t rate = 22050;
    uint16_t channels = 1;
    uint16_t bits = 16;
};

// The bytes of a wave file holding a quiet tone of `milliseconds`, by default
// 16-bit PCM mono at 22.05 kHz.
std::vector<uint8_t> makeWave(int milliseconds, const WaveShape& shape = {});

void writeBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

// Writes a quiet tone of `milliseconds` to `directory`/`cue`.wav, in the
// device's own format (16-bit stereo at 44.1 kHz): converting it costs a copy,
// so that a cue asked for starts well within the margin that a waiting
// playAndWait allows, even on a busy machine. Resampling a cue of 30 s at
// 22.05 kHz took 0.2 s; other shapes have tests of their own.
void writeCue(const std::filesystem::path& directory, const std::string& cue, int milliseconds);

// Polls `condition` until it holds, giving up after a generous bound. Returns
// whether it came to hold.
bool waitUntil(const std::function<bool()>& condition);

// Waits for the child process `child` to end, until `deadline`; a child still
// running then is killed. Returns whether it ended by itself; `status` holds
// its wait status either way.
bool reapChild(pid_t child, std::chrono::steady_clock::time_point deadline, int& status);

// Runs `action` with the process's stdout and stderr sent to a file, and
// returns whatever was written to either.
std::string capturedOutput(const std::function<void()>& action);

}  // namespace quillet::testing
