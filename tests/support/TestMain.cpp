#include "sound/SoundResources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    RegisterSoundResources(); // resource managers build sounds, as in the program
    // The program's settings and autosaves go to a folder of this run's own, never the user's:
    // a test must not find another run's recovery file, nor leave one behind.
    char folder[] = "/tmp/qw-test-XXXXXX";
    const bool own = mkdtemp(folder) != nullptr;
    if (own) {
        setenv("XDG_STATE_HOME", (std::string(folder) + "/state").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (std::string(folder) + "/config").c_str(), 1);
    }
    const int result = RUN_ALL_TESTS();
    if (own) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return result;
}
