// What the sound cues cost, with the real player and the game's own click,
// through whatever sound server libpulse finds (bench/sound_servers.sh starts a
// private PulseAudio with a null sink; set QUILLET_BENCH_SERVER_PID to its
// process to count the server's CPU time too):
//
//   rss           resident memory before the player's first use and once a
//                 click has been heard: what loading the sound library,
//                 connecting and opening the stream add;
//   sync_block    how long playAndWait("click") blocks, against the wave's
//                 length, over 40 calls 300 ms apart;
//   sync_skip     how long playAndWait blocks while another cue sounds;
//   cpu_play      CPU time of this process (and of the server), in ms per 10 s,
//                 with a click every second;
//   cpu_rest      the same over 10 s of rest, once silence has closed the stream;
//   reopen_block  playAndWait("click") on a stream that silence has closed.
//
// Prints one "key=value ..." line per measure. The same source builds against
// another player with the same calls (an earlier version's, in a folder of its
// own), for a comparison in the same session:
//   g++ -std=c++17 -O2 -I<other tree> -I<this tree> bench/cue_bench.cpp \
//     -DQUILLET_BENCH_PLAYER_HEADER='"sound/other_player.h"' \
//     -DQUILLET_BENCH_PLAYER=quillet::OtherPlayer <other tree's sound library> -ldl -lpthread
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/proc_stats.h"
#include "sound/cue_files.h"
#ifdef QUILLET_BENCH_PLAYER
#include QUILLET_BENCH_PLAYER_HEADER
using Player = QUILLET_BENCH_PLAYER;
#else
#include "sound/pulse_cue_player.h"
using Player = quillet::PulseCuePlayer;
#endif

namespace {

using Clock = std::chrono::steady_clock;
using quillet::bench::percentile;
using quillet::bench::processCpuNanoseconds;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

double waveMilliseconds(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    quillet::readCueFile(path, bytes);
    const auto sound = quillet::readCueSound(bytes);
    return sound ? 1000.0 * sound->seconds() : 0;
}

// CPU time of this process and of the server over `length`, in ms per 10 s,
// while `during` runs (it returns when `length` is over).
void printCpu(const char* key, pid_t server, std::chrono::seconds length,
              const std::function<void(Clock::time_point)>& during) {
    const std::int64_t ownBefore = processCpuNanoseconds(getpid());
    const std::int64_t serverBefore = server > 0 ? processCpuNanoseconds(server) : 0;
    const Clock::time_point end = Clock::now() + length;
    during(end);
    const double per10s = 10.0 / static_cast<double>(length.count()) / 1e6;
    const double own = static_cast<double>(processCpuNanoseconds(getpid()) - ownBefore) * per10s;
    const double serverCpu =
        server > 0 ? static_cast<double>(processCpuNanoseconds(server) - serverBefore) * per10s
                   : -1;
    std::printf("%s game_ms_per_10s=%.1f server_ms_per_10s=%.1f\n", key, own, serverCpu);
}

}  // namespace

int main() {
    const char* serverPid = std::getenv("QUILLET_BENCH_SERVER_PID");
    const pid_t server = serverPid ? static_cast<pid_t>(std::atoi(serverPid)) : 0;
    const std::string click = quillet::cueFilePath(quillet::programDirectory(), "click");
    const double clickMs = waveMilliseconds(click);

    const long bareKb = residentKb();
    Player player;
    player.prepare();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    player.playAndWait("click");
    std::printf("rss before_kb=%ld sound_kb=%ld added_kb=%ld heard=%d\n", bareKb, residentKb(),
                residentKb() - bareKb, player.playsStarted());

    std::vector<double> blocks;
    for (int call = 0; call < 40; ++call) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Clock::time_point start = Clock::now();
        player.playAndWait("click");
        blocks.push_back(milliseconds(Clock::now() - start));
    }
    std::printf("sync_block wave_ms=%.1f p50_ms=%.1f p99_ms=%.1f max_ms=%.1f heard=%d\n", clickMs,
                percentile(blocks, 0.5), percentile(blocks, 0.99), percentile(blocks, 1.0),
                player.playsStarted());

    player.play("claps");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point skipStart = Clock::now();
    player.playAndWait("click");
    std::printf("sync_skip ms=%.2f\n", milliseconds(Clock::now() - skipStart));
    std::this_thread::sleep_for(std::chrono::seconds(3));

    printCpu("cpu_play", server, std::chrono::seconds(10), [&](Clock::time_point end) {
        while (Clock::now() < end) {
            player.play("click");
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });
    // Silence closes the stream after 5 s.
    std::this_thread::sleep_for(std::chrono::seconds(7));
    printCpu("cpu_rest", server, std::chrono::seconds(10),
             [](Clock::time_point end) { std::this_thread::sleep_until(end); });

    std::vector<double> reopen;
    for (int call = 0; call < 3; ++call) {
        const Clock::time_point start = Clock::now();
        player.playAndWait("click");
        reopen.push_back(milliseconds(Clock::now() - start));
        std::this_thread::sleep_for(std::chrono::seconds(6));
    }
    std::printf("reopen_block wave_ms=%.1f p50_ms=%.1f max_ms=%.1f\n", clickMs,
                percentile(reopen, 0.5), percentile(reopen, 1.0));
    return 0;
}
