#include "util/String.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
