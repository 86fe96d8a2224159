#include "sound/Sound.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Sound, DurationFollowsTheFormat)
{
    CSound sound;
    EXPECT_EQ(sound.kind, ResourceSound);
    EXPECT_EQ(sound.GetDuration(), 0); // no format: no division by zero
    ASSERT_TRUE(sound.Allocate(88200, 1, 44100, 16));
    EXPECT_EQ(sound.GetDuration(), 1000);
    ASSERT_TRUE(sound.Allocate(44100, 2, 44100, 8));
    EXPECT_EQ(sound.GetDuration(), 500);
    ASSERT_TRUE(sound.Allocate(100, 1, 0, 16));
    EXPECT_EQ(sound.GetDuration(), 0);
    ASSERT_TRUE(sound.Allocate(1, 1, 44100, 16)); // truncated toward zero
    EXPECT_EQ(sound.GetDuration(), 0);
}

TEST(Sound, AllocateZeroEmptiesTheSound)
{
    CSound sound;
    ASSERT_TRUE(sound.Allocate(16, 1, 44100, 16));
    EXPECT_NE(sound.GetData(), nullptr);
    EXPECT_EQ(sound.GetDataSize(), 16u);
    sound.Allocate(0, 2, 22050, 8);
    EXPECT_EQ(sound.GetData(), nullptr);
    EXPECT_EQ(sound.GetDataSize(), 0u);
    EXPECT_EQ(sound.GetChannels(), 0u);
    EXPECT_EQ(sound.GetSamplesPerSec(), 0u);
    EXPECT_EQ(sound.GetBitsPerSample(), 0u);
}

TEST(Sound, BorrowedBlockOutlivesTheSound)
{
    uint8_t* block = static_cast<uint8_t*>(std::malloc(8));
    block[0] = 42;
    {
        CSound sound;
        sound.data = block;
        sound.dataSize = 8;
        sound.dataNotOwned = true;
    }
    EXPECT_EQ(block[0], 42); // still alive (the sanitizer build would flag a use after free)
    {
        // Allocating into a sound that borrows its block lets go of the block and owns the
        // new one, which it frees (the leak checker would flag it otherwise).
        CSound sound;
        sound.data = block;
        sound.dataSize = 8;
        sound.dataNotOwned = true;
        ASSERT_TRUE(sound.Allocate(4, 1, 8000, 8));
        EXPECT_NE(sound.GetData(), block);
        EXPECT_FALSE(sound.dataNotOwned);
    }
    EXPECT_EQ(block[0], 42);
    std::free(block);
}

} // namespace
