#include "util/String.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string Std(const String& s) { return std::string(s.CStr(), static_cast<size_t>(s.Length())); }

TEST(String, EmptyStringsHoldNoBlock)
{
    String fromNull(nullptr);
    String fromEmpty("");
    String none;
    for (const String* s : {&fromNull, &fromEmpty, &none}) {
        EXPECT_EQ(s->Data(), nullptr);
        EXPECT_EQ(s->Length(), 0);
        EXPECT_STREQ(s->CStr(), "");
    }
    EXPECT_EQ(fromNull, fromEmpty);
    EXPECT_TRUE(none == nullptr);
}

TEST(String, CopiesAreDeepAndIndependent)
{
    String a("voice");
    String b(a);
    EXPECT_NE(a.Data(), b.Data());
    b += "s";
    EXPECT_EQ(Std(a), "voice");
    EXPECT_EQ(Std(b), "voices");
    a = b;
    EXPECT_EQ(a, b);
    EXPECT_NE(a.Data(), b.Data());
    a = a; // self-assignment keeps the text
    EXPECT_EQ(Std(a), "voices");
    a = a.Data() + 1; // assignment from its own bytes
    EXPECT_EQ(Std(a), "oices");
}

TEST(String, KeepsEmbeddedZerosAndTerminates)
{
    String s("a\0b", 3);
    EXPECT_EQ(s.Length(), 3);
    EXPECT_EQ(s[1], '\0');
    EXPECT_EQ(s.Data()[3], '\0');
    EXPECT_EQ(s[3], 0); // outside the string
    EXPECT_EQ(s[-1], 0);
}

TEST(String, ComparesBytewiseThenByLength)
{
    EXPECT_LT(String("abc").Compare("abd"), 0);
    EXPECT_GT(String("b").Compare("abc"), 0);
    EXPECT_LT(String("ab").Compare("abc"), 0); // the shorter prefix first
    EXPECT_EQ(String("abc").Compare("abc"), 0);
    EXPECT_GT(String("\xe9").Compare("z"), 0); // bytes compare unsigned
    EXPECT_LT(String().Compare("a"), 0);
    EXPECT_TRUE(String("abc") < String("abd"));
    EXPECT_NE(String("abc"), String("ab"));
}

TEST(String, EndsWithAndStartsWith)
{
    String path("projects/song.xml");
    EXPECT_TRUE(path.EndsWith(".xml"));
    EXPECT_FALSE(path.EndsWith(".XML")); // case-sensitive
    EXPECT_TRUE(path.EndsWith(""));
    EXPECT_FALSE(String("ml").EndsWith(".xml"));
    EXPECT_TRUE(path.StartsWith("projects/"));
    EXPECT_FALSE(String().StartsWith("a"));
}

TEST(String, FindsWithinARange)
{
    String s("abcabcabc");
    EXPECT_EQ(s.Find("bc"), 1);
    EXPECT_EQ(s.Find("bc", 2), 4);
    EXPECT_EQ(s.Find("bc", 2, 5), -1); // the match at 4 would end at 6, past the range
    EXPECT_EQ(s.Find("bc", 2, 6), 4);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.Find("abcabcabcd"), -1);
    EXPECT_EQ(s.Find("c", -5), 2);
    EXPECT_EQ(s.Find("c", 100), -1);
    EXPECT_EQ(s.Find("", 3), 3);
    EXPECT_EQ(String().Find("a"), -1);
}

TEST(String, InsertsAppendsAndConcatenates)
{
    String s("wave");
    s.Insert(0, "sine ");
    EXPECT_EQ(Std(s), "sine wave");
    s.Insert(4, "-");
    EXPECT_EQ(Std(s), "sine- wave");
    s.Insert(1000, "!"); // past the end appends
    EXPECT_EQ(Std(s), "sine- wave!");
    s.Insert(-3, ">");
    EXPECT_EQ(Std(s), ">sine- wave!");
    String empty;
    empty.Insert(5, "x");
    EXPECT_EQ(Std(empty), "x");
    EXPECT_EQ(Std(String("a") + String("b") + String()), "ab");
    String c;
    c += 'q';
    EXPECT_EQ(Std(c), "q");
}

TEST(String, ErasesClampedToTheEnd)
{
    String s("oscillator");
    s.Erase(3, 4);
    EXPECT_EQ(Std(s), "osctor");
    s.Erase(4, 100);
    EXPECT_EQ(Std(s), "osct");
    s.Erase(10, 1); // outside: nothing
    s.Erase(-1, 1);
    EXPECT_EQ(Std(s), "osct");
    s.Erase(0, 4);
    EXPECT_EQ(s.Data(), nullptr);
}

TEST(String, ReplacesEveryOccurrence)
{
    String s("a&b&&c");
    EXPECT_EQ(s.ReplaceAll("&", "&amp;"), 3);
    EXPECT_EQ(Std(s), "a&amp;b&amp;&amp;c"); // replacements are not rescanned
    EXPECT_EQ(s.ReplaceAll("&amp;", ""), 3);
    EXPECT_EQ(Std(s), "abc");
    EXPECT_EQ(s.ReplaceAll("", "x"), 0);
    String all("xx");
    all.ReplaceAll("x", "");
    EXPECT_TRUE(all.IsEmpty());
    String overlap("aaa");
    overlap.ReplaceAll("aa", "b");
    EXPECT_EQ(Std(overlap), "ba");
}

TEST(String, SubstringsAreClamped)
{
    String s("frequency");
    EXPECT_EQ(Std(s.Substring(4)), "uency");
    EXPECT_EQ(Std(s.Substring(0, 4)), "freq");
    EXPECT_EQ(Std(s.Substring(7, 10)), "cy");
    EXPECT_TRUE(s.Substring(9).IsEmpty());
    EXPECT_EQ(Std(s.Substring(-2, 2)), "fr");
}

TEST(String, FormatsToExactSize)
{
    String s = String::Format("%s=%.2f (%d)", "amplitude", 1.5, 42);
    EXPECT_EQ(Std(s), "amplitude=1.50 (42)");
    EXPECT_EQ(s.Length(), 19);
    EXPECT_TRUE(String::Format("%s", "").IsEmpty());
    std::string big(5000, 'z');
    EXPECT_EQ(String::Format("<%s>", big.c_str()).Length(), 5002);
}

// Every character's (start, code point), walking forward with Utf8Decode.
std::vector<std::pair<int32_t, uint32_t>> Characters(const String& s)
{
    std::vector<std::pair<int32_t, uint32_t>> out;
    for (int32_t at = 0; at < s.Length();) {
        uint32_t code = 0;
        const int32_t size = Utf8Decode(s.CStr(), s.Length(), at, &code);
        EXPECT_GE(size, 1);
        out.emplace_back(at, code);
        at += size;
    }
    return out;
}

using Chars = std::vector<std::pair<int32_t, uint32_t>>;

TEST(Utf8, DecodesWellFormedTextAndEveryMalformedByteAsOneReplacement)
{
    EXPECT_EQ(Characters("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"),
              (Chars{{0, 'a'}, {1, 0xE9}, {3, 0x20AC}, {6, 0x1F3B5}}));
    // A stray continuation, a cut sequence, an overlong '/', a surrogate, past U+10FFFF.
    EXPECT_EQ(Characters("\x80" "\xC3" "A" "\xC0\xAF" "\xED\xA0\x80" "\xF4\x90\x80\x80"),
              (Chars{{0, 0xFFFD}, {1, 0xFFFD}, {2, 'A'}, {3, 0xFFFD}, {4, 0xFFFD}, {5, 0xFFFD}, {6, 0xFFFD},
                     {7, 0xFFFD}, {8, 0xFFFD}, {9, 0xFFFD}, {10, 0xFFFD}, {11, 0xFFFD}}));
    // A sequence cut by the end of the text.
    const char cut[] = "\xE2\x82";
    EXPECT_EQ(Utf8Decode(cut, 2, 0, nullptr), 1);
    EXPECT_EQ(Utf8Decode(cut, 2, 2, nullptr), 0);
    EXPECT_EQ(Utf8Decode(nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(Utf8Count("Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF"), 8);
}

TEST(Utf8, EncodesAndAppendsEveryRange)
{
    String text;
    for (uint32_t code : {0x41u, 0xE9u, 0x7FFu, 0x800u, 0x20ACu, 0xFFFFu, 0x10000u, 0x10FFFFu})
        Utf8Append(text, code);
    const Chars decoded = Characters(text);
    ASSERT_EQ(decoded.size(), 8u);
    EXPECT_EQ(decoded[1].second, 0xE9u);
    EXPECT_EQ(decoded[7].second, 0x10FFFFu);
    EXPECT_EQ(text.Length(), 1 + 2 + 2 + 3 + 3 + 3 + 4 + 4);
    char bytes[4];
    EXPECT_EQ(Utf8Encode(0xD800, bytes), 3); // a surrogate is written as U+FFFD
    EXPECT_EQ(std::string(bytes, 3), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8Encode(0x110000, bytes), 3);
}

TEST(Utf8, StepsOverWholeCharactersFromAnyPosition)
{
    const String s("a\xC3\xA9\xE2\x82\xAC" "\x80" "b"); // a é € (stray byte) b
    EXPECT_EQ(Utf8Next(s, 0), 1);
    EXPECT_EQ(Utf8Next(s, 1), 3);
    EXPECT_EQ(Utf8Next(s, 2), 3); // from inside é: its end
    EXPECT_EQ(Utf8Next(s, 4), 6);
    EXPECT_EQ(Utf8Next(s, 6), 7); // the stray byte is one character
    EXPECT_EQ(Utf8Next(s, 8), 8);
    EXPECT_EQ(Utf8Next(s, -3), 0);
    EXPECT_EQ(Utf8Previous(s, 8), 7);
    EXPECT_EQ(Utf8Previous(s, 7), 6);
    EXPECT_EQ(Utf8Previous(s, 6), 3);
    EXPECT_EQ(Utf8Previous(s, 5), 3); // from inside €: its start
    EXPECT_EQ(Utf8Previous(s, 3), 1);
    EXPECT_EQ(Utf8Previous(s, 1), 0);
    EXPECT_EQ(Utf8Previous(s, 0), 0);
    EXPECT_EQ(Utf8Previous(s, 99), 7);
    // Walking back from the end visits what walking forward does.
    std::vector<int32_t> back;
    for (int32_t at = s.Length(); at > 0;)
        back.insert(back.begin(), at = Utf8Previous(s, at));
    std::vector<int32_t> forward;
    for (const auto& c : Characters(s))
        forward.push_back(c.first);
    EXPECT_EQ(back, forward);
}

TEST(Utf8, SanitizingKeepsGoodTextAndReplacesBadBytes)
{
    EXPECT_EQ(Std(Utf8Sanitize("Caf\xC3\xA9")), "Caf\xC3\xA9");
    EXPECT_EQ(Std(Utf8Sanitize("a\xFF" "b\xC3")), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_TRUE(Utf8Sanitize(String()).IsEmpty());
}

} // namespace
