// Reading numbers from text the same way whatever the C locale says: the point is always
// the decimal separator, so a program run under a locale with a decimal comma still reads
// "0.5" as a half. Every reader of numbers in files or typed by the user goes through here.
// Conversions are correctly rounded (to nearest, ties to even), as strtod's and strtof's are
// in the C locale, so results equal theirs for every text they accept.
#pragma once

#include <cstdint>

// Which of strtod's forms besides plain decimals a reader accepts (never "inf" or "nan").
enum class NumberSyntax {
    Decimal,      // [blanks][sign]digits[.digits][e[sign]digits], or .digits for the mantissa
    DecimalOrHex, // also [blanks][sign]0x hex digits[.hex digits][p[sign]digits]
};

// Reads a number at text as strtod (strtof for float) does in the C locale: blanks are space
// and \t..\r; an exponent mark without digits is not part of the number. Out of range gives
// +-infinity above the type's range and the nearest subnormal or +-0 below it. True when a
// number was read; false when none starts at text, with out = 0 and *end = text. end may be
// null.
bool ParseNumber(const char* text, double& out, const char** end = nullptr,
                 NumberSyntax syntax = NumberSyntax::Decimal);
bool ParseNumber(const char* text, float& out, const char** end = nullptr,
                 NumberSyntax syntax = NumberSyntax::Decimal);

// Reads [blanks][sign]decimal digits as strtoll(text, end, 10) does, saturating at the ends of
// the 64-bit range. False when no digit follows the sign, with out = 0 and *end = text.
bool ParseInteger(const char* text, int64_t& out, const char** end = nullptr);
