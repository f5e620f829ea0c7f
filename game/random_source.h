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
    virtual void seedFromClock() = 0;
    virtual double nextUniform() = 0;
};

// The game's own generator: seeded once per run from the clock.
class ClockSeededRandom : public RandomSource {
public:
    void seedFromClock() override;
    void seed(std::uint64_t seed) { m_engine.seed(seed); }
    double nextUniform() override;

private:
    std::mt19937_64 m_engine;
};

}  // namespace quillet
