#include "game/random_source.h"

#include <chrono>

namespace quillet {

void ClockSeededRandom::seedFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    seed(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

double ClockSeededRandom::nextUniform() {
    // The top 53 bits scaled by 2^-53: every value is exactly representable and
    // the largest is 1 - 2^-53. (std::generate_canonical may round up to 1.0.)
    return static_cast<double>(m_engine() >> 11) * 0x1.0p-53;
}

}  // namespace quillet
