#pragma once

#include <cstdint>
#include <random>

namespace quillet {

// A source of uniform numbers in [0, 1). Never 1.0: the next-pair draw maps
// 1.0 to a count of 8, a whole cake, which must never be dealt.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Called once per run, when the main window loads.
    virtual void SeedFromClock() = 0;
    virtual double NextUniform() = 0;
};

// The game's own generator: seeded once per run from the clock.
class ClockSeededRandom : public RandomSource {
public:
    void SeedFromClock() override;
    void Seed(std::uint64_t seed) { engine_.seed(seed); }
    double NextUniform() override;

private:
    std::mt19937_64 engine_;
};

}  // namespace quillet
