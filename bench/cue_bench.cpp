// What the sound cues cost, with the game's own wave files and the real player
// on SDL's disk driver, which consumes the sound in real time, as a device
// would, and writes every buffer it is handed to a FIFO that this program
// reads:
//
//   async_call    the time a play call takes its caller, over 1,000
//                 calls; each is made once the cue before it sounds, so every
//                 call's file is looked up, read and decoded;
//   async_start   the time from a play call until the player counts its cue as
//                 sounding: that look-up, reading and decoding, done on the
//                 audio thread;
//   first_sample  the time from a play call, made in silence at a random
//                 point of the device's period, until the buffer that holds
//                 the cue's first sound reaches the device (the FIFO), over
//                 200 calls;
//   cold_start    the same for a cue that finds the device closed by silence;
//   sync_block    how long playAndWait("click") blocks, against the wave's length;
//   sync_skip     how long playAndWait blocks when a cue is sounding (it skips).
//
// Prints one "key=value ..." line per measure, times in microseconds.

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
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
// its sound data over its bytes a second.
double waveLengthMicroseconds(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    quillet::readCueFile(path, bytes);
    const std::optional<quillet::WaveHeader> header = quillet::readWaveHeader(bytes);
    if (!header || header->sampleRate == 0 || header->blockAlign == 0) return 0;
    return 1e6 * header->dataBytes / (static_cast<double>(header->sampleRate) * header->blockAlign);
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

// The device's side of the sound: SDL's disk driver writes each buffer it is
// handed to SDL_DISKAUDIOFILE, here a FIFO that a thread of this program
// drains and watches. Both players hand SDL signed 16-bit samples, whose
// silence is all zero bytes.
class DeviceTap {
public:
    // Makes the FIFO and points SDL at it; call before the player starts.
    bool start() {
        char folder[] = "/tmp/quillet-cue-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr) return false;
        m_path = std::string(folder) + "/device";
        if (mkfifo(m_path.c_str(), 0600) != 0) return false;
        if (pipe2(m_stopPipe, O_CLOEXEC) != 0) return false;
        m_reader = open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        // A writer of our own keeps the FIFO from reading as ended while the
        // player has its device closed.
        m_keepOpen = open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
        if (m_reader < 0 || m_keepOpen < 0) return false;
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_path.c_str(), 1);
        m_thread = std::thread([this] { drain(); });
        return true;
    }

    ~DeviceTap() {
        if (m_thread.joinable()) {
            (void)!write(m_stopPipe[1], "x", 1);
            m_thread.join();
        }
        for (const int end : m_stopPipe) {
            if (end >= 0) close(end);
        }
        if (m_reader >= 0) close(m_reader);
        if (m_keepOpen >= 0) close(m_keepOpen);
        if (!m_path.empty()) {
            unlink(m_path.c_str());
            rmdir(m_path.substr(0, m_path.rfind('/')).c_str());
        }
    }

    // Waits until a silent buffer has been written after `after`.
    bool waitForSilenceAfter(Clock::time_point after) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(1),
                                  [&] { return m_lastSilence > after; });
    }

    // From now on, notes the first buffer that holds sound.
    void watchForSound() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_firstSound.reset();
    }

    // The moment that first buffer with sound arrived, or nothing after a second.
    std::optional<Clock::time_point> waitForSound() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(1), [&] { return m_firstSound.has_value(); });
        return m_firstSound;
    }

private:
    void drain() {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            // Asleep until the device writes: no CPU time while it is closed.
            pollfd watched[2] = {{m_reader, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            if (poll(watched, 2, -1) < 0 || (watched[1].revents & POLLIN) != 0) break;
            if ((watched[0].revents & POLLIN) == 0) continue;
            const ssize_t got = read(m_reader, buffer.data(), buffer.size());
            const auto now = Clock::now();
            if (got <= 0) continue;
            const bool sound = std::any_of(buffer.begin(), buffer.begin() + got,
                                           [](char byte) { return byte != 0; });
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!sound) {
                m_lastSilence = now;
            } else if (!m_firstSound) {
                m_firstSound = now;
            }
            m_changed.notify_all();
        }
    }

    std::string m_path;
    int m_reader = -1;
    int m_keepOpen = -1;
    int m_stopPipe[2] = {-1, -1};
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Clock::time_point m_lastSilence{};
    std::optional<Clock::time_point> m_firstSound = Clock::time_point{};
};

}  // namespace

// SDL's disk driver writes each buffer with stdio, whose 4 kB buffer held a
// buffer of 512 frames (2 kB) back until the next one came: a sound card takes
// each buffer as it is written. Defined here, in the program, this fwrite is
// the one SDL calls; it hands every write on at once.
extern "C" size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    using Write = size_t (*)(const void*, size_t, size_t, FILE*);
    static const auto write = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "fwrite"));
    const size_t written = write(data, size, count, stream);
    std::fflush(stream);
    return written;
}

namespace {

void print(const char* name, std::vector<double> samples, const char* extra = "") {
    std::printf("%s n=%zu p50=%.1f p99=%.1f max=%.1f%s\n", name, samples.size(),
                percentile(samples, 0.5), percentile(samples, 0.99), percentile(samples, 1.0),
                extra);
}

}  // namespace

int main(int argc, char* argv[]) {
    DeviceTap device;
    if (!device.start()) {
        std::fputs("cue_bench: cannot make the FIFO for SDL's disk driver\n", stderr);
        return 1;
    }
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

    // From silence, so that the first buffer with sound is the cue's own: a
    // cue whose file is missing stops the one sounding, and a silent buffer
    // has gone out before the call. The call then comes at a random point of
    // the device's next period (46 ms, a whole number of the player's
    // buffers), as a player's click would, not right after a buffer went out.
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> phase(0, 46439);
    std::vector<double> firstSamples;
    int heard = 0;
    for (int i = 0; i < 200; ++i) {
        player.play("no cue has this name");
        waitForSilence(player);
        device.waitForSilenceAfter(Clock::now());
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
        device.watchForSound();
        const auto called = Clock::now();
        player.play(cues[i % 5]);
        if (const auto sounded = device.waitForSound()) {
            firstSamples.push_back(microseconds(*sounded - called));
            ++heard;
        }
    }
    std::snprintf(extra, sizeof extra, " heard=%d", heard);
    print("first_sample", firstSamples, extra);

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
