// CImage storage, conversions and placement, and the filters, on hand-made pixels.
#include "media/Filter.h"
#include "media/Image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

CImage MakeImage(uint32_t width, uint32_t height, uint32_t channels, const std::vector<uint8_t>& bytes)
{
    CImage image;
    image.Allocate(channels * 8, width, height, channels);
    std::memcpy(image.pixels, bytes.data(), bytes.size());
    return image;
}

std::vector<uint8_t> Bytes(const CImage& image)
{
    return std::vector<uint8_t>(image.pixels, image.pixels + image.SizeBytes());
}

template <typename T>
T ValueAt(const CImage& image, size_t index)
{
    T value;
    std::memcpy(&value, image.pixels + index * sizeof(T), sizeof(T));
    return value;
}

TEST(Image, AllocateGivesZeroedOwnedBlockAndCopiesDuplicateIt)
{
    CImage image;
    EXPECT_EQ(image.kind, ResourceImage);
    ASSERT_TRUE(image.Allocate(24, 3, 2, 3));
    EXPECT_EQ(Bytes(image), std::vector<uint8_t>(18, 0));
    image.pixels[5] = 77;
    image.name = "picture";

    CImage copy(image);
    EXPECT_NE(copy.pixels, image.pixels);
    EXPECT_EQ(Bytes(copy), Bytes(image));
    EXPECT_EQ(copy.name, "picture");
    EXPECT_FALSE(copy.external);
}

TEST(Image, CopyOfExternalImageSharesTheBlockAndNeverFreesIt)
{
    std::vector<uint8_t> block(2 * 2 * 4, 9);
    CImage outer;
    outer.external = true;
    outer.pixels = block.data();
    outer.width = outer.height = 2;
    outer.channels = 4;
    outer.bitsPerPixel = 32;
    {
        CImage copy(outer);
        EXPECT_TRUE(copy.external);
        EXPECT_EQ(copy.pixels, block.data());
        EXPECT_EQ(copy.bitsPerPixel, 32u);
    } // destroying the copy must not free the vector's memory (ASan would report it)
    outer.pixels = nullptr;
}

TEST(Image, AllocateRefusesSizesBeyondTheLimit)
{
    CImage image;
    EXPECT_FALSE(image.Allocate(32, 65536, 65536, 4));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0u);
    EXPECT_TRUE(image.Allocate(32, 0, 10, 4)); // empty, not an error
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(Image, GreyToColourCopiesGreyAndAddsOpaqueAlpha)
{
    CImage image = MakeImage(2, 1, 1, {10, 200});
    image.ConvertChannels(4);
    EXPECT_EQ(image.channels, 4u);
    EXPECT_EQ(image.bitsPerPixel, 32u);
    EXPECT_EQ(Bytes(image), (std::vector<uint8_t>{10, 10, 10, 255, 200, 200, 200, 255}));
}

TEST(Image, ColourToGreyIsTheIntegerMeanAndRgbaToRgbDropsAlpha)
{
    CImage grey = MakeImage(1, 1, 3, {10, 20, 31});
    grey.ConvertChannels(1);
    EXPECT_EQ(Bytes(grey), std::vector<uint8_t>{20});

    CImage rgb = MakeImage(1, 1, 4, {1, 2, 3, 4});
    rgb.ConvertChannels(3);
    EXPECT_EQ(Bytes(rgb), (std::vector<uint8_t>{1, 2, 3}));
    rgb.ConvertChannels(4);
    EXPECT_EQ(Bytes(rgb), (std::vector<uint8_t>{1, 2, 3, 255}));
}

TEST(Image, TwoChannelConversionsKeepAlpha)
{
    CImage image = MakeImage(1, 1, 2, {50, 60});
    image.ConvertChannels(4);
    EXPECT_EQ(Bytes(image), (std::vector<uint8_t>{50, 50, 50, 60}));
    CImage rgba = MakeImage(1, 1, 4, {30, 60, 90, 7});
    rgba.ConvertChannels(2);
    EXPECT_EQ(Bytes(rgba), (std::vector<uint8_t>{60, 7}));
}

TEST(Image, ConversionsOfWideChannels)
{
    CImage image = MakeImage(1, 1, 1, {255});
    image.ConvertDepth(16);
    ASSERT_EQ(image.bitsPerPixel, 16u);
    EXPECT_EQ(ValueAt<uint16_t>(image, 0), 65535);
    image.ConvertChannels(4); // alpha at the 16-bit maximum
    EXPECT_EQ(image.bitsPerPixel, 64u);
    EXPECT_EQ(ValueAt<uint16_t>(image, 3), 65535);

    CImage floats = MakeImage(1, 1, 3, {0, 51, 255});
    floats.ConvertDepth(96);
    EXPECT_FLOAT_EQ(ValueAt<float>(floats, 1), 0.2f);
    floats.ConvertChannels(1); // the float mean
    EXPECT_FLOAT_EQ(ValueAt<float>(floats, 0), (0.0f + 0.2f + 1.0f) / 3.0f);
}

TEST(Image, DepthConversionFollowsTheScaleRules)
{
    CImage image = MakeImage(3, 1, 1, {0, 128, 255});
    image.ConvertDepth(16);
    EXPECT_EQ(ValueAt<uint16_t>(image, 1), 128u * 65535u / 255u);
    image.ConvertDepth(8);
    EXPECT_EQ(Bytes(image), (std::vector<uint8_t>{0, 128, 255}));

    CImage floats;
    floats.Allocate(32, 3, 1, 1);
    const float values[3] = {-0.25f, 0.5f, 1.5f};
    std::memcpy(floats.pixels, values, sizeof(values));
    floats.ConvertDepth(8); // out-of-range floats are clamped, then truncated
    EXPECT_EQ(Bytes(floats), (std::vector<uint8_t>{0, 127, 255}));

    image.ConvertDepth(24); // 3 bytes per channel is no channel size
    EXPECT_EQ(image.bitsPerPixel, 8u);
}

TEST(Image, PastePutsTheSourceInTheTopLeftCorner)
{
    CImage canvas;
    canvas.Allocate(8, 4, 4, 1);
    // Source rows bottom-up: bottom row 1 2, top row 3 4.
    CImage source = MakeImage(2, 2, 1, {1, 2, 3, 4});
    canvas.Paste(source, 2, 2);
    EXPECT_EQ(Bytes(canvas), (std::vector<uint8_t>{0, 0, 0, 0, //
                                                   0, 0, 0, 0, //
                                                   1, 2, 0, 0, //
                                                   3, 4, 0, 0}));
}

TEST(Image, PasteConvertsChannelsAndDepthOfAnEqualSizedPixel)
{
    CImage canvas;
    canvas.Allocate(32, 2, 1, 4); // RGBA bytes
    CImage grey;
    grey.Allocate(32, 1, 1, 1); // one float channel: also 32 bits per pixel
    const float half = 0.5f;
    std::memcpy(grey.pixels, &half, sizeof(half));
    canvas.Paste(grey, 1, 1);
    EXPECT_EQ(Bytes(canvas), (std::vector<uint8_t>{127, 127, 127, 255, 0, 0, 0, 0}));

    CImage rgb = MakeImage(1, 1, 3, {1, 2, 3});
    canvas.Paste(rgb, 1, 1); // 24 bits against 32: refused
    EXPECT_EQ(canvas.pixels[0], 127);
}

TEST(Image, PasteTallerThanTheCanvasStaysInside)
{
    CImage canvas;
    canvas.Allocate(8, 2, 2, 1);
    CImage source = MakeImage(3, 4, 1, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4});
    canvas.Paste(source, 8, 4);
    // Source rows 2 and 3 land on canvas rows 0 and 1; rows 0 and 1 would lie below it.
    EXPECT_EQ(Bytes(canvas), (std::vector<uint8_t>{3, 3, 4, 4}));
}

TEST(Image, AspectRatio)
{
    CImage image;
    EXPECT_EQ(image.AspectRatio(), 0.0f);
    image.Allocate(8, 100, 50, 1);
    EXPECT_FLOAT_EQ(image.AspectRatio(), 2.0f);
}

TEST(Filter, BlurKernelHasTheDocumentedWeights)
{
    CFilterBlur blur;
    const float expected[9] = {0, 0.125f, 0, 0.125f, 0.5f, 0.125f, 0, 0.125f, 0};
    ASSERT_EQ(blur.kernel.Rows(), 3u);
    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(blur.kernel.At(i), expected[i]) << i;
}

TEST(Filter, BlurOfOneWhitePixelOnBlack)
{
    CImage image = MakeImage(3, 3, 1, {0, 0, 0, 0, 255, 0, 0, 0, 0});
    CImage blurred = CFilterBlur().Apply(image);
    EXPECT_EQ(Bytes(blurred), (std::vector<uint8_t>{0, 31, 0, 31, 127, 31, 0, 31, 0}));
    EXPECT_EQ(blurred.bitsPerPixel, 8u);
    EXPECT_EQ(Bytes(image)[4], 255); // the source is untouched
}

TEST(Filter, NeighboursOutsideAreSkippedWithoutRenormalising)
{
    CImage image = MakeImage(2, 1, 3, {100, 0, 200, 100, 0, 200});
    CImage blurred = CFilterBlur().Apply(image);
    // Each pixel: 0.5 of itself + 0.125 of its one neighbour, per channel.
    EXPECT_EQ(Bytes(blurred), (std::vector<uint8_t>{62, 0, 125, 62, 0, 125}));
}

TEST(Filter, KernelSumsAreClampedToBytes)
{
    CFilter filter;
    filter.kernel.Resize(1, 2);
    filter.kernel.Set(0, 0, -1.0f);
    filter.kernel.Set(0, 1, 3.0f);
    // The kernel covers (x − 0 + j): the pixel and its right neighbour.
    CImage image = MakeImage(3, 1, 1, {10, 100, 20});
    EXPECT_EQ(Bytes(filter.Apply(image)), (std::vector<uint8_t>{255, 0, 0}));
}

TEST(Filter, ResizeSamplesTheBlurAtScaledPositions)
{
    CImage image = MakeImage(4, 4, 1, std::vector<uint8_t>(16, 100));
    CImage half = CFilterResize().Resize(image, 2, 2);
    ASSERT_EQ(half.width, 2u);
    ASSERT_EQ(half.height, 2u);
    // Samples at (0,0) corner: 0.75 of 100; (2,0) edge: 0.875; (2,2) inside: 1.
    EXPECT_EQ(Bytes(half), (std::vector<uint8_t>{75, 87, 87, 100}));
    EXPECT_EQ(CFilterResize().Resize(image, 0, 3).pixels, nullptr);
}

} // namespace
