#pragma once

// What the kernel tells about a running process through /proc, for the
// benchmarks: its CPU time, its resident memory and the libraries it has mapped.

#include <sys/types.h>

#include <dirent.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quillet::bench {

// CPU time, user and system, of every live thread of `pid`, in nanoseconds:
// the first field of /proc/PID/task/TID/schedstat, which the scheduler keeps
// to the nanosecond (utime and stime in /proc/PID/stat count only whole 10 ms
// ticks, too coarse to tell 0 from 5 ms). A thread that ends between two
// readings takes its time with it, so compare readings only over a stretch
// in which no thread ends (an idle or playing game starts and ends none).
// `skip`, when given, is a thread left out: the one that does the measuring.
inline std::int64_t processCpuNanoseconds(pid_t pid, pid_t skip = 0) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) return -1;
    std::int64_t total = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || std::to_string(skip) == entry->d_name) continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
        std::int64_t onCpu = 0;
        if (in >> onCpu) total += onCpu;
    }
    closedir(dir);
    return total;
}

// The CPU time of each live thread of `pid`, by thread name (threads of one
// name added up), in nanoseconds; see processCpuNanoseconds.
inline std::map<std::string, std::int64_t> threadCpuNanoseconds(pid_t pid) {
    std::map<std::string, std::int64_t> byName;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) return byName;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string task = tasks + "/" + entry->d_name;
        std::ifstream comm(task + "/comm");
        std::ifstream stat(task + "/schedstat");
        std::string name;
        std::int64_t onCpu = 0;
        if (std::getline(comm, name) && stat >> onCpu) byName[name] += onCpu;
    }
    closedir(dir);
    return byName;
}

// utime + stime of the whole process (ended threads included) in clock ticks,
// from /proc/PID/stat: a coarse cross-check of processCpuNanoseconds.
inline std::int64_t processCpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The command name in brackets may hold blanks: count fields after its end.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    std::int64_t utime = 0, stime = 0;
    // After the name: state is field 3, utime field 14, stime field 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) utime = std::stoll(field);
        if (number == 15) stime = std::stoll(field);
    }
    return utime + stime;
}

struct Memory {
    long rssKb = -1;  // VmRSS: resident now
    long hwmKb = -1;  // VmHWM: the most that was ever resident
};

inline Memory processMemory(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    Memory memory;
    std::string key;
    long value = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        if (!(fields >> key >> value)) continue;
        if (key == "VmRSS:") memory.rssKb = value;
        if (key == "VmHWM:") memory.hwmKb = value;
    }
    return memory;
}

// How many shared libraries `pid` has mapped: the distinct files in
// /proc/PID/maps whose name ends in ".so" or has ".so." in it (the dynamic
// loader, Qt's plugins and the libraries loaded at run time included; fonts,
// locale data and the program itself are not libraries). -1 when unreadable.
inline int mappedLibraries(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    if (!in) return -1;
    std::set<std::string> libraries;
    std::string line;
    while (std::getline(in, line)) {
        const auto slash = line.find('/');
        if (slash == std::string::npos) continue;
        const std::string path = line.substr(slash);
        const std::string name = path.substr(path.rfind('/') + 1);
        const auto so = name.find(".so");
        if (so != std::string::npos && (so + 3 == name.size() || name[so + 3] == '.')) {
            libraries.insert(path);
        }
    }
    return static_cast<int>(libraries.size());
}

// The value below which `fraction` of the samples lie (nearest rank); the
// samples are sorted in place.
inline double percentile(std::vector<double>& samples, double fraction) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    std::size_t rank = static_cast<std::size_t>(std::ceil(fraction * samples.size()));
    rank = std::clamp<std::size_t>(rank, 1, samples.size());
    return samples[rank - 1];
}

}  // namespace quillet::bench
