#include "sound/SoundResources.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    RegisterSoundResources(); // resource managers build sounds, as in the program
    return RUN_ALL_TESTS();
}
