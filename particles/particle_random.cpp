#include "particles/particle_random.h"

#include <algorithm>
#include <iterator>

namespace jolp {
namespace {

// r[i] = r[i - 31] + r[i - 3] (mod 2^32) over a ring of 34 words; the
// output is the new word shifted right once. Seeding fills 31 words from the
// seed with x -> 16807 x mod (2^31 - 1), repeats the first three, and throws
// the first 310 outputs away.
struct Generator {
    uint32_t ring[34];
    int at = 0;  // index of the oldest word: the next one to be replaced

    void Seed(uint32_t seed) {
        int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
        ring[0] = static_cast<uint32_t>(word);
        for (int i = 1; i < 31; ++i) {
            // 16807 * word mod (2^31 - 1) without overflow (Schrage).
            const int32_t hi = word / 127773;
            const int32_t lo = word % 127773;
            word = 16807 * lo - 2836 * hi;
            if (word < 0) word += 2147483647;
            ring[i] = static_cast<uint32_t>(word);
        }
        for (int i = 31; i < 34; ++i) ring[i] = ring[i - 31];
        at = 0;
        for (int i = 0; i < 310; ++i) Next();
    }

    int32_t Next() {
        // ring[at] is r[i - 34]; r[i - 31] and r[i - 3] sit 3 and 31 ahead.
        const uint32_t value = ring[(at + 3) % 34] + ring[(at + 31) % 34];
        ring[at] = value;
        at = (at + 1) % 34;
        return static_cast<int32_t>(value >> 1);
    }

    Generator() { Seed(1); }
};

Generator& TheGenerator() {
    static Generator generator;
    return generator;
}

}  // namespace

int32_t ParticleRand() { return TheGenerator().Next(); }

void ParticleSeed(uint32_t seed) { TheGenerator().Seed(seed); }

ParticleRandomState SaveParticleRandom() {
    ParticleRandomState state;
    const Generator& g = TheGenerator();
    std::copy(std::begin(g.ring), std::end(g.ring), std::begin(state.ring));
    state.at = g.at;
    return state;
}

void RestoreParticleRandom(const ParticleRandomState& state) {
    Generator& g = TheGenerator();
    std::copy(std::begin(state.ring), std::end(state.ring), std::begin(g.ring));
    g.at = state.at;
}

}  // namespace jolp
