#pragma once

#include <cstdint>
#include <random>

namespace quarrow {

// Random draws that are the same on every platform for a given seed: the
// engine is fully specified by the standard, and the distributions are our
// own because the library's differ between implementations.
class SampleRandom {
public:
    explicit SampleRandom(std::uint64_t seed) : engine_(seed) {}

    // Uniform in [0, n); n > 0. Rejects the few values that would make the
    // low results more likely.
    std::uint64_t below(std::uint64_t n) {
        const std::uint64_t threshold = (0 - n) % n;
        for (;;) {
            const std::uint64_t x = engine_();
            if (x >= threshold) return x % n;
        }
    }

    // Uniform in [low, high].
    std::int64_t between(std::int64_t low, std::int64_t high) {
        return low + std::int64_t(below(std::uint64_t(high - low) + 1));
    }

    bool oneIn(std::uint64_t n) { return below(n) == 0; }

private:
    std::mt19937_64 engine_;
};

}  // namespace quarrow
