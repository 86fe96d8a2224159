#include "media/Image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Channel values are read and written through memcpy: blocks are plain bytes, and the value
// types (uint16_t, float) must not be accessed through a byte pointer cast.
template <typename T>
T Load(const uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof(T));
    return value;
}

template <typename T>
void Store(uint8_t* at, T value)
{
    std::memcpy(at, &value, sizeof(T));
}

template <typename T> constexpr T MaxValue();
template <> constexpr uint8_t MaxValue<uint8_t>() { return 255; }
template <> constexpr uint16_t MaxValue<uint16_t>() { return 65535; }
template <> constexpr float MaxValue<float>() { return 1.0f; }

template <typename T>
T Mean3(T r, T g, T b)
{
    return static_cast<T>((static_cast<uint32_t>(r) + g + b) / 3);
}

template <>
float Mean3<float>(float r, float g, float b)
{
    return (r + g + b) / 3.0f;
}

// Rewrites count pixels of `from` channels into `to` channels of the same value type.
template <typename T>
void ConvertPixels(const uint8_t* in, uint8_t* out, size_t count, uint32_t from, uint32_t to)
{
    const size_t inStep = from * sizeof(T), outStep = to * sizeof(T);
    for (size_t i = 0; i < count; ++i, in += inStep, out += outStep) {
        T r, g, b, a = MaxValue<T>();
        if (from <= 2) {
            r = g = b = Load<T>(in);
            if (from == 2)
                a = Load<T>(in + sizeof(T));
        } else {
            r = Load<T>(in);
            g = Load<T>(in + sizeof(T));
            b = Load<T>(in + 2 * sizeof(T));
            if (from == 4)
                a = Load<T>(in + 3 * sizeof(T));
        }
        if (to <= 2) {
            Store<T>(out, from <= 2 ? r : Mean3<T>(r, g, b));
            if (to == 2)
                Store<T>(out + sizeof(T), a);
        } else {
            Store<T>(out, r);
            Store<T>(out + sizeof(T), g);
            Store<T>(out + 2 * sizeof(T), b);
            if (to == 4)
                Store<T>(out + 3 * sizeof(T), a);
        }
    }
}

// One value from `fromBytes` to `toBytes` per channel (1, 2 or 4 = float).
void ConvertValue(const uint8_t* in, uint32_t fromBytes, uint8_t* out, uint32_t toBytes)
{
    float unit; // the value in 0..1, or exact integer paths below
    if (fromBytes == 1 && toBytes == 2) {
        Store<uint16_t>(out, static_cast<uint16_t>(in[0] * 65535u / 255u));
        return;
    }
    if (fromBytes == 2 && toBytes == 1) {
        out[0] = static_cast<uint8_t>(Load<uint16_t>(in) * 255u / 65535u);
        return;
    }
    if (fromBytes == 1)
        unit = in[0] / 255.0f;
    else if (fromBytes == 2)
        unit = Load<uint16_t>(in) / 65535.0f;
    else
        unit = Load<float>(in);
    if (toBytes == 4) {
        Store<float>(out, unit);
        return;
    }
    // Float to integer: out-of-range and NaN values are clamped before the conversion.
    float scaled = unit * (toBytes == 1 ? 255.0f : 65535.0f);
    float top = toBytes == 1 ? 255.0f : 65535.0f;
    if (!(scaled > 0.0f))
        scaled = 0.0f;
    else if (scaled > top)
        scaled = top;
    if (toBytes == 1)
        out[0] = static_cast<uint8_t>(scaled);
    else
        Store<uint16_t>(out, static_cast<uint16_t>(scaled));
}

uint8_t* AllocateBlock(size_t bytes, bool zero)
{
    if (bytes == 0 || bytes > CImage::kMaxBytes)
        return nullptr;
    return static_cast<uint8_t*>(zero ? std::calloc(bytes, 1) : std::malloc(bytes));
}

} // namespace

CImage::~CImage()
{
    if (!external)
        std::free(pixels);
}

CImage::CImage(const CImage& other) : CResource(other) { CopyPixelsFrom(other); }

CImage& CImage::operator=(const CImage& other)
{
    if (this != &other) {
        CResource::operator=(other);
        CopyPixelsFrom(other);
    }
    return *this;
}

CImage::CImage(CImage&& other) noexcept : CResource(other)
{
    external = other.external;
    pixels = std::exchange(other.pixels, nullptr);
    width = std::exchange(other.width, 0);
    height = std::exchange(other.height, 0);
    channels = std::exchange(other.channels, 0);
    bitsPerPixel = std::exchange(other.bitsPerPixel, 0);
    other.external = false;
}

CImage& CImage::operator=(CImage&& other) noexcept
{
    if (this != &other) {
        Release();
        CResource::operator=(other);
        external = std::exchange(other.external, false);
        pixels = std::exchange(other.pixels, nullptr);
        width = std::exchange(other.width, 0);
        height = std::exchange(other.height, 0);
        channels = std::exchange(other.channels, 0);
        bitsPerPixel = std::exchange(other.bitsPerPixel, 0);
    }
    return *this;
}

void CImage::CopyPixelsFrom(const CImage& other)
{
    Release();
    width = other.width;
    height = other.height;
    channels = other.channels;
    bitsPerPixel = other.bitsPerPixel;
    if (other.external) {
        external = true;
        pixels = other.pixels;
    } else if (other.pixels) {
        pixels = AllocateBlock(other.SizeBytes(), false);
        if (pixels)
            std::memcpy(pixels, other.pixels, other.SizeBytes());
        else
            width = height = channels = bitsPerPixel = 0;
    }
}

void CImage::Release()
{
    if (!external)
        std::free(pixels);
    pixels = nullptr;
    external = false;
    width = height = channels = bitsPerPixel = 0;
}

bool CImage::Allocate(uint32_t bits, uint32_t newWidth, uint32_t newHeight, uint32_t newChannels)
{
    Release();
    if (bits % 8 != 0)
        return false;
    uint64_t bytes = static_cast<uint64_t>(newWidth) * (bits / 8) * newHeight;
    if (bytes == 0)
        return true;
    if (bytes > kMaxBytes)
        return false;
    uint8_t* block = AllocateBlock(static_cast<size_t>(bytes), true);
    if (!block)
        return false;
    Adopt(block, newWidth, newHeight, newChannels, bits);
    return true;
}

void CImage::Adopt(uint8_t* block, uint32_t newWidth, uint32_t newHeight, uint32_t newChannels,
                   uint32_t bits)
{
    Release();
    pixels = block;
    width = newWidth;
    height = newHeight;
    channels = newChannels;
    bitsPerPixel = bits;
}

void CImage::ConvertChannels(uint32_t target)
{
    uint32_t valueBytes = BytesPerChannel();
    if (!pixels || target < 1 || target > 4 || channels < 1 || channels > 4 || target == channels)
        return;
    if (valueBytes != 1 && valueBytes != 2 && valueBytes != 4)
        return;
    if (valueBytes * channels * 8 != bitsPerPixel)
        return;
    size_t count = static_cast<size_t>(width) * height;
    uint8_t* block = AllocateBlock(count * target * valueBytes, false);
    if (!block)
        return;
    if (valueBytes == 1)
        ConvertPixels<uint8_t>(pixels, block, count, channels, target);
    else if (valueBytes == 2)
        ConvertPixels<uint16_t>(pixels, block, count, channels, target);
    else
        ConvertPixels<float>(pixels, block, count, channels, target);
    uint32_t w = width, h = height;
    Adopt(block, w, h, target, target * valueBytes * 8);
}

void CImage::ConvertDepth(uint32_t targetBitsPerPixel)
{
    uint32_t fromBytes = BytesPerChannel();
    if (!pixels || channels == 0 || targetBitsPerPixel % (channels * 8) != 0)
        return;
    uint32_t toBytes = targetBitsPerPixel / (channels * 8);
    if ((toBytes != 1 && toBytes != 2 && toBytes != 4) || toBytes == fromBytes)
        return;
    if ((fromBytes != 1 && fromBytes != 2 && fromBytes != 4) || fromBytes * channels * 8 != bitsPerPixel)
        return;
    size_t values = static_cast<size_t>(width) * height * channels;
    uint8_t* block = AllocateBlock(values * toBytes, false);
    if (!block)
        return;
    const uint8_t* in = pixels;
    uint8_t* out = block;
    for (size_t i = 0; i < values; ++i, in += fromBytes, out += toBytes)
        ConvertValue(in, fromBytes, out, toBytes);
    uint32_t w = width, h = height, c = channels;
    Adopt(block, w, h, c, targetBitsPerPixel);
}

void CImage::Paste(const CImage& source, uint32_t pasteWidth, uint32_t pasteHeight)
{
    if (!pixels || !source.pixels || source.bitsPerPixel != bitsPerPixel)
        return;
    CImage copy(source);
    copy.ConvertChannels(channels);
    copy.ConvertDepth(bitsPerPixel);
    if (!copy.pixels || copy.bitsPerPixel != bitsPerPixel)
        return;
    size_t rowBytes = std::min<uint64_t>({RowBytes(), copy.RowBytes(),
                                          static_cast<uint64_t>(pasteWidth) * copy.BytesPerPixel()});
    uint32_t rows = std::min(pasteHeight, copy.height);
    for (uint32_t r = 0; r < rows; ++r) {
        int64_t target = static_cast<int64_t>(height) - pasteHeight + r;
        if (target < 0 || target >= height)
            continue;
        std::memcpy(pixels + static_cast<size_t>(target) * RowBytes(), copy.pixels + r * copy.RowBytes(),
                    rowBytes);
    }
}

float CImage::AspectRatio() const
{
    return height == 0 ? 0.0f : static_cast<float>(width) / static_cast<float>(height);
}
