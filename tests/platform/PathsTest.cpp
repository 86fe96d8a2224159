// The XDG folders as the base directory rules give them, and folder creation.
#include "platform/Paths.h"

#include "support/ScopedHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace {

TEST(PathsTest, XdgFoldersTakeOnlyAbsoluteValuesAndFallBackToHome)
{
    struct Row {
        const char *xdg, *home, *state, *config; // xdg: both variables; null unsets
    } rows[] = {
        {"/x/", "/h", "/x/quillwave", "/x/quillwave"},
        {nullptr, "/h", "/h/.local/state/quillwave", "/h/.config/quillwave"},
        {"", "/h/", "/h/.local/state/quillwave", "/h/.config/quillwave"},
        {"relative", "/h", "/h/.local/state/quillwave", "/h/.config/quillwave"},
        {"relative", "relative", "", ""},
        {nullptr, nullptr, "", ""},
    };
    ScopedHome restoreHome(std::getenv("HOME"));
    for (const Row& row : rows) {
        for (const char* variable : {"XDG_STATE_HOME", "XDG_CONFIG_HOME"})
            row.xdg ? setenv(variable, row.xdg, 1) : unsetenv(variable);
        ScopedHome home(row.home);
        EXPECT_EQ(PlatformStateFolder(), row.state) << (row.xdg ? row.xdg : "unset");
        EXPECT_EQ(PlatformConfigFolder(), row.config) << (row.xdg ? row.xdg : "unset");
    }
    unsetenv("XDG_STATE_HOME"); // the test environment sets neither
    unsetenv("XDG_CONFIG_HOME");
}

TEST(PathsTest, MakeFoldersCreatesPrivateParentsAndRefusesAFileInTheWay)
{
    TempDir dir;
    int error = 0;
    ASSERT_TRUE(PlatformMakeFolders(dir.File("a/b//c/"), &error)) << error;
    struct stat info;
    ASSERT_EQ(stat(dir.File("a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
    WriteFileBytes(dir.File("file"), "x");
    EXPECT_FALSE(PlatformMakeFolders(dir.File("file"), &error));
    EXPECT_EQ(error, ENOTDIR);
}

} // namespace
