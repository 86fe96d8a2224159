// What the program remembers between runs: recent projects, the last folders of the file
// dialogs, the window's size and the interface's zoom, kept in FOLDER/settings.xml (FOLDER is normally
// PlatformConfigFolder()). Pure file work: nothing here shows anything or touches a window.
// Any thread, one call at a time per Settings object.
//
// The file, UTF-8 XML; elements are read in any order, unknown ones are ignored:
//   <settings>
//       <recent path="/abs/newest.xml" />      (one per recent project, newest first)
//       <projectFolder path="/abs/folder" />
//       <soundFolder path="/abs/folder" />
//       <window width="1024" height="640" />
//       <soundRate hz="48000" />               (the rate Save Sound renders at)
//       <zoom percent="150" />                 (the interface's scale, 100 to 300)
//   </settings>
// Each write replaces the whole file in one step: when two instances both write, the file is
// one or the other's, never a mix (the last one wins).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Settings {
    static constexpr size_t kMaxRecent = 10;
    static constexpr size_t kMaxPathBytes = 4095; // a path is kept only below 4096 bytes
    static constexpr int32_t kMaxWindowSide = 16384;
    static constexpr int32_t kMinZoomPercent = 100, kMaxZoomPercent = 300;

    std::vector<std::string> recentProjects; // absolute paths, newest first, at most 10, no repeats
    std::string projectFolder;               // last folder a project was opened from or saved to
    std::string soundFolder;                 // last folder a sound was exported to
    int32_t windowWidth = 0, windowHeight = 0; // last client size; 0 = none kept
    uint32_t soundRate = 0;                  // last rate chosen for Save Sound (kRenderRates); 0 = none kept
    int32_t zoomPercent = 0;                 // the interface's last zoom, 100..300; 0 = none kept
};

// Reads folder/settings.xml; a missing, unreadable or malformed file (or any value out of
// range: sizes kept only within 1..16384, both or neither; a rate only when one of
// kRenderRates; a zoom only within 100..300; paths only when absolute, under
// 4096 bytes and text that the file can hold unchanged; repeats and recent projects past the
// tenth dropped) gives the defaults for what it cannot read. The file is read only up to
// kMaxSettingsBytes; a larger one, or one that is not a regular file, gives the defaults.
// Never throws.
constexpr size_t kMaxSettingsBytes = size_t(1) << 20;
Settings LoadSettings(const std::string& folder);

// The same from the file's bytes (a text larger than kMaxSettingsBytes gives the defaults).
Settings ParseSettings(const char* bytes, size_t size);
// The file's bytes for settings: what LoadSettings would keep, and nothing else.
std::string SettingsText(const Settings& settings);

// Writes folder/settings.xml atomically, creating the folder (PlatformMakeFolders); false with
// *error set to the errno value on failure, the previous file then unchanged. Values that
// LoadSettings would not keep are left out of the file.
bool SaveSettings(const std::string& folder, const Settings& settings, int* error = nullptr);

// Puts path first (removing an earlier entry of it), keeps at most 10. A path that the
// settings could not keep (empty, relative, 4096 bytes or longer) changes nothing.
void AddRecentProject(Settings& settings, const std::string& path);

// The recent projects that still exist as regular files (a link to one counts), in order.
std::vector<std::string> ExistingRecentProjects(const Settings& settings);
