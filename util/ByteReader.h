// CByteReader: reads little- and big-endian integers, floats and byte spans from a block of
// memory it does not own, and can never read past the block's end. A read that does not fit
// gives 0 (or a null span), moves the reader to the end and sets a sticky failed flag, so a
// file reader may read a whole header and test Failed() once. Offsets and sizes are checked
// without overflow. The block must outlive the reader and every span or slice taken from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class CByteReader {
public:
    CByteReader() = default;
    // A null data pointer reads as an empty block.
    CByteReader(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data)), m_size(data ? size : 0)
    {
    }

    size_t Size() const { return m_size; }
    size_t Offset() const { return m_at; }
    size_t Remaining() const { return m_size - m_at; }
    bool AtEnd() const { return m_at == m_size; }
    // Whether any read, skip, seek or slice so far asked for bytes that are not there.
    bool Failed() const { return m_failed; }
    // The start of the block (null for an empty reader).
    const uint8_t* Data() const { return m_data; }

    uint8_t U8()
    {
        const uint8_t* at = Take(1);
        return at ? at[0] : 0;
    }
    uint16_t U16LE()
    {
        const uint8_t* at = Take(2);
        return at ? static_cast<uint16_t>(at[0] | at[1] << 8) : 0;
    }
    uint32_t U32LE()
    {
        const uint8_t* at = Take(4);
        return at ? LE32(at) : 0;
    }
    uint16_t U16BE()
    {
        const uint8_t* at = Take(2);
        return at ? static_cast<uint16_t>(at[0] << 8 | at[1]) : 0;
    }
    uint32_t U32BE()
    {
        const uint8_t* at = Take(4);
        return at ? static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
                        static_cast<uint32_t>(at[2]) << 8 | at[3]
                  : 0;
    }
    int16_t S16LE() { return static_cast<int16_t>(U16LE()); }
    int32_t S32LE() { return static_cast<int32_t>(U32LE()); }
    // An IEEE single from its little-endian bits, as stored (it may be infinite or NaN).
    float F32LE()
    {
        const uint32_t bits = U32LE();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // The next count bytes, or null when fewer remain. A span of 0 bytes is never null
    // unless the reader has no block at all.
    const uint8_t* Take(size_t count)
    {
        if (count > m_size - m_at) {
            Fail();
            return nullptr;
        }
        const uint8_t* at = m_data + m_at;
        m_at += count;
        return at;
    }
    // Copies the next count bytes into out; when fewer remain, out is zero-filled instead.
    bool Copy(void* out, size_t count)
    {
        if (count > m_size - m_at) {
            Fail();
            if (count)
                std::memset(out, 0, count);
            return false;
        }
        if (count)
            std::memcpy(out, m_data + m_at, count);
        m_at += count;
        return true;
    }
    bool Skip(size_t count)
    {
        if (count > m_size - m_at) {
            Fail();
            return false;
        }
        m_at += count;
        return true;
    }
    // Moves to an offset from the start; the end itself is a valid offset.
    bool Seek(size_t offset)
    {
        if (offset > m_size) {
            Fail();
            return false;
        }
        m_at = offset;
        return true;
    }

    // A reader over the next count bytes, which this reader then passes over. When fewer
    // remain, both this reader and the (empty) result are failed.
    CByteReader Sub(size_t count)
    {
        if (count > m_size - m_at) {
            Fail();
            return Failure();
        }
        CByteReader sub(m_data + m_at, count);
        m_at += count;
        return sub;
    }
    // A reader over [offset, offset + count) of the block, leaving this reader where it is;
    // an empty failed reader when that range is not wholly inside the block.
    CByteReader Slice(size_t offset, size_t count) const
    {
        if (offset > m_size || count > m_size - offset)
            return Failure();
        return CByteReader(m_data + offset, count);
    }

private:
    static uint32_t LE32(const uint8_t* at)
    {
        return at[0] | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
               static_cast<uint32_t>(at[3]) << 24;
    }
    static CByteReader Failure()
    {
        CByteReader failed;
        failed.m_failed = true;
        return failed;
    }
    void Fail()
    {
        m_failed = true;
        m_at = m_size;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_at = 0;
    bool m_failed = false;
};
