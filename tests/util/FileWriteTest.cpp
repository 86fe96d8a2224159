// Replacing files in one step: the new bytes, the kept permission bits and links, and above
// all the old file left byte for byte as it was whenever the write does not complete.
#include "util/FileWrite.h"

#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FileWrite : public ::testing::Test {
protected:
    TempDir dir;

    // The names in the test's folder (temporary files included, they start with a dot).
    std::set<std::string> Names(const fs::path& folder) const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::set<std::string> Names() const { return Names(dir.Path()); }

    static mode_t Mode(const std::string& path)
    {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    static bool Write(const std::string& path, const std::string& bytes, int* error = nullptr)
    {
        return WriteFileAtomically(path.c_str(), bytes.data(), bytes.size(), error);
    }
};

TEST_F(FileWrite, ReplacesTheContentsAndKeepsThePermissionBits)
{
    const std::string path = dir.File("song.xml");
    WriteFileBytes(path, std::string(5000, 'o'));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    int error = -1;
    ASSERT_TRUE(Write(path, "new", &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ReadFileBytes(path), "new");
    EXPECT_EQ(Mode(path), 0640u);
    EXPECT_EQ(Names(), std::set<std::string>{"song.xml"}); // no temporary file left

    // A privileged writer hands the file back to its owner.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(Write(path, "again"));
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }

    // Empty contents are a valid file too.
    ASSERT_TRUE(Write(path, ""));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FileWrite, NewFilesGetTheUsualModeLessTheUmask)
{
    const mode_t old = umask(027);
    const bool ok = Write(dir.File("new.wav"), "RIFF");
    umask(old);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Mode(dir.File("new.wav")), 0640u);
}

TEST_F(FileWrite, SymbolicLinksKeepPointingAtTheReplacedFile)
{
    fs::create_directories(dir.Path() / "real");
    fs::create_directories(dir.Path() / "links");
    const std::string real = dir.File("real/tune.xml");
    WriteFileBytes(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0604), 0);
    // A relative link to a relative link: both are followed from their own folders.
    fs::create_symlink("../real/tune.xml", dir.Path() / "links/first");
    fs::create_symlink("first", dir.Path() / "links/second");
    ASSERT_TRUE(Write(dir.File("links/second"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "links/first"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "links/second"));
    EXPECT_EQ(ReadFileBytes(real), "new");
    EXPECT_EQ(Mode(real), 0604u);
    EXPECT_EQ(Names(dir.Path() / "real"), std::set<std::string>{"tune.xml"});
    EXPECT_EQ(Names(dir.Path() / "links"), (std::set<std::string>{"first", "second"}));

    // A link to a file that does not exist yet creates that file.
    fs::create_symlink(dir.File("real/later.wav"), dir.Path() / "links/dangling");
    ASSERT_TRUE(Write(dir.File("links/dangling"), "made"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "links/dangling"));
    EXPECT_EQ(ReadFileBytes(dir.File("real/later.wav")), "made");
}

TEST_F(FileWrite, FailuresSayWhyAndLeaveNothingBehind)
{
    fs::create_directories(dir.Path() / "folder");
    WriteFileBytes(dir.File("plain"), "keep");
    fs::create_symlink("loop", dir.Path() / "loop");
    const std::set<std::string> before = Names();
    struct Case {
        std::string path;
        int error;
    };
    for (const Case& c : {Case{dir.File("folder"), EISDIR}, Case{dir.File("missing/x.wav"), ENOENT},
                          Case{dir.File("plain/x.wav"), ENOTDIR}, Case{dir.File("loop"), ELOOP},
                          Case{"", ENOENT}}) {
        int error = 0;
        EXPECT_FALSE(Write(c.path, "bytes", &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path << ": " << std::strerror(error);
    }
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(Names(dir.Path() / "folder"), std::set<std::string>{});
    EXPECT_EQ(ReadFileBytes(dir.File("plain")), "keep");

    // A device is written in place, and its errors come through: /dev/full is always full.
    if (access("/dev/full", W_OK) == 0) {
        int error = 0;
        EXPECT_FALSE(Write("/dev/full", "bytes", &error));
        EXPECT_EQ(error, ENOSPC);
    }
}

TEST_F(FileWrite, AFileSizeLimitKeepsThePreviousFile)
{
    const std::string path = dir.File("mix.wav");
    const std::string old(3000, 'a');
    WriteFileBytes(path, old);
    const int status = RunWithFileSizeLimit(4096, [&] {
        int error = 0;
        const bool ok = Write(path, std::string(10000, 'b'), &error);
        return ok ? 1 : error == EFBIG ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: the write claimed success, 2: another reason than EFBIG";
    EXPECT_TRUE(ReadFileBytes(path) == old);
    EXPECT_EQ(Names(), std::set<std::string>{"mix.wav"});
}

TEST_F(FileWrite, AnUnfinishedReplacementLeavesTheTargetAlone)
{
    const std::string path = dir.File("song.xml");
    WriteFileBytes(path, "old");
    {
        CAtomicFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        ASSERT_TRUE(file.Write("new contents", 12));
        EXPECT_EQ(ReadFileBytes(path), "old");
        EXPECT_EQ(Names().size(), 2u); // the temporary file beside it
    } // never committed
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(Names(), std::set<std::string>{"song.xml"});

    // A process that ends in the middle of writing (a crash) leaves the old file in place.
    const int status = RunWithFileSizeLimit(RLIM_INFINITY, [&] {
        CAtomicFile file;
        if (!file.Open(path.c_str()) || !file.Write("half", 4))
            return 1;
        _exit(0);
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(path), "old");
}

TEST_F(FileWrite, AFileTheUserMayNotWriteIsNotReplaced)
{
    const std::string path = dir.File("locked.xml");
    WriteFileBytes(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0); // the folder itself is writable
    // Root may write anything: the check runs as an ordinary user then.
    const int status = RunWithFileSizeLimit(RLIM_INFINITY, [&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 3;
        int error = 0;
        const bool ok = Write(path, "new", &error);
        return ok ? 1 : error == EACCES ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: replaced, 2: another reason than EACCES, 3: no ordinary user";
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(Names(), std::set<std::string>{"locked.xml"});
}

TEST_F(FileWrite, ASaveRemovesWhatKilledWritersLeftAndNoLiveWritersFile)
{
    EXPECT_EQ(RunWithFileSizeLimit(RLIM_INFINITY, [&] {
        CAtomicFile file; // killed mid-save
        if (file.Open(dir.File("killed.xml").c_str()) && file.Write("half", 4))
            raise(SIGKILL);
        return 1;
    }), -1);
    ASSERT_EQ(Names().size(), 1u);
    const std::string leftover = *Names().begin();
    // A live writer under the dead id, holding its file locked (another container's process).
    const int held = open(dir.File(".held" + leftover.substr(leftover.find(".xml.~"))).c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(held >= 0 && flock(held, LOCK_EX) == 0);
    std::set<std::string> expected = Names();
    ASSERT_TRUE(Write(dir.File("next.xml"), "next"));
    expected.erase(leftover);
    expected.insert("next.xml");
    EXPECT_EQ(Names(), expected);
    close(held);
}

} // namespace
