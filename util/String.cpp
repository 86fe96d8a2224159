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
