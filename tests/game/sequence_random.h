#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "game/random_source.h"

namespace quillet::testing {

// Deals the numbers it was given, in order, starting again from the first when
// they run out, so {0.0} alone deals the same number for ever. It counts what
// was taken and how often the game asked to be seeded.
class SequenceRandom : public RandomSource {
public:
    explicit SequenceRandom(std::vector<double> numbers = {0.0}) : m_numbers(std::move(numbers)) {}

    // When set, every number taken also writes "random" into this log; pointing
    // it at RecordingView::events shows the draws among the visible effects.
    std::vector<std::string>* journal = nullptr;

    int taken = 0;
    int seedCalls = 0;

    void seedFromClock() override { ++seedCalls; }
    double nextUniform() override {
        if (journal) journal->push_back("random");
        const double value =
            m_numbers[static_cast<std::size_t>(taken - m_offset) % m_numbers.size()];
        ++taken;
        return value;
    }

    // Replaces the numbers still to come; `taken` keeps counting.
    void deal(std::vector<double> numbers) {
        m_numbers = std::move(numbers);
        m_offset = taken;
    }

private:
    std::vector<double> m_numbers;
    int m_offset = 0;
};

}  // namespace quillet::testing
