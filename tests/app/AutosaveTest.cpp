// Autosave files: one per running instance, found again only once their owner is gone. A dead
// owner is what a crash or a kill leaves: the files without a held lock.
#include "app/Autosave.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Names(const std::vector<CAutosave::Orphan>& orphans)
{
    std::string all;
    for (const CAutosave::Orphan& orphan : orphans)
        all += fs::path(orphan.path).filename().string() + "=" + orphan.name + ";";
    return all;
}

TEST(AutosaveTest, RunningInstancesKeepApartAndAreNeverOfferedUntilGone)
{
    TempDir dir;
    const std::string folder = dir.File("state");
    {
        CAutosave first(folder), second(folder);
        EXPECT_FALSE(fs::exists(folder)); // nothing on disk before a claim
        ASSERT_TRUE(first.Write("<project><name>One</name></project>"));
        ASSERT_TRUE(second.Write("<project><name>Two</name></project>"));
        EXPECT_EQ(Names(CAutosave::FindOrphans(folder)), "");
        CAutosave::Discard(first.GetPath()); // its owner runs: nothing is removed
        second.Remove();
    }
    const std::vector<CAutosave::Orphan> orphans = CAutosave::FindOrphans(folder);
    ASSERT_EQ(Names(orphans), fs::path(orphans.at(0).path).filename().string() + "=One;");
    CAutosave::Discard(orphans[0].path);
    EXPECT_TRUE(fs::is_empty(folder)); // the removed one left not even its lock behind
}

TEST(AutosaveTest, OrphansComeNewestFirstAndOddFilesAreLeftOut)
{
    TempDir dir;
    const char* texts[] = {"<project><name>Old</name>", "<project><name>New</name></project>", "not xml", ""};
    for (int i = 0; i < 4; ++i) { // as dead instances left them; the third lost its lock file
        const std::string stem = dir.File("autosave-" + std::to_string(i + 1) + "-0");
        WriteFileBytes(stem + ".xml", texts[i]);
        if (i != 2)
            WriteFileBytes(stem + ".lock", "");
        fs::last_write_time(stem + ".xml", fs::file_time_type::clock::now() - std::chrono::hours(2 - i));
    }
    ASSERT_EQ(truncate(dir.File("autosave-4-0.xml").c_str(), CAutosave::kMaxFileBytes + 1) |
                  mkfifo(dir.File("autosave-5-0.xml").c_str(), 0600) |
                  symlink(dir.File("autosave-2-0.xml").c_str(), dir.File("autosave-6-0.xml").c_str()), 0);
    for (const char* name : {"autosave-x-0.xml", "project.xml"})
        WriteFileBytes(dir.File(name), "");
    EXPECT_EQ(Names(CAutosave::FindOrphans(dir.Path().string())),
              "autosave-3-0.xml=;autosave-2-0.xml=New;autosave-1-0.xml=Old;");
    CAutosave::Discard(dir.File("project.xml")); // not an autosave's name: kept
    EXPECT_TRUE(fs::exists(dir.File("project.xml")));
}

TEST(AutosaveTest, ClaimNeverTakesOverAFileLeftByAnEarlierProcessWithTheSamePid)
{
    TempDir dir;
    CAutosave probe(dir.Path().string());
    ASSERT_TRUE(probe.Claim());
    // The next numbers this process will try, as a dead process with the same PID left them.
    const std::string stem = probe.GetPath().substr(0, probe.GetPath().rfind('-') + 1);
    const int next = std::stoi(probe.GetPath().substr(stem.size())) + 1;
    for (int n = next; n < next + 3; ++n)
        WriteFileBytes(stem + std::to_string(n) + ".xml", "left");
    CAutosave autosave(dir.Path().string());
    ASSERT_TRUE(autosave.Write("mine"));
    EXPECT_EQ(autosave.GetPath(), stem + std::to_string(next + 3) + ".xml");
    EXPECT_EQ(ReadFileBytes(stem + std::to_string(next) + ".xml"), "left");
}

} // namespace
