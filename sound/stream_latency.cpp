#include "sound/stream_latency.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr std::chrono::milliseconds LongestCountedLatency{1000};

}  // namespace

std::optional<std::chrono::milliseconds> streamLatencyAskedBy(const char* value) {
    if (value == nullptr || *value == '\0' || *value == '0') {
        return std::nullopt;
    }
    long long total = 0;
    for (const char* c = value; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return std::nullopt;
        }
        // Past the cap the digits still have to be digits; the sum stops growing.
        total = std::min<long long>(total * 10 + (*c - '0'), LongestCountedLatency.count());
    }
    return std::chrono::milliseconds(total);
}

}  // namespace quillet
