// The desktop's Xft.dpi as the X resources hold it: the starting zoom follows it, so a
// misread line would open the program too small or too large.
#include "platform/DesktopScale.h"

#include <gtest/gtest.h>

namespace {

TEST(DesktopScaleTest, XftDpiIsReadFromItsOwnLineOnly)
{
    const struct {
        const char* resources;
        float dpi;
    } rows[] = {
        {"Xft.dpi:\t192\n", 192.0f},
        {"Xft.antialias:\t1\nXft.hinting:\t1\nXft.dpi:\t120\nXcursor.size:\t24\n", 120.0f},
        {"Xft.dpi: 144.5", 144.5f},       // no final line break
        {"Xft.dpix:\t192\n", 0.0f},       // another name
        {"*.dpi:\t192\n", 0.0f},          // not Xft's
        {"Xft.dpi:\t192 dots\n", 0.0f},   // not a number alone
        {"Xft.dpi:\t\n96\n", 0.0f},      // the value is not on its line
        {"Xft.dpi:\t4000\n", 0.0f},       // beyond any display
        {"Xft.dpi:\t0\n", 0.0f},
        {"", 0.0f},
        {nullptr, 0.0f},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PlatformXftDpi(row.resources), row.dpi) << (row.resources ? row.resources : "null");
}

} // namespace
