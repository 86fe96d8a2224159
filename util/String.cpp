#include "util/String.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Allocates length + 1 bytes; a zero length gives null. Text longer than the 32-bit length
// cannot be formed by the operations below, which all check their sums first.
char* AllocateText(int32_t length)
{
    if (length <= 0)
        return nullptr;
    char* block = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!block)
        throw std::bad_alloc();
    block[length] = 0;
    return block;
}

int32_t ClampLength(size_t length)
{
    return length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
}

int32_t SumLength(int32_t a, int32_t b)
{
    int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > INT32_MAX)
        throw std::bad_alloc();
    return static_cast<int32_t>(sum);
}

} // namespace

String::String(const char* text)
{
    if (text)
        Assign(text, ClampLength(std::strlen(text)));
}

String::String(const char* bytes, int32_t length)
{
    if (bytes && length > 0)
        Assign(bytes, length);
}

String::String(const String& other) { Assign(other.m_data, other.m_length); }

String::String(String&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_length(std::exchange(other.m_length, 0))
{
}

String::~String() { std::free(m_data); }

String& String::operator=(const String& other)
{
    if (this != &other)
        Assign(other.m_data, other.m_length);
    return *this;
}

String& String::operator=(String&& other) noexcept
{
    if (this != &other) {
        std::free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

String& String::operator=(const char* text)
{
    if (!text) {
        Clear();
        return *this;
    }
    // text may point into this string's own block: copy before freeing.
    String copy(text);
    return *this = std::move(copy);
}

void String::Assign(const char* bytes, int32_t length)
{
    char* block = AllocateText(bytes ? length : 0);
    if (block)
        std::memcpy(block, bytes, static_cast<size_t>(length));
    std::free(m_data);
    m_data = block;
    m_length = block ? length : 0;
}

void String::Clear()
{
    std::free(m_data);
    m_data = nullptr;
    m_length = 0;
}

char String::operator[](int32_t index) const
{
    return index >= 0 && index < m_length ? m_data[index] : 0;
}

int String::Compare(const String& other) const
{
    int32_t shorter = m_length < other.m_length ? m_length : other.m_length;
    if (shorter > 0) {
        int order = std::memcmp(m_data, other.m_data, static_cast<size_t>(shorter));
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    if (m_length == other.m_length)
        return 0;
    return m_length < other.m_length ? -1 : 1;
}

bool String::operator==(const String& other) const
{
    return m_length == other.m_length &&
           (m_length == 0 || std::memcmp(m_data, other.m_data, static_cast<size_t>(m_length)) == 0);
}

bool String::operator==(const char* text) const
{
    if (!text)
        return m_length == 0;
    size_t length = std::strlen(text);
    return length == static_cast<size_t>(m_length) &&
           (m_length == 0 || std::memcmp(m_data, text, length) == 0);
}

bool String::EndsWith(const String& suffix) const
{
    if (suffix.m_length > m_length)
        return false;
    return suffix.m_length == 0 ||
           std::memcmp(m_data + (m_length - suffix.m_length), suffix.m_data,
                       static_cast<size_t>(suffix.m_length)) == 0;
}

bool String::StartsWith(const String& prefix) const
{
    if (prefix.m_length > m_length)
        return false;
    return prefix.m_length == 0 ||
           std::memcmp(m_data, prefix.m_data, static_cast<size_t>(prefix.m_length)) == 0;
}

int32_t String::Find(const String& what, int32_t from, int32_t to) const
{
    if (from < 0)
        from = 0;
    if (to < 0 || to > m_length)
        to = m_length;
    if (from > to)
        return -1;
    if (what.m_length == 0)
        return from;
    for (int32_t i = from; i + what.m_length <= to; ++i) {
        if (m_data[i] == what.m_data[0] &&
            std::memcmp(m_data + i, what.m_data, static_cast<size_t>(what.m_length)) == 0)
            return i;
    }
    return -1;
}

void String::Insert(int32_t position, const String& text)
{
    if (text.m_length == 0)
        return;
    if (position < 0)
        position = 0;
    if (position > m_length)
        position = m_length;
    int32_t length = SumLength(m_length, text.m_length);
    char* block = AllocateText(length);
    if (position > 0)
        std::memcpy(block, m_data, static_cast<size_t>(position));
    std::memcpy(block + position, text.m_data, static_cast<size_t>(text.m_length));
    if (m_length > position)
        std::memcpy(block + position + text.m_length, m_data + position,
                    static_cast<size_t>(m_length - position));
    std::free(m_data);
    m_data = block;
    m_length = length;
}

String& String::operator+=(const String& text)
{
    Insert(m_length, text);
    return *this;
}

String& String::operator+=(char c)
{
    Insert(m_length, String(&c, 1));
    return *this;
}

String operator+(const String& a, const String& b)
{
    String sum(a);
    sum += b;
    return sum;
}

void String::Erase(int32_t position, int32_t count)
{
    if (position < 0 || position >= m_length || count <= 0)
        return;
    if (count > m_length - position)
        count = m_length - position;
    int32_t length = m_length - count;
    char* block = AllocateText(length);
    if (block) {
        std::memcpy(block, m_data, static_cast<size_t>(position));
        std::memcpy(block + position, m_data + position + count,
                    static_cast<size_t>(m_length - position - count));
    }
    std::free(m_data);
    m_data = block;
    m_length = length;
}

int32_t String::ReplaceAll(const String& from, const String& to)
{
    if (from.m_length == 0 || m_length == 0)
        return 0;
    int32_t replaced = 0;
    int64_t length = m_length;
    for (int32_t at = Find(from); at >= 0; at = Find(from, at + from.m_length)) {
        ++replaced;
        length += to.m_length - from.m_length;
    }
    if (replaced == 0)
        return 0;
    if (length > INT32_MAX)
        throw std::bad_alloc();
    char* block = AllocateText(static_cast<int32_t>(length));
    int32_t read = 0, written = 0;
    for (int32_t at = Find(from); at >= 0; at = Find(from, at + from.m_length)) {
        if (at > read)
            std::memcpy(block + written, m_data + read, static_cast<size_t>(at - read));
        written += at - read;
        if (to.m_length > 0)
            std::memcpy(block + written, to.m_data, static_cast<size_t>(to.m_length));
        written += to.m_length;
        read = at + from.m_length;
    }
    if (m_length > read)
        std::memcpy(block + written, m_data + read, static_cast<size_t>(m_length - read));
    std::free(m_data);
    m_data = block;
    m_length = static_cast<int32_t>(length);
    return replaced;
}

String String::Substring(int32_t position, int32_t count) const
{
    if (position < 0)
        position = 0;
    if (position >= m_length)
        return String();
    if (count < 0 || count > m_length - position)
        count = m_length - position;
    return String(m_data + position, count);
}

String String::Format(const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    String result = FormatV(pattern, args);
    va_end(args);
    return result;
}

String String::FormatV(const char* pattern, va_list args)
{
    if (!pattern)
        return String();
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, pattern, measure);
    va_end(measure);
    String result;
    if (length <= 0)
        return result;
    result.m_data = AllocateText(length);
    std::vsnprintf(result.m_data, static_cast<size_t>(length) + 1, pattern, args);
    result.m_length = length;
    return result;
}

// [SECTION] UTF-8

int32_t Utf8Decode(const char* bytes, int32_t length, int32_t at, uint32_t* codePoint)
{
    if (!bytes || at < 0 || at >= length)
        return 0;
    const auto byte = [&](int32_t i) { return static_cast<uint8_t>(bytes[i]); };
    const uint8_t lead = byte(at);
    uint32_t value = kReplacementCharacter;
    int32_t size = 1;
    if (lead < 0x80) {
        value = lead;
    } else {
        int32_t extra = 0;
        uint32_t lowest = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            value = lead & 0x1Fu;
            lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            value = lead & 0x0Fu;
            lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            value = lead & 0x07u;
            lowest = 0x10000;
        }
        bool good = extra > 0;
        for (int32_t i = 1; good && i <= extra; ++i) {
            if (at + i >= length || (byte(at + i) & 0xC0) != 0x80)
                good = false;
            else
                value = (value << 6) | (byte(at + i) & 0x3Fu);
        }
        if (good && value >= lowest && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF)) {
            size = extra + 1;
        } else {
            value = kReplacementCharacter;
        }
    }
    if (codePoint)
        *codePoint = value;
    return size;
}

int32_t Utf8Encode(uint32_t codePoint, char out[4])
{
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        codePoint = kReplacementCharacter;
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

void Utf8Append(String& text, uint32_t codePoint)
{
    char bytes[4];
    const int32_t size = Utf8Encode(codePoint, bytes);
    text += String(bytes, size);
}

int32_t Utf8Next(const String& text, int32_t at)
{
    const int32_t length = text.Length();
    if (at >= length)
        return length;
    if (at < 0)
        return 0;
    // From inside a sequence: the start of the sequence it belongs to, then past it.
    const int32_t start = Utf8Previous(text, at + 1);
    const int32_t size = Utf8Decode(text.CStr(), length, start, nullptr);
    return start + size > at ? start + size : at + 1;
}

int32_t Utf8Previous(const String& text, int32_t at)
{
    const int32_t length = text.Length();
    if (at > length)
        at = length;
    if (at <= 0)
        return 0;
    // The lead byte of the sequence that ends at, or holds, position at: at most 3
    // continuation bytes back.
    int32_t start = at - 1;
    while (start > 0 && start > at - 4 && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80)
        --start;
    const int32_t size = Utf8Decode(text.CStr(), length, start, nullptr);
    return size > 1 && start + size >= at ? start : at - 1;
}

int32_t Utf8Count(const String& text)
{
    int32_t count = 0;
    for (int32_t at = 0; at < text.Length(); ++count)
        at += Utf8Decode(text.CStr(), text.Length(), at, nullptr);
    return count;
}

String Utf8Sanitize(const String& text)
{
    String clean;
    const int32_t length = text.Length();
    for (int32_t at = 0; at < length;) {
        uint32_t codePoint = 0;
        const int32_t size = Utf8Decode(text.CStr(), length, at, &codePoint);
        if (codePoint == kReplacementCharacter && size == 1)
            Utf8Append(clean, codePoint);
        else
            clean += String(text.CStr() + at, size);
        at += size;
    }
    return clean;
}
