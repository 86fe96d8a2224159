// Media files for tests that load resources: PNG pictures written on the spot, and the path
// of the font the program's resources use (Debian's fonts-dejavu-core).
#pragma once

#include "support/PngWriter.h"
#include "support/TempDir.h"

#include <cstdint>
#include <string>
#include <vector>

inline const char* const kTestFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Writes a width × height RGBA PNG whose pixel (x, y), y from the top, is colour(x, y)
// packed as 0xRRGGBBAA.
template <class ColourOf>
void WriteTestPng(const std::string& path, uint32_t width, uint32_t height, ColourOf colour)
{
    std::vector<uint8_t> rows(static_cast<size_t>(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            uint8_t* p = &rows[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(c >> 24);
            p[1] = static_cast<uint8_t>(c >> 16);
            p[2] = static_cast<uint8_t>(c >> 8);
            p[3] = static_cast<uint8_t>(c);
        }
    const std::vector<uint8_t> file = pngwriter::Encode(rows.data(), width, height, pngwriter::Options());
    WriteFileBytes(path, std::string(file.begin(), file.end()));
}

// A picture of one colour.
inline void WriteSolidPng(const std::string& path, uint32_t width, uint32_t height, uint32_t rgba)
{
    WriteTestPng(path, width, height, [rgba](uint32_t, uint32_t) { return rgba; });
}
