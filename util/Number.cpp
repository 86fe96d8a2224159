#include "util/Number.h"

#include <charconv>
#include <limits>
#include <system_error>

// std::from_chars does the conversion: it ignores the locale and rounds correctly. This file
// only finds where a number ends (from_chars knows no blanks, '+' or "0x") and decides what an
// out-of-range text gives, which from_chars leaves to the caller.

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }

// Moves s past an optional sign; true when it was a minus.
bool ReadSign(const char*& s)
{
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    return negative;
}

// Where one number's parts lie: mantissa..exponentMark holds digits and at most one point,
// exponentMark..end the exponent (empty when there is none).
struct Extent {
    const char* mantissa = nullptr;
    const char* exponentMark = nullptr;
    const char* end = nullptr;
    bool found = false; // at least one mantissa digit
};

Extent Scan(const char* s, bool hex)
{
    auto isDigit = hex ? IsHexDigit : IsDigit;
    Extent extent;
    extent.mantissa = s;
    const char* p = s;
    bool digits = false;
    for (; isDigit(*p); ++p)
        digits = true;
    if (*p == '.')
        for (++p; isDigit(*p); ++p)
            digits = true;
    if (!digits)
        return extent;
    extent.found = true;
    extent.exponentMark = p;
    if ((*p | 0x20) == (hex ? 'p' : 'e')) {
        const char* e = p + 1;
        ReadSign(e);
        if (IsDigit(*e)) {
            while (IsDigit(*e))
                ++e;
            p = e;
        }
    }
    extent.end = p;
    return extent;
}

// For a number the converter could not represent: whether its magnitude is above 1
// (overflow) rather than below (underflow). The mantissa is not all zeros (zero always fits).
bool IsHuge(const Extent& extent, bool hex)
{
    auto isDigit = hex ? IsHexDigit : IsDigit;
    long position = 0; // in digits, of the first non-zero digit; 0 = units
    long integerDigits = 0;
    const char* s = extent.mantissa;
    while (s < extent.exponentMark && *s == '0')
        ++s;
    for (; s < extent.exponentMark && isDigit(*s); ++s)
        ++integerDigits;
    if (integerDigits > 0) {
        position = integerDigits - 1;
    } else if (s < extent.exponentMark && *s == '.') {
        ++s;
        long zeros = 0;
        for (; s < extent.exponentMark && *s == '0'; ++s)
            ++zeros;
        position = -(zeros + 1);
    }
    long exponent = 0;
    if (extent.exponentMark < extent.end) {
        const char* e = extent.exponentMark + 1;
        const bool negative = ReadSign(e);
        // Saturated far beyond any exponent a double can hold.
        for (; e < extent.end; ++e)
            exponent = exponent < 100000 ? exponent * 10 + (*e - '0') : exponent;
        if (negative)
            exponent = -exponent;
    }
    // A hex digit is four binary places and a hex exponent counts binary places.
    return (hex ? position * 4 : position) + exponent > 0;
}

template <class T>
bool Parse(const char* text, T& out, const char** end, NumberSyntax syntax)
{
    const char* s = text;
    while (IsBlank(*s))
        ++s;
    const bool negative = ReadSign(s);
    Extent extent;
    bool hex = false;
    if (syntax == NumberSyntax::DecimalOrHex && s[0] == '0' && (s[1] | 0x20) == 'x') {
        extent = Scan(s + 2, true);
        hex = extent.found; // "0x" without hex digits is the number 0 followed by an x
    }
    if (!hex)
        extent = Scan(s, false);
    if (!extent.found) {
        out = 0;
        if (end)
            *end = text;
        return false;
    }
    T value = 0;
    const std::from_chars_result result =
        std::from_chars(extent.mantissa, extent.end, value,
                        hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        value = IsHuge(extent, hex) ? std::numeric_limits<T>::infinity() : T(0);
    out = negative ? -value : value;
    if (end)
        *end = extent.end;
    return true;
}

} // namespace

bool ParseNumber(const char* text, double& out, const char** end, NumberSyntax syntax)
{
    return Parse(text, out, end, syntax);
}

bool ParseNumber(const char* text, float& out, const char** end, NumberSyntax syntax)
{
    return Parse(text, out, end, syntax);
}

bool ParseInteger(const char* text, int64_t& out, const char** end)
{
    const char* s = text;
    while (IsBlank(*s))
        ++s;
    const bool negative = ReadSign(s);
    if (!IsDigit(*s)) {
        out = 0;
        if (end)
            *end = text;
        return false;
    }
    // The magnitude saturates at 2^63, the most a negative number can hold.
    constexpr uint64_t kLimit = uint64_t(1) << 63;
    uint64_t magnitude = 0;
    for (; IsDigit(*s); ++s) {
        const uint64_t digit = static_cast<uint64_t>(*s - '0');
        magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
    }
    if (negative)
        out = magnitude == kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
    else
        out = magnitude >= kLimit ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(magnitude);
    if (end)
        *end = s;
    return true;
}
