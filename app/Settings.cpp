#include "app/Settings.h"

#include "synth/Project.h"

#include "platform/Paths.h"
#include "util/FileWrite.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

const char* const kFileName = "/settings.xml";

String ToString(const std::string& s) { return String(s.data(), static_cast<int32_t>(s.size())); }
std::string FromString(const String& s) { return std::string(s.CStr(), static_cast<size_t>(s.Length())); }

// Absolute, short enough, and text that an XML attribute gives back byte for byte (no control
// bytes, well-formed UTF-8 of characters XML allows): anything else would come back as
// another path.
bool IsAbsoluteAndShort(const std::string& path)
{
    return !path.empty() && path[0] == '/' && path.size() <= Settings::kMaxPathBytes;
}

bool IsKeptPath(const std::string& path)
{
    if (!IsAbsoluteAndShort(path))
        return false;
    CXMLNode probe("p");
    probe.AddAttribute("v", ToString(path));
    CXMLDocument back;
    return back.Parse(probe.Serialize().CStr()) && FromString(back.GetAttributeString("v")) == path;
}

bool IsKeptSide(int32_t side) { return side >= 1 && side <= Settings::kMaxWindowSide; }

bool IsKeptZoom(int32_t percent)
{
    return percent >= Settings::kMinZoomPercent && percent <= Settings::kMaxZoomPercent;
}

// Appends path to recent unless it is not kept, already there, or recent is full.
void KeepRecent(std::vector<std::string>& recent, const std::string& path)
{
    if (recent.size() < Settings::kMaxRecent && std::find(recent.begin(), recent.end(), path) == recent.end() &&
        IsKeptPath(path))
        recent.push_back(path);
}

std::string KeptPath(const CXMLNode* element)
{
    std::string path = element ? FromString(element->GetAttributeString("path")) : std::string();
    return IsKeptPath(path) ? path : std::string();
}

void AddPathElement(CXMLNode& root, const char* name, const std::string& path)
{
    if (!IsKeptPath(path))
        return;
    CXMLNode element(name);
    element.AddAttribute("path", ToString(path));
    root.AddChild(std::move(element));
}

} // namespace

Settings ParseSettings(const char* bytes, size_t size)
{
    Settings settings;
    CXMLDocument doc;
    if (size > kMaxSettingsBytes || !doc.Parse(bytes, size) || doc.name != "settings")
        return settings;
    for (uint32_t i = 0; i < doc.GetChildCount(); ++i) {
        const CXMLNode* child = doc.GetChild(i);
        if (child->name == "recent")
            KeepRecent(settings.recentProjects, FromString(child->GetAttributeString("path")));
    }
    settings.projectFolder = KeptPath(doc.FindChild("projectFolder"));
    settings.soundFolder = KeptPath(doc.FindChild("soundFolder"));
    if (const CXMLNode* window = doc.FindChild("window")) {
        const int32_t width = window->GetAttributeInt("width");
        const int32_t height = window->GetAttributeInt("height");
        if (IsKeptSide(width) && IsKeptSide(height)) {
            settings.windowWidth = width;
            settings.windowHeight = height;
        }
    }
    if (const CXMLNode* rate = doc.FindChild("soundRate")) {
        const int32_t hz = rate->GetAttributeInt("hz");
        if (hz > 0 && IsRenderRate(static_cast<uint32_t>(hz)))
            settings.soundRate = static_cast<uint32_t>(hz);
    }
    if (const CXMLNode* zoom = doc.FindChild("zoom")) {
        const int32_t percent = zoom->GetAttributeInt("percent");
        if (IsKeptZoom(percent))
            settings.zoomPercent = percent;
    }
    return settings;
}

std::string SettingsText(const Settings& settings)
{
    CXMLDocument doc;
    doc.name = "settings";
    std::vector<std::string> recent;
    for (const std::string& path : settings.recentProjects)
        KeepRecent(recent, path);
    for (const std::string& path : recent)
        AddPathElement(doc, "recent", path);
    AddPathElement(doc, "projectFolder", settings.projectFolder);
    AddPathElement(doc, "soundFolder", settings.soundFolder);
    if (IsKeptSide(settings.windowWidth) && IsKeptSide(settings.windowHeight)) {
        CXMLNode window("window");
        window.AddAttribute("width", String::Format("%d", settings.windowWidth));
        window.AddAttribute("height", String::Format("%d", settings.windowHeight));
        doc.AddChild(std::move(window));
    }
    if (IsRenderRate(settings.soundRate)) {
        CXMLNode rate("soundRate");
        rate.AddAttribute("hz", String::Format("%u", settings.soundRate));
        doc.AddChild(std::move(rate));
    }
    if (IsKeptZoom(settings.zoomPercent)) {
        CXMLNode zoom("zoom");
        zoom.AddAttribute("percent", String::Format("%d", settings.zoomPercent));
        doc.AddChild(std::move(zoom));
    }
    std::string text = "<?xml version=\"1.0\"?>\n\n";
    doc.SerializeTo(text);
    text += '\n';
    return text;
}

Settings LoadSettings(const std::string& folder)
{
    std::string bytes;
    PlatformFileStatus status;
    if (folder.empty() ||
        !PlatformReadFileStart(folder + kFileName, kMaxSettingsBytes, true, &bytes, &status) ||
        status.size > static_cast<int64_t>(kMaxSettingsBytes))
        return Settings();
    return ParseSettings(bytes.data(), bytes.size());
}

bool SaveSettings(const std::string& folder, const Settings& settings, int* error)
{
    if (!PlatformMakeFolders(folder, error))
        return false;
    const std::string text = SettingsText(settings);
    return WriteFileAtomically((folder + kFileName).c_str(), text.data(), text.size(), error);
}

void AddRecentProject(Settings& settings, const std::string& path)
{
    if (!IsAbsoluteAndShort(path))
        return;
    std::vector<std::string>& recent = settings.recentProjects;
    recent.erase(std::remove(recent.begin(), recent.end(), path), recent.end());
    recent.insert(recent.begin(), path);
    if (recent.size() > Settings::kMaxRecent)
        recent.resize(Settings::kMaxRecent);
}

std::vector<std::string> ExistingRecentProjects(const Settings& settings)
{
    std::vector<std::string> existing;
    for (const std::string& path : settings.recentProjects) {
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            existing.push_back(path);
    }
    return existing;
}
