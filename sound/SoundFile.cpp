#include "sound/SoundFile.h"

#include "sound/Wav.h"
#include "util/FileWrite.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <strings.h>

// [SECTION] Formats and endings
// [SECTION] libsndfile's virtual I/O on a growing string
// [SECTION] Ogg pages: one fixed stream serial number
// [SECTION] Encoding and writing

namespace {

// [SECTION] Formats and endings

struct FormatName {
    SoundFileFormat format;
    const char* name;
    const char* extension;
};

const FormatName kFormats[] = {
    {SoundFileFormat::Wav, "wav", ".wav"},
    {SoundFileFormat::Flac, "flac", ".flac"},
    {SoundFileFormat::Ogg, "ogg", ".ogg"},
};

// Ogg Vorbis quality from 0 (smallest) to 1 (best): about 110 kbit/s nominal for a mono mix,
// well above what the synthesizer's tones need to sound as rendered.
constexpr double kVorbisQuality = 0.6;

// [SECTION] libsndfile's virtual I/O on a growing string

struct MemoryFile {
    std::string bytes;
    size_t at = 0;
    int error = 0; // the errno value of the first failed write
};

sf_count_t MemoryLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<sf_count_t>(file.at);
    else if (whence == SEEK_END)
        base = static_cast<sf_count_t>(file.bytes.size());
    else if (whence != SEEK_SET)
        return -1;
    if (offset < -base || offset > INT64_MAX - base)
        return -1; // before the start, or past what a position can hold
    file.at = static_cast<size_t>(base + offset);
    return static_cast<sf_count_t>(file.at);
}

sf_count_t MemoryRead(void* out, sf_count_t count, void* user)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    if (count <= 0 || file.at >= file.bytes.size())
        return 0;
    const size_t n = std::min(static_cast<size_t>(count), file.bytes.size() - file.at);
    std::memcpy(out, file.bytes.data() + file.at, n);
    file.at += n;
    return static_cast<sf_count_t>(n);
}

sf_count_t MemoryWrite(const void* data, sf_count_t count, void* user)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    if (count <= 0)
        return 0;
    const size_t n = static_cast<size_t>(count);
    try {
        if (file.bytes.size() < file.at + n)
            file.bytes.resize(file.at + n); // a seek past the end leaves zeros, as a file would
    } catch (const std::bad_alloc&) {
        file.error = file.error ? file.error : ENOMEM;
        return 0;
    } catch (const std::length_error&) {
        file.error = file.error ? file.error : ENOMEM;
        return 0;
    }
    std::memcpy(&file.bytes[file.at], data, n);
    file.at += n;
    return count;
}

sf_count_t MemoryTell(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->at); }

// [SECTION] Ogg pages: one fixed stream serial number
//
// libsndfile gives each Ogg stream a serial number from a clock-seeded generator, so two
// encodings of the same samples would differ in those four bytes of every page (and in the
// page checksums). Every page gets the same serial instead, with its checksum redone.

constexpr uint32_t kOggSerial = 0x51570001;

uint32_t OggCrc(const uint8_t* bytes, size_t size)
{
    static const struct Table {
        uint32_t entries[256];
        Table()
        {
            for (uint32_t i = 0; i < 256; ++i) {
                uint32_t r = i << 24;
                for (int bit = 0; bit < 8; ++bit)
                    r = r & 0x80000000u ? (r << 1) ^ 0x04c11db7u : r << 1;
                entries[i] = r;
            }
        }
    } table;
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ table.entries[((crc >> 24) ^ bytes[i]) & 0xff];
    return crc;
}

void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Rewrites every page's serial number and checksum. False when the bytes are not a sequence
// of whole Ogg pages (they are then left as they were from that page on).
bool FixOggSerial(std::string& text)
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&text[0]);
    const size_t size = text.size();
    size_t at = 0;
    while (at < size) {
        constexpr size_t kHeader = 27;
        if (size - at < kHeader || std::memcmp(bytes + at, "OggS", 4) != 0)
            return false;
        const size_t segments = bytes[at + 26];
        if (size - at < kHeader + segments)
            return false;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i)
            body += bytes[at + kHeader + i];
        const size_t page = kHeader + segments + body;
        if (size - at < page)
            return false;
        Put32(bytes + at + 14, kOggSerial);
        Put32(bytes + at + 22, 0);
        Put32(bytes + at + 22, OggCrc(bytes + at, page));
        at += page;
    }
    return true;
}

bool Fail(int code, std::string& bytes, int* error)
{
    bytes.clear();
    if (error)
        *error = code;
    return false;
}

} // namespace

// [SECTION] Formats and endings (public)

bool SoundFileFormatFromPath(const String& path, SoundFileFormat& format)
{
    int32_t start = 0;
    for (int32_t i = 0; i < path.Length(); ++i)
        if (path[i] == '/')
            start = i + 1;
    int32_t dot = -1;
    for (int32_t i = start + 1; i < path.Length(); ++i)
        if (path[i] == '.')
            dot = i;
    if (dot < 0) {
        format = SoundFileFormat::Wav;
        return true;
    }
    for (const FormatName& f : kFormats)
        if (strcasecmp(path.CStr() + dot, f.extension) == 0) {
            format = f.format;
            return true;
        }
    return false;
}

bool SoundFileFormatFromName(const char* name, SoundFileFormat& format)
{
    for (const FormatName& f : kFormats)
        if (name && std::strcmp(name, f.name) == 0) {
            format = f.format;
            return true;
        }
    return false;
}

const char* SoundFileExtension(SoundFileFormat format)
{
    for (const FormatName& f : kFormats)
        if (f.format == format)
            return f.extension;
    return "";
}

// [SECTION] Encoding and writing

bool EncodeSoundFile(SoundFileFormat format, uint32_t channels, uint32_t rate, const int16_t* samples,
                     size_t frames, std::string& bytes, int* error)
{
    bytes.clear();
    if (channels == 0 || rate == 0 || (frames > 0 && !samples) || frames > SIZE_MAX / 2 / channels)
        return Fail(EINVAL, bytes, error);
    const size_t dataSize = frames * channels * 2;
    if (format == SoundFileFormat::Wav) {
        if (dataSize > UINT32_MAX - 36)
            return Fail(EFBIG, bytes, error);
        try {
            bytes.resize(kWavHeaderSize + dataSize);
        } catch (const std::bad_alloc&) {
            return Fail(ENOMEM, bytes, error);
        }
        MakeWavHeader(reinterpret_cast<uint8_t*>(&bytes[0]), channels, rate, 16, static_cast<uint32_t>(dataSize));
        if (dataSize)
            std::memcpy(&bytes[kWavHeaderSize], samples, dataSize);
        if (error)
            *error = 0;
        return true;
    }

    SF_INFO info = {};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(channels);
    info.format = format == SoundFileFormat::Flac ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16 : SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    if (rate > INT32_MAX || channels > 255 || !sf_format_check(&info))
        return Fail(EINVAL, bytes, error);
    SF_VIRTUAL_IO io = {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    MemoryFile file;
    SNDFILE* sound = nullptr;
    {
        // Opening an Ogg stream draws its serial number from a generator that libsndfile
        // keeps in a plain static; one open at a time keeps threads off it.
        static std::mutex openMutex;
        std::lock_guard<std::mutex> lock(openMutex);
        sound = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    }
    if (!sound)
        return Fail(file.error ? file.error : EIO, bytes, error);
    if (format == SoundFileFormat::Ogg) {
        double quality = kVorbisQuality;
        if (sf_command(sound, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality) != SF_TRUE) {
            sf_close(sound);
            return Fail(EIO, bytes, error);
        }
    }
    // libsndfile starts the FLAC encoder at the first write, and without one closes an empty
    // file; starting it at once gives the stream header with no audio frames after it.
    if (format == SoundFileFormat::Flac && frames == 0)
        sf_command(sound, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    // libsndfile takes counts as 64-bit items; a block at a time keeps each call well inside.
    constexpr size_t kBlockFrames = 1 << 16;
    bool ok = true;
    for (size_t done = 0; ok && done < frames;) {
        const size_t n = std::min(kBlockFrames, frames - done);
        ok = sf_writef_short(sound, samples + done * channels, static_cast<sf_count_t>(n)) ==
             static_cast<sf_count_t>(n);
        done += n;
    }
    ok = sf_close(sound) == 0 && ok && file.error == 0;
    if (!ok)
        return Fail(file.error ? file.error : EIO, bytes, error);
    if (format == SoundFileFormat::Ogg && !FixOggSerial(file.bytes))
        return Fail(EIO, bytes, error);
    bytes.swap(file.bytes);
    if (error)
        *error = 0;
    return true;
}

bool WriteSoundFile(const String& path, SoundFileFormat format, uint32_t channels, uint32_t rate,
                    const int16_t* samples, size_t frames, int* error)
{
    if (format == SoundFileFormat::Wav) {
        if (channels == 0 || frames > (UINT32_MAX - 36) / 2 / channels) {
            if (error)
                *error = channels == 0 ? EINVAL : EFBIG;
            return false;
        }
        return WriteWav(path, channels, rate, 16, static_cast<uint32_t>(frames * channels * 2), samples, error);
    }
    std::string bytes;
    if (!EncodeSoundFile(format, channels, rate, samples, frames, bytes, error))
        return false;
    return WriteFileAtomically(path.CStr(), bytes.data(), bytes.size(), error);
}
