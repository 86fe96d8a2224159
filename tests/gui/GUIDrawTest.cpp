// Drawing descriptions under an OpenGL context, read back pixel by pixel: textured elements,
// glyphs of a font resource, draw order, parents and rotation.
#include "gui/GUI.h"
#include "gui/GUIManager.h"
#include "media/GL.h"
#include "media/ResourceManager.h"
#include "support/GLTestContext.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using GUIDrawing = GLTest;

// The colour at GUI pixel (x, y), y counted down from the top.
std::vector<uint8_t> At(int x, int y)
{
    uint8_t rgba[4];
    GLTestContext::Pixel(x, GLTestContext::kSide - 1 - y, rgba);
    return std::vector<uint8_t>(rgba, rgba + 3);
}

const std::vector<uint8_t> kBlack = {0, 0, 0}, kRed = {255, 0, 0}, kGreen = {0, 255, 0}, kBlue = {0, 0, 255};

// Pixels in the rectangle whose red, green and blue are all above 128.
int BrightPixels(int x0, int y0, int x1, int y1)
{
    const std::vector<uint8_t> pixels = GLTestContext::ReadPixels();
    const int side = GLTestContext::kSide;
    int bright = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, side); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, side); ++x) {
            const uint8_t* c = &pixels[(static_cast<size_t>(side - 1 - y) * side + x) * 4];
            bright += c[0] > 128 && c[1] > 128 && c[2] > 128;
        }
    return bright;
}

void LoadDescription(CGUIManager& manager, CResourceManager& resources, const std::string& text)
{
    CXMLDocument document;
    ASSERT_TRUE(document.Parse(text.c_str())) << text;
    manager.LoadElements(document, resources);
}

TEST_F(GUIDrawing, TexturedElementAndTextThroughTheFontSprite)
{
    if (!std::filesystem::exists(kTestFontPath))
        GTEST_SKIP() << "no font at " << kTestFontPath;
    TempDir dir;
    const std::string picture = dir.File("pic.png");
    WriteSolidPng(picture, 8, 8, 0xFF0000FF);
    WriteFileBytes(dir.File("resources.xml"),
                   "<resources>\n\t<sprite name=\"pic\" file=\"" + picture + "\" />\n\t<font name=\"font\" file=\"" +
                       kTestFontPath + "\" height=\"16\" start=\"65\" end=\"90\" />\n</resources>\n");
    WriteFileBytes(dir.File("gui.xml"), "<gui>\n\t<gui name=\"picture\" sprite=\"pic\" x=\"4\" y=\"4\" w=\"16\" h=\"16\" />\n"
                                        "\t<gui name=\"label\" sprite=\"font\" x=\"4\" y=\"30\" />\n</gui>\n");
    CResourceManager resources;
    resources.Load(dir.File("resources.xml").c_str());
    CGUIManager manager;
    manager.LoadDescription(dir.File("gui.xml").c_str(), resources);
    ASSERT_EQ(manager.GetElementCount(), 2u);
    CGUI* label = manager.FindElement("label");
    ASSERT_EQ(label->GetSprite().FrameCount(), 27u); // the capitals and the replacement glyph

    manager.RenderAll();
    EXPECT_EQ(At(5, 5), kRed);
    EXPECT_EQ(At(12, 12), kRed);
    EXPECT_EQ(At(19, 19), kRed);
    EXPECT_EQ(At(21, 12), kBlack);
    EXPECT_EQ(At(12, 21), kBlack);
    // The label shows its first frame, "A", in a cell as large as the frame.
    const float cellWidth = label->GetWidth(), cellHeight = label->GetHeight();
    EXPECT_EQ(cellWidth, static_cast<float>(label->GetSprite().frames[0].w));
    EXPECT_GT(BrightPixels(4, 30, 4 + static_cast<int>(cellWidth), 30 + static_cast<int>(cellHeight)), 10);

    // "HI" by hand: choose each glyph's frame, draw, move the pen by its width.
    GLClear(0, 0, 0, 1);
    float pen = 4;
    std::vector<int> starts;
    for (const char* c = "HI"; *c; ++c) {
        const CSpriteFrame* glyph = label->GetSprite().FindFrame(String(c, 1));
        ASSERT_NE(glyph, nullptr);
        label->SelectFrame(static_cast<uint32_t>(glyph - label->GetSprite().frames.data()), true);
        label->SetPosition(pen, 30);
        label->Render();
        starts.push_back(static_cast<int>(pen));
        pen += label->GetWidth();
    }
    const int height = static_cast<int>(label->GetHeight());
    const int h = BrightPixels(starts[0], 30, starts[1], 30 + height);
    const int i = BrightPixels(starts[1], 30, static_cast<int>(pen), 30 + height);
    EXPECT_GT(h, 20);
    EXPECT_GT(i, 8);
    EXPECT_GT(h, i); // H has two stems and a bar, I one stem
    EXPECT_EQ(BrightPixels(0, 0, 64, 29), 0);
    EXPECT_EQ(BrightPixels(static_cast<int>(pen) + 1, 0, 64, 64), 0);
}

TEST_F(GUIDrawing, EarlierElementsInFrontAndChildrenAtTheirParentsOffset)
{
    CResourceManager resources;
    CGUIManager manager;
    auto gradient = [](const char* colour) {
        std::string corners;
        for (const char* p : {"p1", "p2", "p3", "p4"})
            corners += std::string("<") + p + " " + colour + "/>";
        return "<gradient>" + corners + "</gradient>";
    };
    LoadDescription(manager, resources,
                    "<gui><gui name='front' x='8' y='8' w='20' h='20'>" + gradient("r='0' g='0' b='1'") +
                        "</gui><gui name='back' x='18' y='18' w='20' h='20'>" + gradient("r='0' b='0'") +
                        "</gui><gui name='child' parent='back' x='30' y='30' w='4' h='4'>" + gradient("g='0' b='0'") +
                        "</gui></gui>");
    manager.RenderAll();
    EXPECT_EQ(At(12, 12), kBlue);
    EXPECT_EQ(At(22, 22), kBlue); // both cover it: the earlier one wins
    EXPECT_EQ(At(35, 35), kGreen);
    EXPECT_EQ(At(50, 50), kRed);  // 18 + 30
    EXPECT_EQ(At(45, 45), kBlack);

    manager.FindElement("back")->SetVisible(false);
    GLClear(0, 0, 0, 1);
    manager.RenderAll();
    EXPECT_EQ(At(12, 12), kBlue);
    EXPECT_EQ(At(35, 35), kBlack);
    EXPECT_EQ(At(50, 50), kBlack); // hidden with its parent
}

TEST_F(GUIDrawing, RotatedElementsAreDrawnWhereTheyAreHit)
{
    CResourceManager resources;
    CGUIManager manager;
    LoadDescription(manager, resources,
                    "<gui><gui name='bar' x='20' y='50' w='40' h='10' enabled='1'><rotate z='90'/><gradient>"
                    "<p1 g='0' b='0'/><p2 g='0' b='0'/><p3 g='0' b='0'/><p4 g='0' b='0'/></gradient></gui></gui>");
    CGUI* bar = manager.FindElement("bar");
    manager.RenderAll();
    for (const auto& point : std::vector<std::pair<int, int>>{{25, 20}, {22, 45}, {28, 14}}) {
        EXPECT_EQ(At(point.first, point.second), kRed) << point.first << "," << point.second;
        EXPECT_TRUE(bar->HitTest(point.first, point.second));
    }
    for (const auto& point : std::vector<std::pair<int, int>>{{45, 45}, {25, 55}, {35, 20}}) {
        EXPECT_EQ(At(point.first, point.second), kBlack) << point.first << "," << point.second;
        EXPECT_FALSE(bar->HitTest(point.first, point.second));
    }
}

} // namespace
