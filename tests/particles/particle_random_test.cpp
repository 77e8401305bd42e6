// The particles' own rand() gives the C library's numbers from its own
// state: the same sequence for the same seed, untouched by srand().
#include "particles/particle_random.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace jolp {
namespace {

TEST(ParticleRandTest, GivesTheCLibrarysSequenceForEverySeedAndIgnoresSrand) {
    for (uint32_t seed : {1u, 0u, 12345u, 4000000000u}) {
        std::srand(seed);
        ParticleSeed(seed);
        for (int i = 0; i < 2000; ++i) {
            const int expected = std::rand();
            std::srand(7);  // stirs the C library's state, not ours
            for (int k = 0; k <= i % 3; ++k) (void)std::rand();
            ASSERT_EQ(ParticleRand(), expected) << "seed " << seed << ", draw " << i;
            // Bring the C library's reference back to where ours is.
            std::srand(seed);
            for (int k = 0; k <= i; ++k) (void)std::rand();
        }
    }
}

}  // namespace
}  // namespace jolp
