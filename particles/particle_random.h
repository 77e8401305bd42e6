// particle_random.h - the particles' own rand(): the same generator and the
// same numbers as the C library's rand() on this system (an additive
// feedback generator over 31 words, seeded by a Park-Miller sequence, 0 to
// 2^31 - 1), with a state of its own. A graphics driver or a library that
// calls rand() or srand() therefore cannot change which particles are born,
// and a run draws the same particles whatever else happens in the process.
//
// One state for the whole process; main thread only. Unseeded it starts as
// the C library's does (seed 1).
#pragma once

#include <cstdint>

namespace jolp {

// The next number, 0 to 2147483647.
int32_t ParticleRand();
// Restarts the sequence as srand(seed) restarts rand()'s (0 counts as 1).
void ParticleSeed(uint32_t seed);

// The generator's whole state, to replay the same numbers again.
struct ParticleRandomState {
    uint32_t ring[34];
    int at;
};
ParticleRandomState SaveParticleRandom();
void RestoreParticleRandom(const ParticleRandomState& state);

}  // namespace jolp
