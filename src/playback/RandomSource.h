#pragma once

#include <cstdint>
#include <random>

namespace zumbal {

// Uniform numbers in [0, 1) for the random hits. Injected so that a render or
// a test can be repeated exactly.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double next() = 0;
    // The seed the numbers come from, which also picks the steps a chance
    // plays; 0 for a source without one.
    virtual uint64_t seed() const { return 0; }
};

class SeededRandom final : public RandomSource {
public:
    explicit SeededRandom(uint64_t seed = std::random_device{}()) : m_seed(seed), m_engine(seed) {}
    double next() override { return m_uniform(m_engine); }
    uint64_t seed() const override { return m_seed; }

private:
    uint64_t m_seed;
    std::mt19937_64 m_engine;
    std::uniform_real_distribution<double> m_uniform{0.0, 1.0};
};

} // namespace zumbal
