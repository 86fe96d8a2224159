// The shipped look: the images under resources/theme are exactly what tools/make-theme draws,
// and the resources and GUI description files name files that exist, cut frames inside their
// images, resolve every name they use, and give the main scene each element it looks up, at
// sizes that fit the control bar and the voice panel's fixed layout.
#include "media/ImageReaders.h"
#include "support/TempDir.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Attr(const CXMLNode& node, const char* name) { return node.GetAttributeString(name).CStr(); }
bool Has(const CXMLNode& node, const char* name) { return node.FindAttribute(name) != nullptr; }
float Num(const CXMLNode& node, const char* name) { return node.GetAttributeFloat(name); }

struct Rect {
    float x, y, w, h;
};

bool Overlap(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// A resources file as the resource manager reads it: sprite frames cut from their images
// (by the grid rule of "array"), font entries, and the size of each image.
struct Resources {
    struct Sprite {
        std::string file;
        std::vector<Rect> frames;
    };
    std::map<std::string, Sprite> sprites;
    std::set<std::string> fonts;
};

void ReadResources(const std::string& path, Resources& out)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Load(path.c_str())) << path;
    std::set<std::string> names;
    for (uint32_t i = 0; i < doc.GetChildCount(); ++i) {
        const CXMLNode& entry = *doc.GetChild(i);
        const std::string kind = entry.name.CStr(), name = Attr(entry, "name"), file = Attr(entry, "file");
        SCOPED_TRACE(path + ": " + kind + " " + name);
        EXPECT_FALSE(name.empty());
        EXPECT_TRUE(names.insert(name).second) << "a second resource of this name is never found";
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        if (kind == "font") {
            EXPECT_GT(entry.GetAttributeInt("height"), 0);
            EXPECT_LE(entry.GetAttributeInt("start"), entry.GetAttributeInt("end"));
            out.fonts.insert(name);
            continue;
        }
        ASSERT_EQ(kind, "sprite") << "only sprites and fonts are expected here";
        ImageFile image = ReadPNG(file.c_str());
        ASSERT_TRUE(image.pixels) << file << " does not decode";
        EXPECT_EQ(image.bitsPerPixel, 32);
        Resources::Sprite sprite{file, {}};
        for (uint32_t f = 0; f < entry.GetChildCount(); ++f) {
            const CXMLNode& frame = *entry.GetChild(f);
            const Rect first{Num(frame, "x"), Num(frame, "y"), Num(frame, "w"), Num(frame, "h")};
            int columns = 1, rows = 1;
            if (Has(frame, "array")) {
                ASSERT_EQ(std::sscanf(Attr(frame, "array").c_str(), "%d,%d", &columns, &rows), 2);
            }
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c)
                    sprite.frames.push_back({first.x + c * first.w, first.y + r * first.h, first.w, first.h});
        }
        ASSERT_FALSE(sprite.frames.empty());
        for (const Rect& r : sprite.frames) {
            EXPECT_GT(r.w, 0);
            EXPECT_GT(r.h, 0);
            EXPECT_GE(r.x, 0);
            EXPECT_GE(r.y, 0);
            EXPECT_LE(r.x + r.w, image.width) << "frame at " << r.x << "," << r.y;
            EXPECT_LE(r.y + r.h, image.height) << "frame at " << r.x << "," << r.y;
        }
        out.sprites[name] = sprite;
    }
}

// The element nodes of a GUI description, by name, with their position in the file.
struct Description {
    CXMLDocument doc;
    std::map<std::string, const CXMLNode*> byName;
    std::map<std::string, uint32_t> order;

    const CXMLNode& operator[](const std::string& name) const
    {
        static const CXMLNode none;
        auto found = byName.find(name);
        return found == byName.end() ? none : *found->second;
    }
    Rect Box(const std::string& name) const
    {
        const CXMLNode& n = (*this)[name];
        return {Num(n, "x"), Num(n, "y"), Num(n, "w"), Num(n, "h")};
    }
};

const std::set<std::string> kNodeKinds = {"gui",  "button", "checkbox", "combo", "control",  "edit", "font",
                                          "frame", "list",  "menu",     "progress", "scroll", "tooltip", "window"};

void ReadDescription(const std::string& path, const Resources& resources, Description& out)
{
    ASSERT_TRUE(out.doc.Load(path.c_str())) << path;
    for (uint32_t i = 0; i < out.doc.GetChildCount(); ++i) {
        const CXMLNode& node = *out.doc.GetChild(i);
        const std::string kind = node.name.CStr(), name = Attr(node, "name");
        SCOPED_TRACE(path + ": " + kind + " " + name);
        EXPECT_TRUE(kNodeKinds.count(kind)) << "the factory makes nothing of this node";
        EXPECT_FALSE(name.empty());
        EXPECT_TRUE(out.byName.emplace(name, &node).second) << "duplicate name";
        out.order[name] = i;
        if (Has(node, "sprite")) {
            const std::string sprite = Attr(node, "sprite");
            if (kind == "font")
                EXPECT_TRUE(resources.fonts.count(sprite)) << "a text element needs a font resource: " << sprite;
            else
                EXPECT_TRUE(resources.sprites.count(sprite)) << "no sprite " << sprite;
        }
        if (Has(node, "font")) {
            const std::string font = Attr(node, "font");
            ASSERT_TRUE(out.byName.count(font)) << "fonts must be described before their users: " << font;
            EXPECT_EQ(std::string(out[font].name.CStr()), "font");
        }
    }
    for (uint32_t i = 0; i < out.doc.GetChildCount(); ++i) {
        const CXMLNode& node = *out.doc.GetChild(i);
        if (Has(node, "parent")) {
            EXPECT_TRUE(out.byName.count(Attr(node, "parent"))) << Attr(node, "name");
        }
    }
}

class ThemeFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ReadResources("resources/resources.xml", app));
        scene = app; // the scene's manager links the application's
        ASSERT_NO_FATAL_FAILURE(ReadResources("resources/resources_main.xml", scene));
        ASSERT_NO_FATAL_FAILURE(ReadDescription("resources/gui.xml", app, appGui));
        ASSERT_NO_FATAL_FAILURE(ReadDescription("resources/gui_main.xml", scene, mainGui));
    }

    // The frames an element shows, from its base frame on.
    std::vector<Rect> Frames(const CXMLNode& node, size_t count) const
    {
        auto found = scene.sprites.find(Attr(node, "sprite"));
        if (found == scene.sprites.end())
            return {};
        const size_t base = static_cast<size_t>(node.GetAttributeInt("frame"));
        if (base + count > found->second.frames.size())
            return {};
        return std::vector<Rect>(found->second.frames.begin() + base, found->second.frames.begin() + base + count);
    }

    Resources app, scene;
    Description appGui, mainGui;
};

const char* const kControlBar[] = {"editProjectName", "btnNew",  "btnOpen", "btnSave",     "btnSaveSound",
                                   "btnAddSound",     "btnLoop", "btnPlay", "btnStop",     "btnMic",
                                   "mnuGenerate",     "editSeed"};
const char* const kBoxTemplates[] = {"chkSinWave", "chkTriangleWave", "chkSawtoothWave", "chkSquareWave",
                                     "chkLoop",    "chkEnvelope",     "chkCarrier",      "chkMute",
                                     "chkAM",      "chkFM",           "chkPM",           "chkNoiseWave"};

TEST_F(ThemeFiles, MainSceneFindsEveryElementWithTheKindItExpects)
{
    const std::map<std::string, std::string> expected = {
        {"controlBar", "gui"},       {"editProjectName", "edit"},  {"btnNew", "button"},   {"btnOpen", "button"},
        {"btnSave", "button"},       {"btnSaveSound", "button"},   {"btnAddSound", "button"},
        {"btnLoop", "checkbox"},     {"btnPlay", "button"},        {"btnStop", "button"},  {"btnMic", "checkbox"},
        {"scroll", "scroll"},        {"scrollFont", "font"},       {"btnClose", "button"},
        {"chkSinWave", "checkbox"},  {"chkTriangleWave", "checkbox"}, {"chkSawtoothWave", "checkbox"},
        {"chkSquareWave", "checkbox"}, {"chkLoop", "checkbox"},    {"chkEnvelope", "checkbox"},
        {"chkCarrier", "checkbox"},  {"chkMute", "checkbox"},      {"chkAM", "checkbox"},  {"chkFM", "checkbox"},
        {"chkPM", "checkbox"},       {"chkNoiseWave", "checkbox"}, {"mnuGenerate", "menu"}, {"editSeed", "edit"}};
    for (const auto& [name, kind] : expected) {
        ASSERT_TRUE(mainGui.byName.count(name)) << name;
        EXPECT_EQ(std::string(mainGui[name].name.CStr()), kind) << name;
    }
    EXPECT_FALSE(Has(mainGui["scroll"], "vertical") && mainGui["scroll"].GetAttributeBool("vertical"))
        << "the panel's sliders are horizontal";
    EXPECT_GT(Num(mainGui["scroll"], "max"), Num(mainGui["scroll"], "min"));
}

TEST_F(ThemeFiles, ControlsShowTheirFramesUnstretched)
{
    for (const auto& [name, node] : mainGui.byName) {
        const std::string kind = node->name.CStr();
        SCOPED_TRACE(name);
        if (kind == "button" || kind == "checkbox") {
            std::vector<Rect> frames = Frames(*node, 4);
            ASSERT_EQ(frames.size(), 4u) << "normal, hover, down and disabled frames";
            for (const Rect& f : frames) {
                EXPECT_EQ(f.w, Num(*node, "w"));
                EXPECT_EQ(f.h, Num(*node, "h"));
            }
        } else if (kind == "scroll") {
            std::vector<Rect> frames = Frames(*node, 13);
            ASSERT_EQ(frames.size(), 13u) << "track, then thumb, decrease and increase in four states each";
            EXPECT_EQ(frames[0].w, Num(*node, "w"));
            for (const Rect& f : frames)
                EXPECT_EQ(f.h, Num(*node, "h")) << "a horizontal bar takes its thumb's height";
            for (size_t part : {1, 5, 9})
                for (size_t state = 1; state < 4; ++state) {
                    EXPECT_EQ(frames[part + state].w, frames[part].w);
                    EXPECT_EQ(frames[part + state].h, frames[part].h);
                }
            EXPECT_LT(frames[1].w + frames[5].w + frames[9].w, frames[0].w) << "room for the thumb to travel";
        } else if (kind == "edit" && Has(*node, "sprite")) { // a plain box has nothing to stretch
            std::vector<Rect> frames = Frames(*node, 1);
            ASSERT_EQ(frames.size(), 1u);
            EXPECT_EQ(frames[0].w, Num(*node, "w"));
            EXPECT_EQ(frames[0].h, Num(*node, "h"));
        }
    }
}

TEST_F(ThemeFiles, TemplatesDoNotShowOnTheirOwn)
{
    // The panel makes the text template visible while it copies it, then hides it again.
    EXPECT_TRUE(Has(mainGui["scrollFont"], "visible"));
    EXPECT_FALSE(mainGui["scrollFont"].GetAttributeBool("visible"));
    // The other templates pass their visibility to the copies, so they stay visible and lie
    // outside the window instead.
    std::vector<std::string> templates(std::begin(kBoxTemplates), std::end(kBoxTemplates));
    templates.push_back("scroll");
    templates.push_back("btnClose");
    for (const std::string& name : templates) {
        SCOPED_TRACE(name);
        const CXMLNode& node = mainGui[name];
        EXPECT_TRUE(!Has(node, "visible") || node.GetAttributeBool("visible"));
        const Rect box = mainGui.Box(name);
        EXPECT_TRUE(box.x + box.w <= 0 || box.y + box.h <= 0) << "placed where the window shows it";
    }
}

TEST_F(ThemeFiles, TemplatesFitTheVoicePanelLayout)
{
    // The panel is 400 × 90: a close button 2 from the top-right corner, a top row of boxes
    // from x 186 (2 apart, loop 8 after the five shapes), five slider rows at x 250 from 3 below
    // the close button, 2 apart, with value boxes 53 to their left, and the voice screen from
    // y 2 to the last slider's bottom, which the trace's clipping takes to be 82 high.
    const Rect close = mainGui.Box("btnClose"), slider = mainGui.Box("scroll");
    auto width = [&](const char* name) { return mainGui.Box(name).w; };
    auto height = [&](const char* name) { return mainGui.Box(name).h; };

    const float closeLeft = 400 - 2 - close.w;
    const float shapes = width("chkSinWave") + width("chkTriangleWave") + width("chkSawtoothWave") +
                         width("chkSquareWave") + width("chkNoiseWave") + 4 * 2;
    EXPECT_GE(186, 2 + 180) << "the shape boxes start right of the screens";
    const float topRow = 186 + shapes + 8 + width("chkLoop") + width("chkCarrier") + width("chkEnvelope") +
                         width("chkMute") + 3 * 2;
    EXPECT_LE(topRow, closeLeft - 2) << "the top row runs into the close button";

    const float firstRow = 2 + close.h + 3;
    for (const char* box : kBoxTemplates)
        EXPECT_LE(2 + height(box), firstRow) << box << " overlaps the first slider row";
    EXPECT_EQ(firstRow + 5 * slider.h + 4 * 2, 2 + 82) << "the voice screen must be 82 high";
    EXPECT_LE(2 + 5 * slider.h + 4 * 2, 76) << "the envelope area is 76 high";
    EXPECT_LE(250 + slider.w, 400 - 2);

    const float carrierRow = 186 + shapes + 8 + width("chkAM") + 6 + width("chkFM") + 6 + width("chkPM");
    EXPECT_LE(carrierRow, 400);

    // Labels sit 3 right of the 180-wide screen, before the value boxes at 250 − 53.
    EXPECT_LE(2 + 180 + 3 + width("scrollFont"), 250 - 53);
    EXPECT_EQ(height("scrollFont"), slider.h);
}

TEST_F(ThemeFiles, ControlBarHoldsItsElementsAboveThePanels)
{
    const Rect bar = mainGui.Box("controlBar");
    EXPECT_EQ(bar.x, 0);
    EXPECT_EQ(bar.y, 0);
    EXPECT_GE(bar.w, 800);
    EXPECT_LE(bar.h, 50) << "the voice panels start at y 50";
    std::vector<Rect> placed;
    for (const char* name : kControlBar) {
        SCOPED_TRACE(name);
        const Rect box = mainGui.Box(name);
        EXPECT_GE(box.x, 0);
        EXPECT_GE(box.y, 0);
        EXPECT_LE(box.x + box.w, 800);
        EXPECT_LE(box.y + box.h, bar.h);
        for (const Rect& other : placed)
            EXPECT_FALSE(Overlap(box, other));
        placed.push_back(box);
        EXPECT_LT(mainGui.order[name], mainGui.order["controlBar"]) << "earlier elements are drawn in front";
    }
}

TEST_F(ThemeFiles, ApplicationBackdropLiesBehindEveryScene)
{
    const CXMLNode& backdrop = appGui["backdrop"];
    ASSERT_EQ(std::string(backdrop.name.CStr()), "gui");
    EXPECT_GT(Num(backdrop, "z"), 0);
    EXPECT_LT(Num(backdrop, "z"), 1) << "scene elements start at depth 1";
    EXPECT_GE(Num(backdrop, "w"), 4096);
    EXPECT_GE(Num(backdrop, "h"), 4096);
}

TEST(ThemeImages, GeneratorRedrawsTheCommittedImages)
{
    const std::string tool = std::string(QW_BUILD_DIR) + "/make-theme";
    ASSERT_TRUE(fs::is_regular_file(tool)) << "build the make-theme target first";
    TempDir out;
    const std::string command = "\"" + tool + "\" \"" + out.Path().string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::set<std::string> committed, drawn;
    for (const auto& entry : fs::directory_iterator("resources/theme"))
        committed.insert(entry.path().filename().string());
    for (const auto& entry : fs::directory_iterator(out.Path()))
        drawn.insert(entry.path().filename().string());
    EXPECT_EQ(committed, drawn);
    for (const std::string& name : drawn)
        EXPECT_TRUE(ReadFileBytes("resources/theme/" + name) == ReadFileBytes(out.File(name)))
            << name << " differs from what make-theme draws: run build/make-theme resources/theme";
}

} // namespace
