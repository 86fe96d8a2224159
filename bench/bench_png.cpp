// PNG decoding speed: the program's decoder against libpng on the same file, a 1024 × 1024
// RGBA picture of gradients and noise whose rows mix all five filter types. Also inflate
// alone, the floor under both.
#include "media/ImageReaders.h"
#include "tests/support/PngWriter.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#ifdef QW_HAVE_LIBPNG
#include <png.h>
#endif

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSide = 1024;

struct TestFile {
    std::vector<uint8_t> png;
    std::vector<uint8_t> idat;     // the image data's zlib stream, joined
    size_t inflatedSize = 0;
    int filterCounts[5] = {};
};

const TestFile& File()
{
    static const TestFile file = [] {
        TestFile made;
        std::vector<uint8_t> rows(static_cast<size_t>(kSide) * kSide * 4);
        uint32_t seed = 12345;
        for (uint32_t y = 0; y < kSide; ++y)
            for (uint32_t x = 0; x < kSide; ++x) {
                seed = seed * 1103515245u + 12345u;
                const int noise = static_cast<int>((seed >> 16) & 15) - 8;
                uint8_t* p = &rows[(static_cast<size_t>(y) * kSide + x) * 4];
                const int dx = static_cast<int>(x) - 512, dy = static_cast<int>(y) - 400;
                const int radial = (dx * dx + dy * dy) >> 11;
                p[0] = static_cast<uint8_t>(std::clamp(static_cast<int>(x / 4) + noise, 0, 255));
                p[1] = static_cast<uint8_t>(std::clamp(static_cast<int>(y / 4) + noise / 2, 0, 255));
                p[2] = static_cast<uint8_t>(std::clamp(255 - radial + noise, 0, 255));
                p[3] = static_cast<uint8_t>(x < 64 || y < 64 ? 128 : 255);
            }
        // Row filters in the proportions an adaptive encoder tends to give such pictures:
        // mostly Paeth, Up and Sub, some Average and a few unfiltered rows.
        pngwriter::Options options; // RGBA, 8 bits
        options.idatSize = 8192;
        const int weights[5] = {1, 4, 5, 2, 8}; // out of 20, filter 0 to 4
        for (uint32_t y = 0; y < kSide; ++y) {
            seed = seed * 1103515245u + 12345u;
            int pick = static_cast<int>((seed >> 16) % 20), filter = 0;
            while (pick >= weights[filter])
                pick -= weights[filter++];
            options.rowFilters.push_back(filter);
        }
        made.png = pngwriter::Encode(rows.data(), kSide, kSide, options);

        for (size_t at = 8; at + 12 <= made.png.size();) {
            const uint8_t* chunk = &made.png[at];
            const uint32_t length = (chunk[0] << 24) | (chunk[1] << 16) | (chunk[2] << 8) | chunk[3];
            if (std::memcmp(chunk + 4, "IDAT", 4) == 0)
                made.idat.insert(made.idat.end(), chunk + 8, chunk + 8 + length);
            at += 12 + length;
        }
        made.inflatedSize = static_cast<size_t>(kSide) * (kSide * 4 + 1);
        std::vector<uint8_t> raw(made.inflatedSize);
        uLongf rawSize = static_cast<uLongf>(raw.size());
        uncompress(raw.data(), &rawSize, made.idat.data(), static_cast<uLong>(made.idat.size()));
        for (uint32_t y = 0; y < kSide; ++y)
            ++made.filterCounts[raw[static_cast<size_t>(y) * (kSide * 4 + 1)] % 5];
        return made;
    }();
    return file;
}

void Describe(benchmark::State& state)
{
    const TestFile& file = File();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 4);
    state.counters["file_KiB"] = static_cast<double>(file.png.size()) / 1024.0;
    for (int f = 0; f < 5; ++f)
        state.counters["rows_filter" + std::to_string(f)] = file.filterCounts[f];
}

void DecodeQuillwave(benchmark::State& state)
{
    const TestFile& file = File();
    for (auto _ : state) {
        ImageFile image = DecodePNG(file.png.data(), file.png.size());
        if (!image.pixels)
            state.SkipWithError("the decoder gave no pixels");
        benchmark::DoNotOptimize(image.pixels);
    }
    Describe(state);
}
BENCHMARK(DecodeQuillwave)->Unit(benchmark::kMillisecond);

#ifdef QW_HAVE_LIBPNG
struct MemoryInput {
    const uint8_t* data;
    size_t size;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (count > input->size - input->at)
        png_error(png, "read past the end");
    std::memcpy(out, input->data + input->at, count);
    input->at += count;
}

// The same work: the whole file into one block of RGBA rows.
void DecodeLibpng(benchmark::State& state)
{
    const TestFile& file = File();
    std::vector<png_bytep> rows(kSide);
    for (auto _ : state) {
        MemoryInput input{file.png.data(), file.png.size(), 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        std::vector<uint8_t>* pixels = new std::vector<uint8_t>();
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
        } else {
            png_set_read_fn(png, &input, ReadFromMemory);
            png_read_info(png, info);
            const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
            pixels->resize(static_cast<size_t>(width) * height * 4);
            for (png_uint_32 y = 0; y < height; ++y)
                rows[y] = pixels->data() + static_cast<size_t>(y) * width * 4;
            png_read_image(png, rows.data());
            png_read_end(png, nullptr);
            benchmark::DoNotOptimize(pixels->data());
        }
        png_destroy_read_struct(&png, &info, nullptr);
        delete pixels;
    }
    Describe(state);
}
BENCHMARK(DecodeLibpng)->Unit(benchmark::kMillisecond);
#endif

// zlib's inflate of the joined image data in one call: the part neither decoder can avoid.
void InflateOnly(benchmark::State& state)
{
    const TestFile& file = File();
    std::vector<uint8_t> raw(file.inflatedSize);
    for (auto _ : state) {
        uLongf rawSize = static_cast<uLongf>(raw.size());
        uncompress(raw.data(), &rawSize, file.idat.data(), static_cast<uLong>(file.idat.size()));
        benchmark::DoNotOptimize(raw.data());
    }
    Describe(state);
}
BENCHMARK(InflateOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
