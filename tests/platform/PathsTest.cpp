// The XDG folders as the base directory rules give them, folder creation, and reading the
// start of a file that may be anything.
#include "platform/Paths.h"

#include "support/ScopedHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kXdg[2] = {"XDG_STATE_HOME", "XDG_CONFIG_HOME"};

void SetOrUnset(const char* variable, const char* value)
{
    if (value)
        setenv(variable, value, 1);
    else
        unsetenv(variable);
}

TEST(PathsTest, XdgFoldersTakeOnlyAbsoluteValuesAndFallBackToHome)
{
    struct Row {
        const char* xdg;
        const char* home;
        const char* state;
        const char* config;
    } rows[] = {
        {"/x/", "/h", "/x/quillwave", "/x/quillwave"},
        {nullptr, "/h", "/h/.local/state/quillwave", "/h/.config/quillwave"},
        {"", "/h/", "/h/.local/state/quillwave", "/h/.config/quillwave"},
        {"relative", "/h", "/h/.local/state/quillwave", "/h/.config/quillwave"},
        {"relative", "also-relative", "", ""},
        {nullptr, nullptr, "", ""},
    };
    ScopedHome restoreHome(std::getenv("HOME"));
    std::optional<std::string> saved[2];
    for (int i = 0; i < 2; ++i)
        if (const char* value = std::getenv(kXdg[i]))
            saved[i] = value;
    for (const Row& row : rows) {
        for (const char* variable : kXdg)
            SetOrUnset(variable, row.xdg);
        SetOrUnset("HOME", row.home);
        EXPECT_EQ(PlatformStateFolder(), row.state) << (row.xdg ? row.xdg : "unset");
        EXPECT_EQ(PlatformConfigFolder(), row.config) << (row.xdg ? row.xdg : "unset");
    }
    for (int i = 0; i < 2; ++i)
        SetOrUnset(kXdg[i], saved[i] ? saved[i]->c_str() : nullptr);
}

TEST(PathsTest, MakeFoldersCreatesPrivateParentsAndRefusesAFileInTheWay)
{
    TempDir dir;
    const std::string deep = dir.File("a/b//c/");
    int error = 0;
    ASSERT_TRUE(PlatformMakeFolders(deep, &error)) << error;
    EXPECT_TRUE(PlatformMakeFolders(deep)); // already there
    struct stat info;
    ASSERT_EQ(stat(dir.File("a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);

    WriteFileBytes(dir.File("file"), "x");
    EXPECT_FALSE(PlatformMakeFolders(dir.File("file"), &error));
    EXPECT_EQ(error, ENOTDIR);
    EXPECT_FALSE(PlatformMakeFolders(dir.File("file/sub"), &error));
    EXPECT_EQ(error, ENOTDIR);
}

TEST(PathsTest, ReadFileStartReadsOnlyRegularFilesUpToTheLimitWithoutBlocking)
{
    TempDir dir;
    WriteFileBytes(dir.File("file"), "0123456789");
    ASSERT_EQ(symlink(dir.File("file").c_str(), dir.File("link").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0); // nobody writes: open must not wait
    std::string bytes;
    PlatformFileStatus status;
    ASSERT_TRUE(PlatformReadFileStart(dir.File("file"), 4, false, &bytes, &status));
    EXPECT_EQ(bytes, "0123");
    EXPECT_EQ(status.size, 10);
    EXPECT_TRUE(PlatformReadFileStart(dir.File("link"), 100, true, &bytes));
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_FALSE(PlatformReadFileStart(dir.File("link"), 100, false, &bytes));
    EXPECT_FALSE(PlatformReadFileStart(dir.File("pipe"), 100, true, &bytes));
    EXPECT_FALSE(PlatformReadFileStart(dir.Path().string(), 100, true, &bytes));
    EXPECT_TRUE(bytes.empty());
}

} // namespace
