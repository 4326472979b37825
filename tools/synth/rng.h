// A small deterministic generator (splitmix64), so one seed gives the same
// recording with any standard library.
#pragma once

#include <cstdint>

namespace kiv::synth {

class TRng {
public:
    explicit TRng(uint64_t seed) : FState(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

    uint32_t Next() {
        uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 32);
    }
    // 0 .. n-1 (0 when n is 0).
    uint32_t Below(uint32_t n) { return n ? uint32_t((uint64_t(Next()) * n) >> 32) : 0; }
    // lo .. hi inclusive.
    int32_t Range(int32_t lo, int32_t hi) {
        return hi <= lo ? lo : lo + int32_t(Below(uint32_t(hi - lo) + 1));
    }
    double Unit() { return Next() / 4294967296.0; }
    bool Chance(double p) { return Unit() < p; }

private:
    uint64_t FState;
};

} // namespace kiv::synth
