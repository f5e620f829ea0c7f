// Launches a program on the current X display and measures it from outside:
// the time until its window is mapped, its resident memory and the number of
// shared libraries it has mapped a while later, and optionally the CPU it uses
// while it is left alone.
//
//   startup_probe [--settle-ms N] [--idle-ms N] -- PROGRAM [ARGS...]
//
// Prints one line: "map_ms=… rss_kb=… hwm_kb=… libs=… idle_cpu_ms=… idle_ticks=…".
// The window is found the way xdotool finds it ("search --onlyvisible --pid"),
// through libxdo over one X connection opened before the launch, polled every
// millisecond: a viewable window whose _NET_WM_PID is the child's.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <xdo.h>
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "bench/proc_stats.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool hasVisibleWindow(const xdo_t* xdo, pid_t pid) {
    xdo_search_t search{};
    search.pid = pid;
    search.only_visible = 1;
    search.max_depth = -1;
    search.require = xdo_search_t::SEARCH_ALL;
    search.searchmask = SEARCH_PID | SEARCH_ONLYVISIBLE;
    Window* windows = nullptr;
    unsigned int count = 0;
    xdo_search_windows(xdo, &search, &windows, &count);
    std::free(windows);
    return count > 0;
}

int usage() {
    std::fputs("usage: startup_probe [--settle-ms N] [--idle-ms N] -- PROGRAM [ARGS...]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    int settleMs = 1000;
    int idleMs = 0;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--") {
            ++first;
            break;
        }
        if (first + 1 >= argc) return usage();
        if (option == "--settle-ms") {
            settleMs = std::atoi(argv[++first]);
        } else if (option == "--idle-ms") {
            idleMs = std::atoi(argv[++first]);
        } else {
            return usage();
        }
    }
    if (first >= argc) return usage();

    xdo_t* xdo = xdo_new(nullptr);
    if (xdo == nullptr) {
        std::fputs("startup_probe: cannot open the X display\n", stderr);
        return 1;
    }
    xdo->quiet = 1;

    const auto launched = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[first], nullptr, nullptr, argv + first, environ) != 0) {
        std::fprintf(stderr, "startup_probe: cannot start %s\n", argv[first]);
        return 1;
    }
    const auto deadline = launched + std::chrono::seconds(30);
    bool mapped = false;
    while (!(mapped = hasVisibleWindow(xdo, pid)) && Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "startup_probe: %s ended before showing a window\n", argv[first]);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto shown = Clock::now();
    if (!mapped) {
        std::fprintf(stderr, "startup_probe: no window from %s\n", argv[first]);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return 1;
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const quillet::bench::Memory memory = quillet::bench::processMemory(pid);
    const int libraries = quillet::bench::mappedLibraries(pid);
    double idleCpuMs = -1;
    long long idleTicks = -1;
    if (idleMs > 0) {
        const auto cpuBefore = quillet::bench::processCpuNanoseconds(pid);
        const auto ticksBefore = quillet::bench::processCpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
        idleCpuMs = (quillet::bench::processCpuNanoseconds(pid) - cpuBefore) / 1e6;
        idleTicks = quillet::bench::processCpuTicks(pid) - ticksBefore;
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    xdo_free(xdo);

    const double mapMs = std::chrono::duration<double, std::milli>(shown - launched).count();
    std::printf("map_ms=%.1f rss_kb=%ld hwm_kb=%ld libs=%d idle_cpu_ms=%.2f idle_ticks=%lld\n",
                mapMs, memory.rssKb, memory.hwmKb, libraries, idleCpuMs, idleTicks);
    return 0;
}
