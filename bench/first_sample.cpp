// When a cue's first sample comes out of the sound server, after play() is
// called: the real player plays the game's click through whatever server
// libpulse finds, while parec records the sink's monitor at a short latency.
//
//   first_sample --cues DIR --source MONITOR [--plays N] [--idle-ms MS]
//
// Builds against an earlier tree's player too, as cue_bench does:
//   g++ -std=c++17 -O2 -I<other tree> -I<this tree> bench/first_sample.cpp
//     <other tree's sound library> -ldl -lpthread   (one line)
//
// Each read of the recording is stamped when it arrives; a sample's time is the
// stamp less the frames after it in that read. The first sample of the click
// that is not silence, less the click's own leading silence, against the
// moment play() was called, is the figure. Its error: what the recorder takes
// to hand a round of the monitor over (at most its latency, 2 ms asked) makes
// every figure late, never early, so the figures are upper bounds. MS is the
// pause before each play: 300 ms keeps the stream open, 6000 lets silence
// close it first. Prints "first_sample_ms p50=.. p99=.. max=.. n=..".
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/proc_stats.h"
#include "sound/cue_files.h"
#ifdef QUILLET_BENCH_PLAYER_HEADER
#include QUILLET_BENCH_PLAYER_HEADER
#else
#include "sound/pulse_cue_player.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr double RecordRate = 44100;

std::mutex heardLock;
std::optional<Clock::time_point> heardAt;
std::atomic<bool> listening{false};

// Reads raw 16-bit stereo from `fd` until it ends, stamping the first sound
// once listening is set.
void listen(int fd) {
    std::vector<std::int16_t> samples(4096);
    for (;;) {
        const ssize_t got = read(fd, samples.data(), samples.size() * 2);
        const Clock::time_point stamp = Clock::now();
        if (got <= 0) return;
        const std::size_t frames = static_cast<std::size_t>(got) / 4;
        if (!listening) continue;
        for (std::size_t frame = 0; frame < frames; ++frame) {
            if (samples[2 * frame] == 0 && samples[2 * frame + 1] == 0) continue;
            const double after = static_cast<double>(frames - frame) / RecordRate;
            std::lock_guard<std::mutex> lock(heardLock);
            heardAt = stamp - std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(after));
            listening = false;
            break;
        }
    }
}

// The seconds of silence the game's click (16-bit mono at 44.1 kHz) begins
// with. Read here, not through the player's own reader, so that the same
// source builds against an earlier player.
double leadingSilence(const std::string& directory) {
    std::vector<std::uint8_t> bytes;
    quillet::readCueFile(quillet::cueFilePath(directory, "click"), bytes);
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        std::uint32_t length = 0;
        std::memcpy(&length, bytes.data() + at + 4, 4);
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            for (std::size_t sample = at + 8; sample + 1 < bytes.size(); sample += 2) {
                if (bytes[sample] != 0 || bytes[sample + 1] != 0) {
                    return static_cast<double>((sample - at - 8) / 2) / 44100;
                }
            }
            return 0;
        }
        at += 8 + length + (length & 1);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string directory;
    std::string source;
    int plays = 40;
    int idleMs = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--cues") directory = argv[i + 1];
        else if (option == "--source") source = argv[i + 1];
        else if (option == "--plays") plays = std::atoi(argv[i + 1]);
        else if (option == "--idle-ms") idleMs = std::atoi(argv[i + 1]);
    }
    if (directory.empty() || source.empty() || plays <= 0 || idleMs < 0) {
        std::fprintf(stderr,
                     "usage: first_sample --cues DIR --source MONITOR [--plays N] [--idle-ms MS]\n");
        return 2;
    }
    int ends[2];
    if (pipe(ends) != 0) return 1;
    const pid_t recorder = fork();
    if (recorder == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(ends[1], STDOUT_FILENO);
        close(ends[0]);
        execlp("parec", "parec", "-d", source.c_str(), "--raw", "--format=s16le", "--rate=44100",
               "--channels=2", "--latency-msec=2", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    std::thread listener(listen, ends[0]);
    const double silence = leadingSilence(directory);
    // The recorder's own stream settles first: a sink that a new listener has
    // just woken is not the player's doing.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<double> figures;
    {
        quillet::PulseCuePlayer player([directory] { return directory; });
        player.prepare();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        for (int play = 0; play < plays; ++play) {
            std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
            {
                std::lock_guard<std::mutex> lock(heardLock);
                heardAt.reset();
            }
            listening = true;
            const Clock::time_point asked = Clock::now();
            player.play("click");
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            std::lock_guard<std::mutex> lock(heardLock);
            listening = false;
            // Each play's figure on standard error, "-" for one not heard
            // within 250 ms.
            if (heardAt) {
                figures.push_back(
                    std::chrono::duration<double, std::milli>(*heardAt - asked).count() -
                    1000 * silence);
                std::fprintf(stderr, "%.1f ", figures.back());
            } else {
                std::fprintf(stderr, "- ");
            }
        }
    }
    kill(recorder, SIGTERM);
    waitpid(recorder, nullptr, 0);
    listener.join();
    if (figures.empty()) {
        std::printf("first_sample_ms n=0\n");
        return 1;
    }
    const std::size_t heard = figures.size();
    const double p50 = quillet::bench::percentile(figures, 0.5);
    const double p99 = quillet::bench::percentile(figures, 0.99);
    const double most = quillet::bench::percentile(figures, 1.0);
    std::printf("first_sample_ms p50=%.1f p99=%.1f max=%.1f n=%zu of %d\n", p50, p99, most, heard,
                plays);
    return 0;
}
