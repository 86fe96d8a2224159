#include "app/WindowIcon.h"

#include "media/ImageReaders.h"

#include <cstdint>
#include <vector>

bool LoadWindowIcon(PlatformWindow* window, const String& path)
{
    if (!window)
        return false;
    const ImageFile image = ReadImageFile(path);
    const int32_t channels = image.Channels();
    if (!image.pixels || channels < 1 || channels > 4 || image.width > kPlatformMaxIconSide ||
        image.height > kPlatformMaxIconSide)
        return false;
    // The readers give bottom-up rows of grey, grey + alpha, RGB or RGBA; the window system
    // wants RGBA rows from the top.
    const size_t width = static_cast<size_t>(image.width), height = static_cast<size_t>(image.height);
    std::vector<uint8_t> rgba(width * height * 4);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* from = image.pixels + ((height - 1 - y) * width + x) * static_cast<size_t>(channels);
            uint8_t* to = &rgba[(y * width + x) * 4];
            const bool grey = channels < 3;
            to[0] = from[0];
            to[1] = grey ? from[0] : from[1];
            to[2] = grey ? from[0] : from[2];
            to[3] = channels == 2 ? from[1] : channels == 4 ? from[3] : 255;
        }
    return PlatformSetWindowIcon(window, rgba.data(), image.width, image.height);
}
