// Random numbers: CRandomGenerator, the abstract source, and CMersenneTwister, the standard
// 32-bit MT19937. The twister keeps no state in its objects: one 624-word state is shared by
// the whole process, so seeding any instance reseeds all of them. Not thread-safe.
#pragma once

#include <cstdint>

class CRandomGenerator {
public:
    virtual ~CRandomGenerator() = default;

    virtual void Seed(uint32_t seed) = 0;
    // A value from low to high, both included: low + Next() mod (high - low + 1); the full
    // 32-bit range gives Next() itself. Bounds given the wrong way round are swapped.
    virtual uint32_t RandomRange(uint32_t low, uint32_t high);
    // RandomRange(0, high).
    virtual uint32_t Random(uint32_t high);
    // The next 32-bit output.
    virtual uint32_t Next() = 0;
    // Next() / 2^32 rounded to float: from 0 to 1, where the top outputs round up to 1.0.
    virtual float RandomFloat();
};

class CMersenneTwister : public CRandomGenerator {
public:
    // The reference initialisation from one seed.
    void Seed(uint32_t seed) override;
    // The next tempered output; an unseeded state is first seeded with 5489.
    uint32_t Next() override;
    // The reference initialisation by an array of count words; an empty key (or null) counts
    // as the key {0}.
    void SeedArray(const uint32_t* key, uint32_t count);
};
