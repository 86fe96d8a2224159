// The number reader: the same results as the C library's readers in the C locale, for every
// text they accept, and the same results again under a locale with a decimal comma.
#include "util/Number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Texts at the edges: blanks, signs, points, exponents with and without digits, hex forms,
// the ends of both types' ranges, halfway cases and long mantissas.
std::vector<std::string> EdgeTexts()
{
    std::vector<std::string> texts = {
        "0", "-0", "+0", "0.5", " \t\n\v\f\r0.25", ".5", "5.", "-.5", "+.5e1", ".", "-", "+",
        "", "e5", ".e5", "1e", "1e+", "1e-", "1e5", "1E-5", "1.e5", "1.5x", "12abc", "--5",
        "+-5", "1,5", "0x10", "0X1p3", "0x1.8p1", "0x.8", "0x", "0xg", "0x1p", "-0x1P-2",
        "0x1.fffffep127", "0x1.ffffffp127", "0x1p-149", "0x1p-150", "0x1.8p-150", "0x1p-1075",
        "3.4028234e38", "3.4028235e38", "3.40282356e38", "3.4028236e38", "1e39", "-1e39",
        "1.17549435e-38", "1.4e-45", "7e-46", "7.1e-46", "1e-46", "1e-400", "-1e-400", "1e400",
        "1.7976931348623157e308", "1.7976931348623159e308", "2.4e-324", "2.5e-324",
        "4.9e-324", "1e-310", "9007199254740993", "0.1", "0.2", "0.3", "123456789012345678901234567890",
        "1e99999999999999999999", "1e-99999999999999999999", "0e99999", "0.000e-99999",
        "00000000000000000000000000000000000001.5", "16777217", "16777219", "0.1f", "inf",
        "nan", "infinity", "-inf",
        "2.00000000000000011102230246251565404236316680908203125",       // halfway, even
        "2.000000000000000111022302462515654042363166809082031250000001", // just above
        "1.00000005960464477539062500",                                  // float halfway
        "1.000000059604644775390625000000000000000000000000001",
        std::string(400, '9'), "0." + std::string(400, '0') + "1", std::string(320, '1') + "e-20",
    };
    return texts;
}

// Random short decimal and hex texts, many of them near the ends of the ranges.
std::vector<std::string> RandomTexts(size_t count)
{
    std::mt19937 random(12345);
    const char digits[] = "0123456789";
    const char hexDigits[] = "0123456789abcdefABCDEF";
    std::vector<std::string> texts;
    for (size_t i = 0; i < count; ++i) {
        std::string text;
        if (random() % 4 == 0)
            text += random() % 2 ? "-" : "+";
        const bool hex = random() % 8 == 0;
        if (hex)
            text += "0x";
        const size_t length = random() % 25;
        const size_t point = random() % (length + 2);
        for (size_t d = 0; d < length; ++d) {
            if (d == point)
                text += '.';
            text += hex ? hexDigits[random() % 22] : digits[random() % 10];
        }
        if (random() % 2) {
            text += hex ? 'p' : (random() % 2 ? 'e' : 'E');
            if (random() % 2)
                text += random() % 2 ? "-" : "+";
            text += std::to_string(random() % (hex ? 1100 : 330));
        }
        texts.push_back(text);
    }
    return texts;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Compares with the C library for every text; decimal-only reading must agree wherever the
// C library did not read a hex number.
void ExpectSameAsTheCLibrary(const std::vector<std::string>& texts)
{
    for (const std::string& text : texts) {
        const char* s = text.c_str();
        char* libraryEnd = nullptr;
        const double libraryDouble = std::strtod(s, &libraryEnd);
        const float libraryFloat = std::strtof(s, nullptr);
        const bool libraryRead = libraryEnd != s;
        const bool infOrNan = !std::isfinite(libraryDouble) && text.find_first_of("iInN") != std::string::npos;
        if (infOrNan)
            continue; // not numbers to this reader: checked separately

        double d = -1;
        float f = -1;
        const char* end = nullptr;
        EXPECT_EQ(ParseNumber(s, d, &end, NumberSyntax::DecimalOrHex), libraryRead) << text;
        EXPECT_TRUE(SameBits(d, libraryDouble)) << text << ": " << d << " vs " << libraryDouble;
        EXPECT_EQ(end, libraryEnd) << text;
        EXPECT_TRUE(ParseNumber(s, f, nullptr, NumberSyntax::DecimalOrHex) == libraryRead);
        EXPECT_TRUE(SameBits(f, libraryFloat)) << text << ": " << f << " vs " << libraryFloat;

        const char* x = std::strpbrk(s, "xX");
        const bool libraryHex = x && libraryEnd > x;
        if (!libraryHex) {
            EXPECT_EQ(ParseNumber(s, d, &end), libraryRead) << text;
            EXPECT_TRUE(SameBits(d, libraryDouble)) << text;
            EXPECT_EQ(end, libraryEnd) << text;
        }
    }
}

// Makes a locale whose decimal separator is a comma usable by setlocale: the system's
// de_DE.UTF-8 when installed, otherwise one built by localedef from the system's German
// definition into a temporary folder named by LOCPATH. Empty when neither works.
std::string CommaLocale(std::string& folder)
{
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        std::setlocale(LC_NUMERIC, "C");
        return "de_DE.UTF-8";
    }
    char pattern[] = "/tmp/qw-locale-XXXXXX";
    if (!mkdtemp(pattern))
        return "";
    folder = pattern;
    const std::string source = folder + "/numeric.src";
    if (FILE* file = std::fopen(source.c_str(), "w")) {
        std::fputs("LC_NUMERIC\ncopy \"de_DE\"\nEND LC_NUMERIC\n", file);
        std::fclose(file);
    }
    // Only LC_NUMERIC is defined: localedef warns about the others and makes it anyway.
    const std::string command = "localedef -c -i '" + source + "' -f UTF-8 '" + folder +
                                "/de_DE.UTF-8' >/dev/null 2>&1";
    (void)std::system(command.c_str());
    setenv("LOCPATH", folder.c_str(), 1);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        std::setlocale(LC_NUMERIC, "C");
        return "de_DE.UTF-8";
    }
    unsetenv("LOCPATH");
    return "";
}

} // namespace

TEST(Number, DecimalAndHexTextsReadExactlyAsTheCLibraryReadsThem)
{
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    ExpectSameAsTheCLibrary(EdgeTexts());
    ExpectSameAsTheCLibrary(RandomTexts(20000));
}

TEST(Number, DecimalSyntaxStopsBeforeAHexMark)
{
    double d = -1;
    const char* end = nullptr;
    const char* text = "0x1p3";
    EXPECT_TRUE(ParseNumber(text, d, &end));
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(end, text + 1);
}

TEST(Number, InfinityAndNanAreNoNumbers)
{
    for (const char* text : {"inf", "-infinity", "nan", "NAN(12)", " INF"}) {
        double d = -1;
        float f = -1;
        const char* end = nullptr;
        EXPECT_FALSE(ParseNumber(text, d, &end, NumberSyntax::DecimalOrHex)) << text;
        EXPECT_EQ(d, 0.0);
        EXPECT_EQ(end, text);
        EXPECT_FALSE(ParseNumber(text, f)) << text;
        EXPECT_EQ(f, 0.0f);
    }
}

TEST(Number, IntegersReadAsStrtollReadsThemAndSaturate)
{
    std::vector<std::string> texts = {"0", "-0", "+7", " \t42x", "-", "+", "", "x1", "1/2/3",
                                      "9223372036854775807", "9223372036854775808",
                                      "-9223372036854775808", "-9223372036854775809",
                                      "99999999999999999999999", "-99999999999999999999999",
                                      "0009", "--1", "1e5", "2147483648", "-2147483649"};
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string text = random() % 2 ? "-" : "";
        for (size_t d = random() % 22; d > 0; --d)
            text += static_cast<char>('0' + random() % 10);
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        char* libraryEnd = nullptr;
        const long long library = std::strtoll(text.c_str(), &libraryEnd, 10);
        int64_t value = -1;
        const char* end = nullptr;
        EXPECT_EQ(ParseInteger(text.c_str(), value, &end), libraryEnd != text.c_str()) << text;
        EXPECT_EQ(value, library) << text;
        EXPECT_EQ(end, libraryEnd) << text;
    }
}

TEST(Number, ACommaLocaleChangesNothing)
{
    std::string folder;
    const std::string locale = CommaLocale(folder);
    if (locale.empty())
        GTEST_SKIP() << "no locale with a decimal comma is installed and localedef could not make one";
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, locale.c_str()));
    // The C library now reads "0.5" as 0: the reader must not.
    const double libraryUnderTheLocale = std::strtod("0.5", nullptr);
    double d = -1;
    float f = -1;
    const bool readDouble = ParseNumber("0.5", d);
    const bool readFloat = ParseNumber("-1.5e-3", f, nullptr, NumberSyntax::DecimalOrHex);
    double hex = -1;
    ParseNumber("0x1.8p1", hex, nullptr, NumberSyntax::DecimalOrHex);
    double huge = -1;
    ParseNumber("1.5e999", huge);
    std::setlocale(LC_NUMERIC, "C");
    if (!folder.empty())
        (void)std::system(("rm -rf '" + folder + "'").c_str());

    EXPECT_EQ(libraryUnderTheLocale, 0.0) << "the locale does not use a decimal comma";
    EXPECT_TRUE(readDouble);
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(readFloat);
    EXPECT_EQ(f, -1.5e-3f);
    EXPECT_EQ(hex, 3.0);
    EXPECT_EQ(huge, HUGE_VAL);
}
