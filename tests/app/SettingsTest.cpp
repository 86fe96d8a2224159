// Settings survive a save and a load; a hostile or damaged file gives defaults for what it
// cannot keep.
#include "app/Settings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using Paths = std::vector<std::string>;

TEST(SettingsTest, WhatIsSavedLoadsBack)
{
    TempDir dir;
    const std::string folder = dir.File("new/config");
    Settings saved;
    saved.recentProjects = {"/p/a\"&<b>.xml", "/p/\xC3\xA9t\xC3\xA9\n.xml", "relative.xml", "/p/\xFF.xml"};
    saved.projectFolder = "/p";
    saved.soundFolder = "/s";
    saved.windowWidth = 800;
    saved.windowHeight = 16384;
    saved.soundRate = 48000;
    saved.zoomPercent = 250;
    ASSERT_TRUE(SaveSettings(folder, saved));
    const Settings loaded = LoadSettings(folder);
    EXPECT_EQ(loaded.recentProjects, (Paths{"/p/a\"&<b>.xml", "/p/\xC3\xA9t\xC3\xA9\n.xml"})); // not the others
    EXPECT_EQ(loaded.projectFolder + loaded.soundFolder, "/p/s");
    EXPECT_EQ(loaded.windowWidth * 100000 + loaded.windowHeight, 80016384);
    EXPECT_EQ(loaded.soundRate, 48000u);
    EXPECT_EQ(loaded.zoomPercent, 250);
}

TEST(SettingsTest, DamagedFilesGiveDefaultsForWhatCannotBeKept)
{
    std::string manyRecent;
    for (int i = 0; i < 12; ++i)
        manyRecent += "<recent path=\"/r" + std::to_string(i % 11) + "\"/>";
    struct Row {
        std::string text;
        Paths recent;
        int32_t width; // of 800 x 600, or 0
        int32_t zoom = 0;
    } rows[] = {
        {"<settings><recent path=\"/a\"/><window width=\"800\" height=\"600\"/>", {}, 0}, // cut short
        {"<other><recent path=\"/a\"/></other>", {}, 0},
        {"<settings><recent path=\"/a\"/><recent path=\"a\"/><recent path=\"/a\"/><recent/><recent path=\"/" +
             std::string(Settings::kMaxPathBytes, 'x') + "\"/><window width=\"16385\" height=\"600\"/></settings>",
         {"/a"}, 0},
        {"<settings><window width=\"800\" height=\"600\"/></settings>", {}, 800},
        {"<settings><zoom percent=\"99\"/><zoom percent=\"300\"/></settings>", {}, 0, 0}, // the first counts
        {"<settings><zoom percent=\"300\"/></settings>", {}, 0, 300},
        {"<settings>" + manyRecent + "</settings>", {"/r0", "/r1", "/r2", "/r3", "/r4", "/r5", "/r6", "/r7", "/r8", "/r9"}, 0},
        {"<settings>" + std::string(kMaxSettingsBytes, ' ') + "</settings>", {}, 0},
    };
    for (const Row& row : rows) {
        TempDir dir;
        WriteFileBytes(dir.File("settings.xml"), row.text);
        const Settings loaded = LoadSettings(dir.Path().string());
        EXPECT_EQ(loaded.recentProjects, row.recent) << row.text.substr(0, 80);
        EXPECT_EQ(loaded.windowWidth * 10000 + loaded.windowHeight, row.width ? 8000600 : 0) << row.text.substr(0, 80);
        EXPECT_EQ(loaded.zoomPercent, row.zoom) << row.text.substr(0, 80);
    }
}

TEST(SettingsTest, RecentProjectsMoveToTheFrontAndOnlyExistingFilesAreOffered)
{
    TempDir dir;
    Settings settings;
    for (const char* name : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "5"})
        AddRecentProject(settings, dir.File(name));
    AddRecentProject(settings, "relative");
    ASSERT_EQ(settings.recentProjects.size(), 10u);
    EXPECT_EQ(settings.recentProjects.front() + settings.recentProjects.back(), dir.File("5") + dir.File("1"));
    WriteFileBytes(dir.File("10"), "");
    WriteFileBytes(dir.File("1"), "");
    ASSERT_EQ(mkdir(dir.File("5").c_str(), 0700), 0);
    EXPECT_EQ(ExistingRecentProjects(settings), (Paths{dir.File("10"), dir.File("1")}));
}

} // namespace
