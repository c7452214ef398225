#pragma once

// The generator's source of variety. Built on the raw output of
// std::mt19937_64, which the standard fixes bit for bit, rather than on the
// standard distributions, whose results differ between library vendors: a
// seed gives the same station everywhere.

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <span>

namespace sdf::testing {

class GeneratorRandom
{
public:
    explicit GeneratorRandom(std::uint64_t seed) : _engine(seed) {}

    // Uniform in [0, n); n must be positive. The modulo bias is far below
    // anything a test could notice.
    unsigned below(unsigned n) { return static_cast<unsigned>(_engine() % n); }

    // Uniform in [lo, hi], both included.
    int between(int lo, int hi) { return lo + static_cast<int>(below(static_cast<unsigned>(hi - lo + 1))); }

    // Uniform in [0, 1).
    double unit() { return static_cast<double>(_engine() >> 11) * 0x1.0p-53; }

    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }

    // A measured quantity as people type it: uniform in [lo, hi], rounded to
    // that many decimals.
    double rounded(double lo, double hi, int decimals)
    {
        const double scale = std::pow(10.0, decimals);
        return std::round(uniform(lo, hi) * scale) / scale;
    }

    bool chance(double probability) { return unit() < probability; }

    // By value: the items of an initializer list die with the full
    // expression that names them.
    template <class T>
    T pick(std::span<const T> items)
    {
        return items[below(static_cast<unsigned>(items.size()))];
    }

    template <class T>
    T pick(std::initializer_list<T> items)
    {
        return items.begin()[below(static_cast<unsigned>(items.size()))];
    }

private:
    std::mt19937_64 _engine;
};

} // namespace sdf::testing
