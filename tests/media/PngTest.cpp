// The PNG decoder: hand-made files for each filter, depth, palette and interlacing, damaged
// files, and the PNG suite in the shared test data (skipped when absent).
#include "media/Image.h"
#include "media/ImageReaders.h"
#include "support/PngWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

Bytes Pixels(const ImageFile& file)
{
    if (!file.pixels)
        return {};
    return Bytes(file.pixels, file.pixels + static_cast<size_t>(file.width) * file.height * file.Channels());
}

// Rows top first (as PNG stores them) turned into the bottom-up order of images.
Bytes BottomUp(const Bytes& topDown, size_t rowBytes)
{
    Bytes out;
    for (size_t row = topDown.size() / rowBytes; row-- > 0;)
        out.insert(out.end(), topDown.begin() + row * rowBytes, topDown.begin() + (row + 1) * rowBytes);
    return out;
}

// Samples that make every filter predict something different from the raw value.
Bytes Busy(size_t count, uint32_t seed)
{
    Bytes out(count);
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = static_cast<uint8_t>((seed >> 16) ^ (i * 7));
    }
    return out;
}

ImageFile Decode(const Bytes& file) { return DecodePNG(file.data(), file.size()); }

TEST(PngReader, OneByTwoGreyIsStoredBottomRowFirst)
{
    pngwriter::Options grey;
    grey.colourType = 0;
    const Bytes rows = {10, 20}; // top pixel 10, bottom pixel 20
    ImageFile image = Decode(pngwriter::Encode(rows.data(), 1, 2, grey));
    EXPECT_EQ(image.width, 1);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(Pixels(image), (Bytes{20, 10}));
}

TEST(PngReader, PaethRowWithZeroNeighboursKeepsItsBytes)
{
    pngwriter::Options rgb;
    rgb.colourType = 2;
    ImageFile image = Decode(pngwriter::Wrap({4, 7, 9, 11}, 1, 1, rgb));
    EXPECT_EQ(Pixels(image), (Bytes{7, 9, 11}));
}

TEST(PngReader, EveryFilterAtEveryPixelSizeRoundTrips)
{
    const struct {
        uint8_t colourType;
        int bitsPerPixel;
    } kinds[] = {{0, 8}, {4, 16}, {2, 24}, {6, 32}};
    for (const auto& kind : kinds) {
        const uint32_t width = 13, height = 10, bytes = kind.bitsPerPixel / 8;
        const Bytes rows = Busy(width * height * bytes, kind.colourType);
        pngwriter::Options options;
        options.colourType = kind.colourType;
        options.rowFilters = {0, 1, 2, 3, 4, 4, 3, 2, 1, 0};
        ImageFile image = Decode(pngwriter::Encode(rows.data(), width, height, options));
        EXPECT_EQ(image.bitsPerPixel, kind.bitsPerPixel);
        EXPECT_EQ(Pixels(image), BottomUp(rows, width * bytes)) << "colour type " << int(kind.colourType);
    }
}

TEST(PngReader, InterlacedPicturesMatchTheirPlainForm)
{
    for (uint32_t side : {1u, 3u, 5u, 9u, 17u}) {
        const uint32_t width = side, height = side + 2;
        const Bytes rows = Busy(width * height * 3, side);
        pngwriter::Options options;
        options.colourType = 2;
        options.interlace = true;
        ImageFile image = Decode(pngwriter::Encode(rows.data(), width, height, options));
        EXPECT_EQ(Pixels(image), BottomUp(rows, width * 3)) << side;
    }
}

TEST(PngReader, ImageDataSplitOverManyChunks)
{
    const Bytes rows = Busy(20 * 20 * 4, 3);
    pngwriter::Options options;
    options.idatSize = 7;
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(rows.data(), 20, 20, options))), BottomUp(rows, 80));
}

TEST(PngReader, LowGreyDepthsAreScaledToBytes)
{
    pngwriter::Options options;
    options.colourType = 0;
    options.depth = 1;
    const Bytes one = {0xA0}; // 1 0 1 0 0 0 0 0, five pixels wide
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(one.data(), 5, 1, options))), (Bytes{255, 0, 255, 0, 0}));
    options.depth = 2;
    const Bytes two = {0x1B}; // 0 1 2 3
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(two.data(), 4, 1, options))), (Bytes{0, 85, 170, 255}));
    options.depth = 4;
    const Bytes four = {0xF8, 0x10}; // 15 8 1, three pixels
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(four.data(), 3, 1, options))), (Bytes{255, 136, 17}));
}

TEST(PngReader, PalettesExpandToRgbOrToRgbaWithTransparency)
{
    pngwriter::Options options;
    options.colourType = 3;
    options.depth = 2;
    options.palette = {10, 20, 30, 40, 50, 60};
    const Bytes rows = {0x18}; // indices 0 1 2 0: index 2 lies past the two entries
    ImageFile rgb = Decode(pngwriter::Encode(rows.data(), 4, 1, options));
    EXPECT_EQ(rgb.bitsPerPixel, 24);
    EXPECT_EQ(Pixels(rgb), (Bytes{10, 20, 30, 40, 50, 60, 0, 0, 0, 10, 20, 30}));
    options.alpha = {128};
    ImageFile rgba = Decode(pngwriter::Encode(rows.data(), 4, 1, options));
    EXPECT_EQ(rgba.bitsPerPixel, 32);
    EXPECT_EQ(Pixels(rgba), (Bytes{10, 20, 30, 128, 40, 50, 60, 255, 0, 0, 0, 255, 10, 20, 30, 128}));
    options.palette.clear();
    options.alpha.clear();
    EXPECT_EQ(Decode(pngwriter::Encode(rows.data(), 4, 1, options)).pixels, nullptr);
}

TEST(PngReader, ColourKeyGivesGreyAndRgbPicturesAlpha)
{
    pngwriter::Options grey;
    grey.colourType = 0;
    grey.alpha = {0, 20}; // tRNS: the 16-bit grey sample 20
    const Bytes greyRows = {20, 21, 20};
    ImageFile greyImage = Decode(pngwriter::Encode(greyRows.data(), 3, 1, grey));
    EXPECT_EQ(greyImage.bitsPerPixel, 16);
    EXPECT_EQ(Pixels(greyImage), (Bytes{20, 0, 21, 255, 20, 0}));

    pngwriter::Options rgb;
    rgb.colourType = 2;
    rgb.alpha = {0, 1, 0, 2, 0, 3}; // the colour (1, 2, 3)
    const Bytes rgbRows = {1, 2, 3, 1, 2, 4, 3, 2, 1};
    ImageFile rgbImage = Decode(pngwriter::Encode(rgbRows.data(), 3, 1, rgb));
    EXPECT_EQ(rgbImage.bitsPerPixel, 32);
    EXPECT_EQ(Pixels(rgbImage), (Bytes{1, 2, 3, 0, 1, 2, 4, 255, 3, 2, 1, 255}));
}

TEST(PngReader, ColourKeyIsComparedAtTheFileDepth)
{
    pngwriter::Options options;
    options.colourType = 0;
    options.depth = 2;
    options.alpha = {0, 1}; // the 2-bit sample 1, which becomes the byte 85
    const Bytes rows = {0x1B}; // 0 1 2 3
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(rows.data(), 4, 1, options))),
              (Bytes{0, 255, 85, 0, 170, 255, 255, 255}));
    options.depth = 8;
    options.alpha = {1, 20}; // 276 matches no 8-bit sample
    const Bytes bytes = {20};
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(bytes.data(), 1, 1, options))), (Bytes{20, 255}));
    options.alpha = {0, 20, 0}; // a key of the wrong length is ignored
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(bytes.data(), 1, 1, options))), (Bytes{20}));
}

TEST(PngReader, InterlacedColourKeyMatchesThePlainForm)
{
    const uint32_t width = 11, height = 9;
    Bytes rows = Busy(width * height * 3, 5);
    for (size_t p = 0; p < rows.size(); p += 3 * 4) // every fourth pixel takes the key
        rows[p] = 7, rows[p + 1] = 8, rows[p + 2] = 9;
    pngwriter::Options options;
    options.colourType = 2;
    options.alpha = {0, 7, 0, 8, 0, 9};
    const Bytes plain = Pixels(Decode(pngwriter::Encode(rows.data(), width, height, options)));
    options.interlace = true;
    EXPECT_EQ(Pixels(Decode(pngwriter::Encode(rows.data(), width, height, options))), plain);
    ASSERT_EQ(plain.size(), width * height * 4u);
    size_t transparent = 0;
    for (size_t p = 0; p < plain.size(); p += 4)
        transparent += plain[p + 3] == 0;
    EXPECT_EQ(transparent, (width * height + 3) / 4);
}

TEST(PngReader, SixteenBitPicturesReportNoDepthAndNoPixels)
{
    pngwriter::Options options;
    options.colourType = 2;
    options.depth = 16;
    const Bytes rows(2 * 2 * 6, 0x80);
    ImageFile image = Decode(pngwriter::Encode(rows.data(), 2, 2, options));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.bitsPerPixel, -1);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(PngReader, HeaderTypeIsMatchedWithoutRegardToCase)
{
    pngwriter::Options options;
    options.colourType = 0;
    Bytes file = pngwriter::Wrap({0, 99}, 1, 1, options);
    Bytes lower(file.begin(), file.begin() + 8);
    Bytes header(file.begin() + 16, file.begin() + 29); // the 13 data bytes
    pngwriter::PutChunk(lower, "ihdr", header.data(), header.size());
    lower.insert(lower.end(), file.begin() + 33, file.end());
    EXPECT_EQ(Pixels(Decode(lower)), Bytes{99});
}

// [SECTION] Damaged files

class DamagedPng : public ::testing::Test {
protected:
    void SetUp() override
    {
        rows = Busy(16 * 16 * 3, 9);
        options.colourType = 2;
        good = pngwriter::Encode(rows.data(), 16, 16, options);
        ASSERT_FALSE(Pixels(Decode(good)).empty());
    }
    // Offset of the first IDAT chunk's length field.
    size_t IdatAt() const { return 8 + 25; }

    Bytes rows;
    pngwriter::Options options;
    Bytes good;
};

TEST_F(DamagedPng, BadSignatureOrHeaderGivesMinusOne)
{
    Bytes file = good;
    file[1] = 'Q';
    ImageFile image = Decode(file);
    EXPECT_EQ(image.width, -1);
    EXPECT_EQ(image.bitsPerPixel, -1);
    file = good;
    file[20] ^= 1; // inside IHDR: its CRC no longer matches
    EXPECT_EQ(Decode(file).width, -1);
    for (size_t cut = 0; cut < 33; ++cut)
        EXPECT_EQ(Decode(Bytes(good.begin(), good.begin() + cut)).width, -1) << cut;
}

TEST_F(DamagedPng, DamagedImageDataGivesNoPixelsButTheHeader)
{
    Bytes file = good;
    file[IdatAt() + 20] ^= 0x40; // a bit flipped in the compressed data: CRC mismatch
    ImageFile flipped = Decode(file);
    EXPECT_EQ(flipped.pixels, nullptr);
    EXPECT_EQ(flipped.width, 16);
    EXPECT_EQ(flipped.bitsPerPixel, 24);
    for (size_t cut = IdatAt(); cut < good.size() - 12; cut += 17)
        EXPECT_EQ(Decode(Bytes(good.begin(), good.begin() + cut)).pixels, nullptr) << cut;
}

TEST_F(DamagedPng, ShortOrWronglyFilteredDataGivesNoPixels)
{
    Bytes filtered;
    for (int y = 0; y < 16; ++y) {
        filtered.push_back(0);
        filtered.insert(filtered.end(), 48, 1);
    }
    Bytes shortData(filtered.begin(), filtered.end() - 1);
    EXPECT_EQ(Decode(pngwriter::Wrap(shortData, 16, 16, options)).pixels, nullptr);
    filtered[49] = 5; // no such filter type
    EXPECT_EQ(Decode(pngwriter::Wrap(filtered, 16, 16, options)).pixels, nullptr);
}

TEST_F(DamagedPng, HugeDeclaredSizeIsRefusedBeforeAllocating)
{
    Bytes header;
    pngwriter::PutBE32(header, 0x7FFFFFFF);
    pngwriter::PutBE32(header, 0x7FFFFFFF);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    Bytes file(good.begin(), good.begin() + 8);
    pngwriter::PutChunk(file, "IHDR", header.data(), header.size());
    file.insert(file.end(), good.begin() + IdatAt(), good.end());
    ImageFile image = Decode(file);
    EXPECT_EQ(image.width, 0x7FFFFFFF);
    EXPECT_EQ(image.pixels, nullptr);
    // Within the side limits, but far more than the data could inflate to.
    header[0] = header[4] = 0;
    header[1] = header[5] = 0;
    header[2] = header[6] = 0x40;
    header[3] = header[7] = 0;
    Bytes moderate(good.begin(), good.begin() + 8);
    pngwriter::PutChunk(moderate, "IHDR", header.data(), header.size());
    moderate.insert(moderate.end(), good.begin() + IdatAt(), good.end());
    EXPECT_EQ(Decode(moderate).pixels, nullptr);
}

// [SECTION] The PNG suite

fs::path SuiteFolder(const char* part) { return fs::path(QW_SHARED_TESTDATA) / "pngsuite" / part; }

std::vector<fs::path> PngsIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".png")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

#define SKIP_WITHOUT(folder)                                                                        \
    if (!fs::is_directory(folder)) {                                                                \
        GTEST_SKIP() << "the PNG suite is not at " << (folder).string();                           \
    }

TEST(PngSuite, PrimaryImagesMatchTheirExpectedPixels)
{
    const fs::path primary = SuiteFolder("primary"), check = SuiteFolder("primary_check");
    SKIP_WITHOUT(primary);
    int compared = 0;
    for (const fs::path& file : PngsIn(primary)) {
        SCOPED_TRACE(file.filename().string());
        CImage ours, expected;
        ASSERT_TRUE(AdoptImageFile(ours, ReadPNG(file.string().c_str())));
        ASSERT_TRUE(AdoptImageFile(expected, ReadPNG((check / file.filename()).string().c_str())));
        ASSERT_EQ(expected.channels, 4u);
        ASSERT_EQ(ours.width, expected.width);
        ASSERT_EQ(ours.height, expected.height);
        ours.ConvertChannels(4); // alpha included: tRNS colour keys are applied
        size_t mismatches = 0;
        for (size_t i = 0; i < ours.SizeBytes(); ++i)
            if (ours.pixels[i] != expected.pixels[i])
                ++mismatches;
        EXPECT_EQ(mismatches, 0u);
        ++compared;
    }
    EXPECT_GT(compared, 50);
}

TEST(PngSuite, CorruptAndPhoneFilesGiveNoPixels)
{
    SKIP_WITHOUT(SuiteFolder("corrupt"));
    for (const char* part : {"corrupt", "iphone"})
        for (const fs::path& file : PngsIn(SuiteFolder(part)))
            EXPECT_EQ(ReadPNG(file.string().c_str()).pixels, nullptr) << file.filename();
}

TEST(PngSuite, SixteenBitFilesReportTheirSizeOnly)
{
    SKIP_WITHOUT(SuiteFolder("16bit"));
    for (const fs::path& file : PngsIn(SuiteFolder("16bit"))) {
        ImageFile image = ReadPNG(file.string().c_str());
        EXPECT_EQ(image.pixels, nullptr) << file.filename();
        EXPECT_EQ(image.bitsPerPixel, -1) << file.filename();
        EXPECT_GT(image.width, 0) << file.filename();
    }
}

TEST(PngSuite, AncillaryChunksDoNotStopDecoding)
{
    SKIP_WITHOUT(SuiteFolder("unused"));
    for (const fs::path& file : PngsIn(SuiteFolder("unused"))) {
        const bool sixteen = file.stem().string().find("16") != std::string::npos;
        ImageFile image = ReadPNG(file.string().c_str());
        EXPECT_EQ(image.pixels != nullptr, !sixteen) << file.filename();
    }
}

} // namespace
