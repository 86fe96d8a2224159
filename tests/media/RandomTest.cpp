#include "media/Random.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

// Hands out scripted outputs, to pin down what the base class makes of them.
class CScripted : public CRandomGenerator {
public:
    explicit CScripted(std::vector<uint32_t> outputs) : outputs(std::move(outputs)) {}
    void Seed(uint32_t) override {}
    uint32_t Next() override { return outputs[next++ % outputs.size()]; }
    std::vector<uint32_t> outputs;
    size_t next = 0;
};

} // namespace

TEST(MersenneTwister, SeededWith5489GivesTheReferenceSequence)
{
    CMersenneTwister twister;
    twister.Seed(5489);
    EXPECT_EQ(twister.Next(), 3499211612u);
    // Two regenerations of the state deep, against the standard library's MT19937.
    std::mt19937 reference(5489);
    reference();
    for (int i = 1; i < 2000; ++i)
        ASSERT_EQ(twister.Next(), reference()) << "output " << i;

    twister.Seed(20260101);
    reference.seed(20260101);
    for (int i = 0; i < 700; ++i)
        ASSERT_EQ(twister.Next(), reference()) << "output " << i;
}

TEST(MersenneTwister, SeedArrayGivesTheReferenceSequence)
{
    CMersenneTwister twister;
    const uint32_t key[] = {0x123, 0x234, 0x345, 0x456};
    twister.SeedArray(key, 4);
    const uint32_t expected[] = {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u};
    for (uint32_t value : expected)
        EXPECT_EQ(twister.Next(), value);

    // A key longer than the state runs the first mixing loop over the whole key.
    std::vector<uint32_t> longKey(1000);
    for (uint32_t i = 0; i < longKey.size(); ++i)
        longKey[i] = i * 2654435761u;
    twister.SeedArray(longKey.data(), 1000);
    uint32_t first = twister.Next();
    twister.SeedArray(longKey.data(), 999);
    EXPECT_NE(twister.Next(), first);

    const uint32_t zero[] = {0};
    twister.SeedArray(zero, 1);
    uint32_t fromZero = twister.Next();
    twister.SeedArray(nullptr, 0);
    EXPECT_EQ(twister.Next(), fromZero) << "an empty key counts as {0}";
}

TEST(MersenneTwister, AllInstancesDrawFromOneSequence)
{
    CMersenneTwister a, b;
    a.Seed(5489);
    std::mt19937 reference(5489);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a.Next(), reference());
        EXPECT_EQ(b.Next(), reference());
    }
    b.Seed(5489); // reseeds a as well
    EXPECT_EQ(a.Next(), 3499211612u);
}

TEST(RandomGenerator, RangeEdges)
{
    CMersenneTwister twister;
    twister.Seed(1);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(twister.RandomRange(5, 5), 5u);

    twister.Seed(5489);
    EXPECT_EQ(twister.RandomRange(0, 4294967295u), 3499211612u) << "the full range is Next()";

    std::set<uint32_t> seen;
    for (int i = 0; i < 1000; ++i) {
        uint32_t value = twister.RandomRange(10, 14);
        ASSERT_GE(value, 10u);
        ASSERT_LE(value, 14u);
        seen.insert(value);
        ASSERT_LE(twister.Random(3), 3u);
        ASSERT_EQ(twister.Random(0), 0u);
        uint32_t swapped = twister.RandomRange(4000000000u, 3999999990u);
        ASSERT_GE(swapped, 3999999990u);
        ASSERT_LE(swapped, 4000000000u);
        float f = twister.RandomFloat();
        ASSERT_GE(f, 0.0f);
        ASSERT_LE(f, 1.0f);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST(RandomGenerator, RangeAndFloatAreMadeFromNextAsDocumented)
{
    CScripted scripted({25, 0, 4294967295u, 2147483648u});
    EXPECT_EQ(scripted.RandomRange(10, 19), 15u); // 10 + 25 mod 10
    EXPECT_EQ(scripted.Random(7), 0u);
    EXPECT_EQ(scripted.RandomRange(1, 4294967295u), 1u + 4294967295u % 4294967295u);
    EXPECT_EQ(scripted.RandomRange(0, 4294967295u), 2147483648u);
    scripted.next = 0;
    scripted.Next();
    EXPECT_EQ(scripted.RandomFloat(), 0.0f);
    EXPECT_EQ(scripted.RandomFloat(), 1.0f) << "the largest output rounds up to 1";
    EXPECT_EQ(scripted.RandomFloat(), 0.5f);
}
