// What the sound cues cost, with the game's own wave files and the real player
// on SDL's dummy driver (it consumes the sound in real time, as a device would):
//
//   async_call    the time a play call takes its caller, over 1,000
//                 calls; each is made once the cue before it sounds, so every
//                 call's file is looked up, read and decoded;
//   async_start   the time from a play call until its cue sounds: that
//                 look-up, reading and decoding, done on the audio thread;
//   cold_start    the same for a cue that finds the device closed by silence;
//   sync_block    how long playAndWait("click") blocks, against the wave's length;
//   sync_skip     how long playAndWait blocks when a cue is sounding (it skips).
//
// Prints one "key=value ..." line per measure, times in microseconds.

#include <dirent.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/proc_stats.h"
#include "sound/cue_files.h"
#include "sound/sdl_cue_player.h"

namespace {

using Clock = std::chrono::steady_clock;
using quillet::bench::percentile;

double microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// The length of a PCM wave file in microseconds, from its header: the size of
// its data chunk over its byte rate.
double waveLengthMicroseconds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u32 = [&bytes](std::size_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        return value;
    };
    std::uint32_t byteRate = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t length = u32(at + 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0) byteRate = u32(at + 16);
        if (std::memcmp(bytes.data() + at, "data", 4) == 0 && byteRate > 0) {
            return 1e6 * length / byteRate;
        }
        at += 8 + length + (length & 1);
    }
    return 0;
}

// Whether SDL's own audio thread, which exists only while the device is open,
// is running in this process.
bool deviceThreadRunning() {
    DIR* tasks = opendir("/proc/self/task");
    bool found = false;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name.rfind("SDLAudio", 0) == 0) found = true;
    }
    closedir(tasks);
    return found;
}

// Polls until the player has started more than `before` cues; returns when it
// saw that, or gives up after a second.
Clock::time_point waitForStart(const quillet::SdlCuePlayer& player, int before) {
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    while (player.playsStarted() == before && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    return Clock::now();
}

void waitForSilence(const quillet::SdlCuePlayer& player) {
    while (player.isSounding()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void print(const char* name, std::vector<double> samples, const char* extra = "") {
    std::printf("%s n=%zu p50=%.1f p99=%.1f max=%.1f%s\n", name, samples.size(),
                percentile(samples, 0.5), percentile(samples, 0.99), percentile(samples, 1.0),
                extra);
}

}  // namespace

int main(int argc, char* argv[]) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Short sleeps while polling: the kernel's default slack would add 50 µs.
    prctl(PR_SET_TIMERSLACK, 1UL);
    const int calls = argc > 1 ? std::atoi(argv[1]) : 1000;

    quillet::SdlCuePlayer player;
    player.prepare();
    player.playAndWait("click");
    if (player.playsStarted() != 1) {
        std::fprintf(stderr, "cue_bench: the click did not play; are the cues beside %s?\n",
                     argv[0]);
        return 1;
    }

    // The cues the game plays asynchronously, in turn.
    const char* const cues[] = {"add0", "add", "add2", "start", "claps"};
    std::vector<double> callTimes;
    std::vector<double> startTimes;
    for (int i = 0; i < calls; ++i) {
        const int before = player.playsStarted();
        const auto called = Clock::now();
        player.play(cues[i % 5]);
        const auto returned = Clock::now();
        const auto started = waitForStart(player, before);
        callTimes.push_back(microseconds(returned - called));
        startTimes.push_back(microseconds(started - called));
    }
    const int played = player.playsStarted() - 1;
    char extra[64];
    std::snprintf(extra, sizeof extra, " played=%d", played);
    print("async_call", callTimes, extra);
    print("async_start", startTimes);

    // playAndWait plays the click to its end when nothing sounds.
    const std::string clickFile = quillet::cueFilePath(quillet::programDirectory(), "click");
    const double clickLength = waveLengthMicroseconds(clickFile);
    std::vector<double> blocked;
    std::vector<double> beyondLength;
    std::vector<double> skipped;
    for (int i = 0; i < 20; ++i) {
        waitForSilence(player);
        const auto called = Clock::now();
        player.playAndWait("click");
        const double block = microseconds(Clock::now() - called);
        blocked.push_back(block);
        beyondLength.push_back(block - clickLength);
        // And skips it, returning at once, while an asynchronous cue sounds.
        player.play("add0");
        waitForStart(player, player.playsStarted() - 1);
        const auto skipCalled = Clock::now();
        player.playAndWait("click");
        skipped.push_back(microseconds(Clock::now() - skipCalled));
    }
    std::snprintf(extra, sizeof extra, " wave=%.1f", clickLength);
    print("sync_block", blocked, extra);
    print("sync_beyond_wave", beyondLength);
    print("sync_skip", skipped);

    // Left in silence, the player closes the device (SDL's thread goes) and
    // its threads cost no CPU; the next cue opens the device again.
    std::vector<double> coldStarts;
    int closed = 0;
    double silentCpuMs = 0;
    for (int i = 0; i < 2; ++i) {
        waitForSilence(player);
        std::this_thread::sleep_for(std::chrono::milliseconds(5500));
        closed += deviceThreadRunning() ? 0 : 1;
        // The player's threads only: this one, which measures, is left out.
        const auto cpuBefore = quillet::bench::processCpuNanoseconds(getpid(), getpid());
        std::this_thread::sleep_for(std::chrono::seconds(1));
        silentCpuMs +=
            (quillet::bench::processCpuNanoseconds(getpid(), getpid()) - cpuBefore) / 1e6;
        const int before = player.playsStarted();
        const auto called = Clock::now();
        player.play("add0");
        coldStarts.push_back(microseconds(waitForStart(player, before) - called));
    }
    std::snprintf(extra, sizeof extra, " closed_by_silence=%d/2 silent_cpu_ms=%.2f", closed,
                  silentCpuMs);
    print("cold_start", coldStarts, extra);
    return 0;
}
