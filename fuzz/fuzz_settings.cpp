// Fuzz target for the settings file reader. Checks, beyond memory safety: whatever the bytes,
// what is kept is within the settings' limits (absolute paths under 4096 bytes, at most ten
// recent projects without repeats, both window sides or neither, each within 1..16384), and
// the kept settings write out and read back unchanged.
#include "app/Settings.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool KeptPath(const std::string& path) { return path.empty() || (path[0] == '/' && path.size() <= Settings::kMaxPathBytes); }

bool Same(const Settings& a, const Settings& b)
{
    return a.recentProjects == b.recentProjects && a.projectFolder == b.projectFolder &&
           a.soundFolder == b.soundFolder && a.windowWidth == b.windowWidth && a.windowHeight == b.windowHeight;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Settings settings = ParseSettings(reinterpret_cast<const char*>(data), size);
    Check(settings.recentProjects.size() <= Settings::kMaxRecent);
    Check(std::set<std::string>(settings.recentProjects.begin(), settings.recentProjects.end()).size() ==
          settings.recentProjects.size());
    for (const std::string& path : settings.recentProjects)
        Check(!path.empty() && KeptPath(path));
    Check(KeptPath(settings.projectFolder) && KeptPath(settings.soundFolder));
    Check((settings.windowWidth == 0) == (settings.windowHeight == 0));
    Check(settings.windowWidth >= 0 && settings.windowWidth <= Settings::kMaxWindowSide);
    Check(settings.windowHeight >= 0 && settings.windowHeight <= Settings::kMaxWindowSide);
    const std::string text = SettingsText(settings);
    Check(Same(ParseSettings(text.data(), text.size()), settings));
    return 0;
}
