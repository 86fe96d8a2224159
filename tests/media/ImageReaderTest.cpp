// The BMP, TGA and JPEG readers on small files made here, and the file front end. Every
// reader must give bottom-up rows in RGBA order and refuse damaged files without pixels.
#include "media/Image.h"
#include "media/ImageReaders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pixels(const ImageFile& file)
{
    if (!file.pixels)
        return {};
    return Bytes(file.pixels, file.pixels + static_cast<size_t>(file.width) * file.height * file.Channels());
}

void Put16(Bytes& out, size_t at, uint32_t v)
{
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes& out, size_t at, uint32_t v)
{
    Put16(out, at, v);
    Put16(out, at + 2, v >> 16);
}

// A BMP with a 40-byte information header; rows are given as stored (first row first),
// without their fill bytes, which are added here.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const std::vector<Bytes>& rows,
              uint32_t paletteEntries = 0, uint32_t compression = 0)
{
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const uint32_t offset = 54 + paletteEntries * 4;
    Bytes file(offset, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 10, offset);
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<uint32_t>(width));
    Put32(file, 22, static_cast<uint32_t>(height));
    Put16(file, 26, 1);
    Put16(file, 28, bits);
    Put32(file, 30, compression);
    for (uint32_t i = 0; i < paletteEntries; ++i) // a palette unlike the indices
        file[54 + i * 4] = static_cast<uint8_t>(255 - i);
    for (const Bytes& row : rows) {
        Bytes padded = row;
        padded.resize(stride, 0xEE);
        file.insert(file.end(), padded.begin(), padded.end());
    }
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    return file;
}

Bytes MakeTga(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t descriptor, const Bytes& data,
              uint8_t mapType = 0, uint16_t mapLength = 0, uint8_t mapBits = 0)
{
    Bytes file(18, 0);
    file[0] = 3; // an identification field of 3 bytes
    file[1] = mapType;
    file[2] = type;
    Put16(file, 5, mapLength);
    file[7] = mapBits;
    Put16(file, 12, width);
    Put16(file, 14, height);
    file[16] = bits;
    file[17] = descriptor;
    for (char c : {'i', 'd', '!'}) // (push_back: GCC 12 misreads an initializer-list insert)
        file.push_back(static_cast<uint8_t>(c));
    file.insert(file.end(), static_cast<size_t>(mapLength) * ((mapBits + 7) / 8), 0x55);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// [SECTION] BMP

TEST(BmpReader, FirstBluePixelIsTheBottomLeftAndRowsSkipTheirFill)
{
    // 2 × 2 at 24 bits: rows of 6 bytes stored in 8. The file's first row is the bottom.
    Bytes file = MakeBmp(2, 2, 24, {{0xFF, 0, 0, 0, 0xFF, 0}, {0, 0, 0xFF, 1, 2, 3}});
    ImageFile image = DecodeBMP(file.data(), file.size());
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(Pixels(image), (Bytes{0, 0, 255, 0, 255, 0, 255, 0, 0, 3, 2, 1}));
}

TEST(BmpReader, NegativeHeightMeansTopDownRows)
{
    Bytes file = MakeBmp(1, -2, 24, {{1, 2, 3}, {4, 5, 6}});
    ImageFile image = DecodeBMP(file.data(), file.size());
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(Pixels(image), (Bytes{6, 5, 4, 3, 2, 1}));
}

TEST(BmpReader, EightBitFileGivesItsPaletteIndicesAsGrey)
{
    Bytes file = MakeBmp(3, 1, 8, {{0, 7, 200}}, 256);
    ImageFile image = DecodeBMP(file.data(), file.size());
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(Pixels(image), (Bytes{0, 7, 200}));
}

TEST(BmpReader, ThirtyTwoBitAlphaIsKeptUnlessItIsZeroEverywhere)
{
    Bytes withAlpha = MakeBmp(2, 1, 32, {{1, 2, 3, 0, 4, 5, 6, 128}});
    EXPECT_EQ(Pixels(DecodeBMP(withAlpha.data(), withAlpha.size())), (Bytes{3, 2, 1, 0, 6, 5, 4, 128}));
    Bytes unused = MakeBmp(2, 1, 32, {{1, 2, 3, 0, 4, 5, 6, 0}});
    EXPECT_EQ(Pixels(DecodeBMP(unused.data(), unused.size())), (Bytes{3, 2, 1, 255, 6, 5, 4, 255}));
}

// A 32-bit BITFIELDS file: with a 40-byte header three colour masks follow it; a longer
// header holds them and an alpha mask itself.
Bytes MakeBitFieldsBmp(const Bytes& pixels, uint32_t infoSize, uint32_t alphaMask = 0)
{
    Bytes file = MakeBmp(static_cast<int32_t>(pixels.size() / 4), 1, 32, {pixels}, 0, 3);
    Bytes masks(infoSize == 40 ? 12 : infoSize - 40);
    Put32(masks, 0, 0x00FF0000);
    Put32(masks, 4, 0x0000FF00);
    Put32(masks, 8, 0x000000FF);
    if (infoSize > 40)
        Put32(masks, 12, alphaMask);
    file.insert(file.begin() + 54, masks.begin(), masks.end());
    Put32(file, 10, static_cast<uint32_t>(54 + masks.size()));
    Put32(file, 14, infoSize);
    return file;
}

TEST(BmpReader, BitFieldsWithTheByteLayoutAreRead)
{
    Bytes file = MakeBitFieldsBmp({10, 20, 30, 40, 50, 60, 70, 0}, 40);
    ImageFile image = DecodeBMP(file.data(), file.size());
    EXPECT_EQ(image.bitsPerPixel, 32);
    EXPECT_EQ(Pixels(image), (Bytes{30, 20, 10, 255, 70, 60, 50, 255})); // no alpha mask: opaque
    Put32(file, 54, 0x0000F800); // any other layout is not decoded
    EXPECT_EQ(DecodeBMP(file.data(), file.size()).pixels, nullptr);
}

TEST(BmpReader, BitFieldsAlphaComesOnlyFromAnAlphaMask)
{
    for (uint32_t infoSize : {56u, 108u, 124u}) {
        Bytes masked = MakeBitFieldsBmp({10, 20, 30, 40, 50, 60, 70, 0}, infoSize, 0xFF000000);
        EXPECT_EQ(Pixels(DecodeBMP(masked.data(), masked.size())), (Bytes{30, 20, 10, 40, 70, 60, 50, 0}))
            << infoSize;
        Bytes unmasked = MakeBitFieldsBmp({10, 20, 30, 40, 50, 60, 70, 0}, infoSize, 0);
        EXPECT_EQ(Pixels(DecodeBMP(unmasked.data(), unmasked.size())), (Bytes{30, 20, 10, 255, 70, 60, 50, 255}))
            << infoSize;
        Bytes odd = MakeBitFieldsBmp({10, 20, 30, 40}, infoSize, 0x0F000000); // not a byte of its own
        EXPECT_EQ(DecodeBMP(odd.data(), odd.size()).pixels, nullptr) << infoSize;
    }
}

TEST(BmpReader, UnsupportedVariantsReportTheHeaderWithoutPixels)
{
    Bytes compressed = MakeBmp(2, 2, 8, {{1, 1}, {1, 1}}, 0, 1);
    ImageFile rle = DecodeBMP(compressed.data(), compressed.size());
    EXPECT_EQ(rle.pixels, nullptr);
    EXPECT_EQ(rle.width, 2);
    EXPECT_EQ(rle.bitsPerPixel, 8);
    Bytes sixteen = MakeBmp(1, 1, 16, {{1, 2}});
    ImageFile deep = DecodeBMP(sixteen.data(), sixteen.size());
    EXPECT_EQ(deep.pixels, nullptr);
    EXPECT_EQ(deep.bitsPerPixel, 16);
}

TEST(BmpReader, HostileHeadersGiveNoPixels)
{
    Bytes good = MakeBmp(4, 4, 24, std::vector<Bytes>(4, Bytes(12, 1)));
    Bytes bad = good;
    bad[0] = 'X';
    EXPECT_EQ(DecodeBMP(bad.data(), bad.size()).width, -1);
    bad = good;
    bad.resize(good.size() - 13); // the last row cut short
    EXPECT_EQ(DecodeBMP(bad.data(), bad.size()).pixels, nullptr);
    bad = good;
    Put32(bad, 18, 0x7FFFFFFF); // a width far beyond the data and the size limit
    ImageFile huge = DecodeBMP(bad.data(), bad.size());
    EXPECT_EQ(huge.pixels, nullptr);
    EXPECT_EQ(huge.width, 0x7FFFFFFF);
    bad = good;
    Put32(bad, 10, 0xFFFFFFF0); // pixel data beyond the end
    EXPECT_EQ(DecodeBMP(bad.data(), bad.size()).pixels, nullptr);
    bad = good;
    Put32(bad, 18, static_cast<uint32_t>(-4)); // negative width: not a picture
    EXPECT_EQ(DecodeBMP(bad.data(), bad.size()).width, -1);
    for (size_t cut = 0; cut < 54; ++cut)
        EXPECT_EQ(DecodeBMP(good.data(), cut).pixels, nullptr) << cut;
}

// [SECTION] TGA

TEST(TgaReader, UncompressedRowsAreBottomUpAndSwappedToRgb)
{
    Bytes file = MakeTga(2, 2, 2, 24, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ImageFile image = DecodeTGA(file.data(), file.size());
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(Pixels(image), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST(TgaReader, TopAndRightOriginsAreTurnedAround)
{
    const Bytes data = {1, 2, 3, 4}; // 2 × 2 grey, file order
    Bytes top = MakeTga(3, 2, 2, 8, 0x20, data);
    EXPECT_EQ(Pixels(DecodeTGA(top.data(), top.size())), (Bytes{3, 4, 1, 2}));
    Bytes right = MakeTga(3, 2, 2, 8, 0x10, data);
    EXPECT_EQ(Pixels(DecodeTGA(right.data(), right.size())), (Bytes{2, 1, 4, 3}));
}

TEST(TgaReader, RunLengthPacketsDecodeLikeTheRawPicture)
{
    // 3 × 2 RGBA: a run of 4 (crossing the row end), then 2 raw pixels.
    Bytes packets = {0x83, 10, 20, 30, 40, 0x01, 1, 2, 3, 4, 5, 6, 7, 8};
    Bytes file = MakeTga(10, 3, 2, 32, 0, packets);
    ImageFile image = DecodeTGA(file.data(), file.size());
    EXPECT_EQ(Pixels(image), (Bytes{30, 20, 10, 40, 30, 20, 10, 40, 30, 20, 10, 40, //
                                    30, 20, 10, 40, 3, 2, 1, 4, 7, 6, 5, 8}));
    Bytes grey = MakeTga(11, 4, 1, 8, 0x20, {0x02, 9, 8, 7, 0x80, 5});
    EXPECT_EQ(Pixels(DecodeTGA(grey.data(), grey.size())), (Bytes{9, 8, 7, 5}));
}

TEST(TgaReader, ColourMapIsSkippedAndIndicesAreGrey)
{
    Bytes file = MakeTga(1, 2, 1, 8, 0, {0, 1}, 1, 2, 24);
    ImageFile image = DecodeTGA(file.data(), file.size());
    EXPECT_EQ(Pixels(image), (Bytes{0, 1}));
}

TEST(TgaReader, DamagedOrUnsupportedFilesGiveNoPixels)
{
    Bytes sixteen = MakeTga(2, 1, 1, 16, 0, {1, 2});
    ImageFile deep = DecodeTGA(sixteen.data(), sixteen.size());
    EXPECT_EQ(deep.pixels, nullptr);
    EXPECT_EQ(deep.bitsPerPixel, 16);
    Bytes shortRuns = MakeTga(10, 100, 100, 24, 0, {0xFF, 1, 2, 3}); // 128 of 10000 pixels
    EXPECT_EQ(DecodeTGA(shortRuns.data(), shortRuns.size()).pixels, nullptr);
    Bytes shortRaw = MakeTga(2, 4, 4, 24, 0, Bytes(47, 0));
    EXPECT_EQ(DecodeTGA(shortRaw.data(), shortRaw.size()).pixels, nullptr);
    Bytes hugeMap = MakeTga(1, 1, 1, 8, 0, {0}, 1, 0, 24);
    Put16(hugeMap, 5, 0xFFFF); // a colour map longer than the file
    EXPECT_EQ(DecodeTGA(hugeMap.data(), hugeMap.size()).pixels, nullptr);
    Bytes huge = MakeTga(2, 0xFFFF, 0xFFFF, 32, 0, {});
    ImageFile big = DecodeTGA(huge.data(), huge.size());
    EXPECT_EQ(big.pixels, nullptr);
    EXPECT_EQ(big.width, 0xFFFF);
    EXPECT_EQ(DecodeTGA(huge.data(), 17).width, -1);
}

// [SECTION] JPEG

// Encodes width × height samples (top row first) with libjpeg.
Bytes MakeJpeg(uint32_t width, uint32_t height, int components, J_COLOR_SPACE space, const Bytes& samples,
               bool progressive = false)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    for (uint32_t y = 0; y < height; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + y * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes file(out, out + outSize);
    std::free(out);
    return file;
}

// An 8 × 16 picture, top half one colour and bottom half another.
Bytes TwoHalves(const Bytes& top, const Bytes& bottom)
{
    Bytes samples;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            samples.insert(samples.end(), (y < 8 ? top : bottom).begin(), (y < 8 ? top : bottom).end());
    return samples;
}

void ExpectNear(const uint8_t* pixel, const Bytes& expected, int tolerance)
{
    for (size_t c = 0; c < expected.size(); ++c)
        EXPECT_NEAR(pixel[c], expected[c], tolerance) << "channel " << c;
}

TEST(JpegReader, GreyPictureIsEightBitsBottomUp)
{
    Bytes file = MakeJpeg(8, 16, 1, JCS_GRAYSCALE, TwoHalves({40}, {200}));
    ImageFile image = DecodeJPEG(file.data(), file.size());
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.width, 8);
    EXPECT_EQ(image.height, 16);
    ExpectNear(image.pixels, {200}, 2);                 // bottom row first
    ExpectNear(image.pixels + 15 * 8, {40}, 2);         // top row last
}

TEST(JpegReader, ColourPicturesBaselineAndProgressiveAreRgbBottomUp)
{
    const Bytes samples = TwoHalves({250, 10, 10}, {10, 10, 250});
    for (bool progressive : {false, true}) {
        Bytes file = MakeJpeg(8, 16, 3, JCS_RGB, samples, progressive);
        ImageFile image = DecodeJPEG(file.data(), file.size());
        ASSERT_NE(image.pixels, nullptr) << progressive;
        EXPECT_EQ(image.bitsPerPixel, 24);
        ExpectNear(image.pixels + 1 * 8 * 3, {10, 10, 250}, 12);
        ExpectNear(image.pixels + 14 * 8 * 3, {250, 10, 10}, 12);
    }
}

TEST(JpegReader, CmykPictureIsConvertedToRgb)
{
    // Adobe CMYK as libjpeg writes it: the values stand inverted (255 means no ink).
    Bytes file = MakeJpeg(8, 16, 4, JCS_CMYK, TwoHalves({255, 0, 0, 255}, {255, 255, 255, 255}));
    ImageFile image = DecodeJPEG(file.data(), file.size());
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.bitsPerPixel, 24);
    ExpectNear(image.pixels, {255, 255, 255}, 6);
    ExpectNear(image.pixels + 15 * 8 * 3, {255, 0, 0}, 6);
}

TEST(JpegReader, DamagedFilesReturnWithoutPixels)
{
    Bytes file = MakeJpeg(8, 16, 3, JCS_RGB, TwoHalves({1, 2, 3}, {4, 5, 6}));
    for (size_t cut : {size_t(0), size_t(2), size_t(20), file.size() / 2, file.size() - 40})
        EXPECT_EQ(DecodeJPEG(file.data(), cut).pixels, nullptr) << cut;
    Bytes garbage = file;
    for (size_t i = garbage.size() / 2; i < garbage.size() - 2; ++i)
        garbage[i] = 0xFF; // markers where entropy data should be
    EXPECT_EQ(DecodeJPEG(garbage.data(), garbage.size()).pixels, nullptr);
    Bytes noEnd(file.begin(), file.end() - 2); // only the end marker missing: still a picture
    EXPECT_NE(DecodeJPEG(noEnd.data(), noEnd.size()).pixels, nullptr);
    Bytes notJpeg(100, 0x42);
    EXPECT_EQ(DecodeJPEG(notJpeg.data(), notJpeg.size()).width, -1);
}

// Where the last scan of a file starts (its start-of-scan marker); entropy data never holds
// 0xFF followed by anything but 0 or a restart marker.
size_t LastScanStart(const Bytes& file)
{
    for (size_t at = file.size() - 1; at-- > 0;)
        if (file[at] == 0xFF && file[at + 1] == 0xDA)
            return at;
    return 0;
}

TEST(JpegReader, ProgressiveFileWithEveryScanButNoEndMarkerIsAPicture)
{
    Bytes samples;
    for (uint32_t i = 0; i < 24 * 16; ++i) // detail in every coefficient band
        samples.insert(samples.end(), {uint8_t(i * 37), uint8_t(i * 11 + 90), uint8_t(255 - i * 5)});
    const Bytes file = MakeJpeg(24, 16, 3, JCS_RGB, samples, true);
    ASSERT_EQ(file[file.size() - 1], 0xD9);
    const Bytes whole = Pixels(DecodeJPEG(file.data(), file.size()));
    ASSERT_FALSE(whole.empty());

    const Bytes noEnd(file.begin(), file.end() - 2);
    EXPECT_EQ(Pixels(DecodeJPEG(noEnd.data(), noEnd.size())), whole);

    // Without its last scan, or with that scan cut short, the picture is incomplete.
    const size_t lastScan = LastScanStart(file);
    ASSERT_GT(lastScan, 0u);
    for (size_t cut : {lastScan, lastScan + 2, (lastScan + file.size()) / 2, file.size() - 3})
        EXPECT_EQ(DecodeJPEG(file.data(), cut).pixels, nullptr) << cut << " of " << file.size();
}

TEST(JpegReader, PicturesAboveTheLimitAreRefusedAfterTheHeader)
{
    Bytes file = MakeJpeg(8, 16, 1, JCS_GRAYSCALE, TwoHalves({1}, {2}));
    ImageFile image = DecodeJPEG(file.data(), file.size(), 100);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 8);
    EXPECT_EQ(image.bitsPerPixel, 8);
}

// [SECTION] Files

class ImageFiles : public ::testing::Test {
protected:
    String Write(const char* name, const Bytes& bytes)
    {
        WriteFileBytes(folder.File(name), std::string(bytes.begin(), bytes.end()));
        return String(folder.File(name).c_str());
    }

    TempDir folder;
};

TEST_F(ImageFiles, ReaderIsChosenByTheExactEnding)
{
    Bytes bmp = MakeBmp(1, 1, 24, {{1, 2, 3}});
    ImageFile image = ReadImageFile(Write("a.bmp", bmp));
    EXPECT_EQ(Pixels(image), (Bytes{3, 2, 1}));
    EXPECT_EQ(ReadImageFile(Write("b.BMP", bmp)).width, -1);
    EXPECT_EQ(ReadImageFile(Write("c.png", bmp)).width, -1); // a BMP is no PNG
    Bytes tga = MakeTga(3, 1, 1, 8, 0, {9});
    EXPECT_EQ(Pixels(ReadImageFile(Write("d.tga", tga))), Bytes{9});
}

TEST_F(ImageFiles, MissingFileAndFolderGiveMinusOne)
{
    ImageFile missing = ReadPNG(folder.File("none.png").c_str());
    EXPECT_EQ(missing.width, -1);
    EXPECT_EQ(missing.height, -1);
    EXPECT_EQ(missing.bitsPerPixel, -1);
    EXPECT_EQ(ReadBMP(folder.Path().string().c_str()).width, -1);
}

TEST_F(ImageFiles, ImageAdoptsTheReadersBlock)
{
    CImage image;
    EXPECT_TRUE(AdoptImageFile(image, ReadTGA(Write("e.tga", MakeTga(2, 1, 2, 32, 0, Bytes(8, 7))))));
    EXPECT_EQ(image.channels, 4u);
    EXPECT_EQ(image.bitsPerPixel, 32u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_FALSE(AdoptImageFile(image, ReadTGA(Write("f.tga", Bytes(5, 0)))));
    EXPECT_EQ(image.pixels, nullptr);
}

} // namespace
