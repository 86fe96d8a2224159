#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Str(const String& s) { return std::string(s.CStr(), static_cast<size_t>(s.Length())); }

String Bytes(const std::string& s) { return String(s.data(), static_cast<int32_t>(s.size())); }

// A file path unique to this test and process, removed when the holder dies.
class TempPath {
public:
    explicit TempPath(const char* suffix)
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() /
               (std::string("qw_") + info->name() + "_" + std::to_string(getpid()) + suffix);
    }
    ~TempPath()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    String Get() const { return String(path.c_str()); }
    fs::path path;
};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Every child names its holder as parent, all the way down.
void ExpectConsistent(const CXMLNode& node)
{
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const CXMLNode* child = node.GetChild(i);
        ASSERT_EQ(child->GetParent(), &node) << "child " << i << " of " << node.name.CStr();
        ExpectConsistent(*child);
    }
}

// The documented example: a root a with b (text Demo) and c (attribute d = 1).
CXMLDocument ExampleDocument()
{
    CXMLDocument doc;
    doc.name = "a";
    CXMLNode b("b");
    b.SetText("Demo");
    doc.AddChild(b);
    CXMLNode c("c");
    c.AddAttribute(CXMLAttribute("d", "1"));
    doc.AddChild(c);
    return doc;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

TEST(XMLWriter, SavedFileHasDeclarationTabsSelfClosingFormAndNoFinalLineFeed)
{
    TempPath file(".xml");
    ASSERT_TRUE(ExampleDocument().Save(file.Get()));
    EXPECT_EQ(ReadAll(file.path), "<?xml version=\"1.0\"?>\n\n"
                                  "<a>\n"
                                  "\t<b>Demo</b>\n"
                                  "\t<c d=\"1\" />\n"
                                  "</a>");
}

TEST(XMLWriter, RootWithoutChildrenEndsWithItsLineFeed)
{
    CXMLNode empty("a");
    EXPECT_EQ(Str(empty.Serialize(0)), "<a />\n");
    CXMLNode withText("a");
    withText.SetText("x");
    withText.AddAttribute(CXMLAttribute("k", "v"));
    EXPECT_EQ(Str(withText.Serialize(0)), "<a k=\"v\">x</a>\n");
}

TEST(XMLWriter, DeeperLevelsIndentOneTabPerDepthAndDropTextOfElementsWithChildren)
{
    CXMLNode root("r");
    CXMLNode* mid = root.AddChild(CXMLNode("m"));
    mid->SetText("lost, because m has children");
    mid->AddChild(CXMLNode("leaf"));
    EXPECT_EQ(Str(root.Serialize(0)), "<r>\n\t<m>\n\t\t<leaf />\n\t</m>\n</r>");
    EXPECT_EQ(Str(mid->Serialize(1)), "\t<m>\n\t\t<leaf />\n\t</m>\n");
}

TEST(XMLWriter, EscapesEachSpecialByteWithOneDecimalReference)
{
    CXMLNode node("n");
    node.AddAttribute(CXMLAttribute("v", Bytes("\"&<>\n\r\t'")));
    EXPECT_EQ(Str(node.Serialize(0)), "<n v=\"&#34;&#38;&#60;&#62;&#10;&#13;&#9;'\" />\n");

    node.SetText(Bytes("a&b\nc \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"));
    EXPECT_EQ(Str(node.Serialize(0)),
              "<n v=\"&#34;&#38;&#60;&#62;&#10;&#13;&#9;'\">a&#38;b&#10;c \xC3\xA9 \xE2\x82\xAC "
              "\xF0\x9F\x8E\xB5</n>\n");
}

TEST(XMLWriter, BytesXmlCannotCarryAreDroppedOrReplacedSoTheFileStillReads)
{
    CXMLDocument doc;
    doc.name = "p";
    // A control byte, a lone continuation byte, a truncated sequence and an encoded surrogate.
    doc.AddChild(CXMLNode("t"))->SetText(Bytes(std::string("a\x01" "b\x80" "c\xE2\x82" "d\xED\xA0\x80", 11)));
    EXPECT_EQ(Str(doc.GetChild(0)->Serialize(0)),
              "<t>ab\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD" "d\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD</t>\n");
    CXMLDocument back;
    EXPECT_TRUE(back.Parse(doc.Serialize(0).CStr()));

    CXMLNode onlyControl("c");
    onlyControl.SetText(Bytes("\x01\x02"));
    EXPECT_EQ(Str(onlyControl.Serialize(0)), "<c />\n") << "nothing left to write as text";
}

// ---------------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------------

TEST(XMLReader, TextIsAllCharacterDataOfTheElementReferencesIncluded)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<project>\n"
                          "\t<name>Rock &amp; Roll</name>\n"
                          "\t<notes>one\ntwo&#10;three &#38;&lt;&#x41;&gt;</notes>\n"
                          "\t<blank>  </blank>\n"
                          "</project>"));
    EXPECT_EQ(Str(doc.GetChildText("name")), "Rock & Roll");
    EXPECT_EQ(Str(doc.GetChildText("notes")), "one\ntwo\nthree &<A>");
    EXPECT_EQ(Str(doc.GetChildText("blank")), "  ");
    EXPECT_EQ(Str(doc.text), "") << "indentation around children is not text";
    EXPECT_EQ(Str(doc.name), "project");
}

TEST(XMLReader, MixedContentKeepsTheElementsOwnTextAroundItsChildren)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<a>x<b>inner</b>y</a>"));
    EXPECT_EQ(Str(doc.text), "xy");
    EXPECT_EQ(Str(doc.GetChildText("b")), "inner");
}

TEST(XMLReader, AttributesOfEveryElementRootIncludedAreKeptInDocumentOrder)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<r version='2'><e z=\"1\" a=\"2\" m=\"&#9;x&#10;\"/></r>"));
    EXPECT_EQ(Str(doc.GetAttributeString("version")), "2");
    const CXMLNode* e = doc.GetChild(0);
    ASSERT_EQ(e->GetAttributeCount(), 3u);
    EXPECT_EQ(Str(e->GetAttribute(0)->name), "z");
    EXPECT_EQ(Str(e->GetAttribute(1)->name), "a");
    EXPECT_EQ(Str(e->GetAttribute(2)->value), "\tx\n");
    EXPECT_EQ(e->GetAttribute(3), nullptr);
}

TEST(XMLReader, EmptyOrTruncatedDocumentsFailAndKeepWhatWasRead)
{
    CXMLDocument doc;
    EXPECT_FALSE(doc.Parse(""));
    EXPECT_TRUE(doc.name.IsEmpty());
    EXPECT_EQ(doc.GetChildCount(), 0u);
    EXPECT_FALSE(doc.Parse("<?xml version=\"1.0\"?>\n\n"));
    EXPECT_FALSE(doc.Parse(nullptr));

    EXPECT_FALSE(doc.Parse("<project><name>Rock &amp; Ro"));
    EXPECT_EQ(Str(doc.name), "project");
    EXPECT_EQ(Str(doc.GetChildText("name")), "Rock & Ro");

    EXPECT_FALSE(doc.Parse("<a><b x='1'/><c>partial"));
    ASSERT_EQ(doc.GetChildCount(), 2u);
    EXPECT_EQ(doc.GetChild(0)->GetAttributeInt("x"), 1);
    EXPECT_EQ(Str(doc.GetChildText("c")), "partial");
    ExpectConsistent(doc);
}

TEST(XMLReader, SyntaxErrorsFailAndKeepTheNodesBuiltBeforeThem)
{
    CXMLDocument doc;
    EXPECT_FALSE(doc.Parse("<a><b/><c></d></a>"));
    EXPECT_NE(doc.FindChild("b"), nullptr);
    EXPECT_NE(doc.FindChild("c"), nullptr);
    EXPECT_FALSE(doc.Parse("<a/><b/>")) << "a second root";
    EXPECT_FALSE(doc.Parse("<a x='1' x='2'/>"));
    EXPECT_FALSE(doc.Parse("<a>&undefined;</a>"));
    EXPECT_FALSE(doc.Parse("<a>\x01</a>"));
    EXPECT_FALSE(doc.Parse("<a>\xFF</a>")) << "not UTF-8";
    const char withZero[] = "<a></a>\0<b/>";
    EXPECT_FALSE(doc.Parse(withZero, sizeof withZero - 1)) << "a zero byte is not text";
    EXPECT_TRUE(doc.Parse(withZero)) << "the text form stops at the zero";
}

TEST(XMLReader, RefusesAnyInternalSubsetBeforeReadingItsDeclarations)
{
    // A default attribute value is copied into every element of that name: a 1 MB file with
    // a 1 MB default and 2,000 elements would make a 2 GB tree.
    std::string defaults = "<!DOCTYPE project [<!ATTLIST a d CDATA \"" +
                           std::string(100000, 'x') + "\">]>\n<project>";
    for (int i = 0; i < 2000; ++i)
        defaults += "<a/>";
    defaults += "</project>";
    CXMLDocument doc;
    EXPECT_FALSE(doc.Parse(defaults.c_str()));
    EXPECT_TRUE(doc.name.IsEmpty()) << "refused before the root element";
    EXPECT_EQ(doc.GetChildCount(), 0u);
    EXPECT_EQ(Str(doc.GetError()),
              "line 1, column 19: a document type declaration with an internal subset is not "
              "accepted");

    const char* refused[] = {
        "<!DOCTYPE a [<!ENTITY e \"boom\">]><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY % p \"x\">]><a/>",
        "<!DOCTYPE a [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><a>&b;&b;</a>",
        "<!DOCTYPE a SYSTEM \"a.dtd\" [ ]><a/>",
        "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a/>",
    };
    for (const char* text : refused) {
        EXPECT_FALSE(doc.Parse(text)) << text;
        EXPECT_NE(Str(doc.GetError()).find("internal subset"), std::string::npos) << text;
    }

    // A declaration without an internal subset reads as before.
    EXPECT_TRUE(doc.Parse("<!DOCTYPE a><!-- note --><?pi data?><a><!-- c --><b/></a>"));
    EXPECT_EQ(doc.GetChildCount(), 1u);
    EXPECT_TRUE(doc.Parse("<!DOCTYPE a PUBLIC \"-//Q//x\" \"a.dtd\"><a><b/></a>"));
    EXPECT_EQ(doc.GetChildCount(), 1u);
    EXPECT_EQ(Str(doc.GetError()), "");
}

TEST(XMLReader, RefusesNestingBeyondTheLimit)
{
    auto nested = [](uint32_t depth) {
        std::string text;
        for (uint32_t i = 0; i < depth; ++i)
            text += "<e>";
        for (uint32_t i = 0; i < depth; ++i)
            text += "</e>";
        return text;
    };
    CXMLDocument doc;
    EXPECT_TRUE(doc.Parse(nested(CXMLDocument::kMaxDepth).c_str()));
    EXPECT_FALSE(doc.Parse(nested(CXMLDocument::kMaxDepth + 1).c_str()));
    EXPECT_NE(Str(doc.GetError()).find("nested too deeply"), std::string::npos);
    ExpectConsistent(doc);
}

TEST(XMLReader, FailuresSayWhyAndWhereUntilTheNextRead)
{
    CXMLDocument doc;
    EXPECT_EQ(Str(doc.GetError()), "");
    EXPECT_FALSE(doc.Parse("<a>\n<b></c></a>"));
    EXPECT_EQ(Str(doc.GetError()), "line 2, column 6: mismatched tag");
    EXPECT_FALSE(doc.Parse(""));
    EXPECT_EQ(Str(doc.GetError()), "line 1, column 1: no element found");
    EXPECT_TRUE(doc.Parse("<a/>"));
    EXPECT_EQ(Str(doc.GetError()), "") << "a good read clears the reason";

    EXPECT_FALSE(doc.EndParse());
    EXPECT_EQ(Str(doc.GetError()), "no parse is under way");
    doc.BeginParse();
    EXPECT_EQ(Str(doc.GetError()), "");
    EXPECT_FALSE(doc.ParseMore("<a></b>", 7));
    EXPECT_FALSE(doc.EndParse());
    EXPECT_EQ(Str(doc.GetError()), "line 1, column 6: mismatched tag")
        << "the reason of a failed parse outlives later calls";
}

TEST(XMLReader, FeedingOneByteAtATimeBuildsTheSameTree)
{
    const std::string text = "<?xml version=\"1.0\"?>\n\n<project>\n"
                             "\t<name>Rock &amp; Roll &#233;t\xC3\xA9\n2</name>\n"
                             "\t<oscilloscope type=\"1\" amplitude=\"0.50\" label=\"a&#10;&#34;b\" />\n"
                             "\t<x><![CDATA[raw <text> & more]]></x>\n"
                             "</project>";
    CXMLDocument whole;
    ASSERT_TRUE(whole.Parse(text.c_str()));
    CXMLDocument pieces;
    pieces.BeginParse();
    for (char c : text)
        ASSERT_TRUE(pieces.ParseMore(&c, 1));
    ASSERT_TRUE(pieces.EndParse());
    EXPECT_EQ(Str(pieces.Serialize(0)), Str(whole.Serialize(0)));
    EXPECT_EQ(Str(pieces.GetChildText("name")), "Rock & Roll \xC3\xA9t\xC3\xA9\n2");
    EXPECT_EQ(Str(pieces.GetChildText("x")), "raw <text> & more");

    // UTF-16 without a byte order mark is recognised from its first bytes, even one at a time.
    const char utf16[] = " \0<\0a\0 \0v\0=\0\"\0\x32\x05\"\0/\0>\0";
    ASSERT_TRUE(whole.Parse(utf16, sizeof utf16 - 1));
    pieces.BeginParse();
    for (size_t i = 0; i + 1 < sizeof utf16; ++i)
        ASSERT_TRUE(pieces.ParseMore(utf16 + i, 1)) << "byte " << i;
    ASSERT_TRUE(pieces.EndParse());
    EXPECT_EQ(Str(pieces.GetAttributeString("v")), "\xD4\xB2") << "U+0532 in UTF-8";

    CXMLDocument cut;
    cut.BeginParse();
    ASSERT_TRUE(cut.ParseMore(text.data(), 40));
    EXPECT_FALSE(cut.EndParse()) << "the end of the input comes inside the root";
    EXPECT_FALSE(cut.ParseMore("x", 1)) << "no parse under way";
}

TEST(XMLReader, EverythingTheWriterWritesReadsBackIdentical)
{
    std::string printable;
    for (int c = 0x20; c < 0x7F; ++c)
        printable += static_cast<char>(c);
    const std::string samples[] = {
        "\"&<>\n\r\t'",
        "Rock & Roll",
        "line one\nline two\r\nline three\rend",
        "  leading and trailing blanks  ",
        "\t\n \r",
        "]]> and <![CDATA[ and &amp; and &#38;",
        "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5\xEF\xBF\xBD\x7F",
        printable,
    };
    CXMLDocument doc;
    doc.name = "project";
    for (const std::string& sample : samples) {
        CXMLNode* child = doc.AddChild(CXMLNode("item"));
        child->SetText(Bytes(sample));
        child->AddAttribute(CXMLAttribute("value", Bytes(sample)));
    }
    CXMLDocument back;
    ASSERT_TRUE(back.Parse(doc.Serialize(0).CStr()));
    ASSERT_EQ(back.GetChildCount(), doc.GetChildCount());
    for (uint32_t i = 0; i < back.GetChildCount(); ++i) {
        EXPECT_EQ(Str(back.GetChild(i)->text), samples[i]) << "text " << i;
        EXPECT_EQ(Str(back.GetChild(i)->GetAttributeString("value")), samples[i]) << "value " << i;
    }
}

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

TEST(XMLFiles, SaveThenLoadGivesTheSameTree)
{
    TempPath file(".xml");
    CXMLDocument doc = ExampleDocument();
    doc.GetChild(0)->SetText("Rock & Roll\nsecond line");
    ASSERT_TRUE(doc.Save(file.Get()));
    CXMLDocument back;
    ASSERT_TRUE(back.Load(file.Get()));
    EXPECT_EQ(Str(back.Serialize(0)), Str(doc.Serialize(0)));
    EXPECT_EQ(Str(back.GetChildText("b")), "Rock & Roll\nsecond line");
}

TEST(XMLFiles, LoadReadsFilesLargerThanOneReadBlock)
{
    TempPath file(".xml");
    CXMLDocument doc;
    doc.name = "big";
    for (int i = 0; i < 5000; ++i)
        doc.AddChild(CXMLNode("voice"))->AddAttribute(CXMLAttribute("index", String::Format("%d", i)));
    doc.GetChild(4999)->SetText(Bytes(std::string(100000, 'x')));
    ASSERT_TRUE(doc.Save(file.Get()));
    ASSERT_GT(fs::file_size(file.path), size_t(3) * 64 * 1024);
    CXMLDocument back;
    ASSERT_TRUE(back.Load(file.Get()));
    ASSERT_EQ(back.GetChildCount(), 5000u);
    EXPECT_EQ(back.GetChild(4321)->GetAttributeInt("index"), 4321);
    EXPECT_EQ(back.GetChild(4999)->text.Length(), 100000);
}

TEST(XMLFiles, FilesThatCannotBeReadFailAndLeaveTheTreeAlone)
{
    TempPath folder("_dir");
    fs::create_directory(folder.path);
    CXMLDocument doc = ExampleDocument();
    const std::string before = Str(doc.Serialize(0));
    EXPECT_FALSE(doc.Load(String((folder.path / "missing.xml").c_str())));
    EXPECT_EQ(Str(doc.Serialize(0)), before);
    EXPECT_EQ(Str(doc.GetError()), "cannot open the file: No such file or directory");
    EXPECT_FALSE(doc.Load(folder.Get())) << "a folder";
    EXPECT_EQ(Str(doc.Serialize(0)), before);
    EXPECT_EQ(Str(doc.GetError()), "cannot read the file: Is a directory");
    EXPECT_FALSE(doc.Load(""));
    EXPECT_EQ(Str(doc.Serialize(0)), before);

    WriteAll(folder.path / "empty.xml", "");
    EXPECT_FALSE(doc.Load(String((folder.path / "empty.xml").c_str())));
    EXPECT_TRUE(doc.name.IsEmpty());
    EXPECT_EQ(Str(doc.GetError()), "line 1, column 1: no element found");
}

TEST(XMLFiles, FilesLargerThanTheLimitAreRefusedAndLeaveTheTreeAlone)
{
    TempPath folder("_dir");
    fs::create_directory(folder.path);
    const fs::path over = folder.path / "over.xml";
    WriteAll(over, "<a>");
    fs::resize_file(over, CXMLDocument::kMaxFileSize + 1); // sparse: costs no disk
    CXMLDocument doc = ExampleDocument();
    const std::string before = Str(doc.Serialize(0));
    EXPECT_FALSE(doc.Load(String(over.c_str())));
    EXPECT_EQ(Str(doc.Serialize(0)), before);
    EXPECT_EQ(Str(doc.GetError()), "the file is larger than 64 MB");

    // At the limit the file is read; these zero bytes are not XML.
    const fs::path limit = folder.path / "limit.xml";
    WriteAll(limit, "<a>");
    fs::resize_file(limit, CXMLDocument::kMaxFileSize);
    EXPECT_FALSE(doc.Load(String(limit.c_str())));
    EXPECT_EQ(Str(doc.name), "a");
    EXPECT_EQ(Str(doc.GetError()), "line 1, column 4: not well-formed (invalid token)");

    // A stream with no size is cut off at the limit too.
    if (fs::exists("/dev/zero")) {
        EXPECT_FALSE(doc.Load("/dev/zero"));
        EXPECT_EQ(Str(doc.GetError()), "the file is larger than 64 MB");
    }
}

TEST(XMLFiles, LoadingALongAttributeValueCostsAboutAsMuchAsParsingIt)
{
    // Read in pieces, a token that spans them is scanned again at each piece.
    TempPath file(".xml");
    const std::string text = "<a v=\"" + std::string(size_t(8) << 20, 'x') + "\"/>";
    WriteAll(file.path, text);
    auto cpuSeconds = [] { return double(std::clock()) / CLOCKS_PER_SEC; };
    CXMLDocument doc;
    double start = cpuSeconds();
    ASSERT_TRUE(doc.Parse(text.data(), text.size()));
    const double parse = cpuSeconds() - start;
    start = cpuSeconds();
    ASSERT_TRUE(doc.Load(file.Get()));
    const double load = cpuSeconds() - start;
    EXPECT_EQ(doc.GetAttributeString("v").Length(), 8 << 20);
    EXPECT_LT(load, 3 * parse + 0.1) << "parse " << parse << " s, load " << load << " s";
}

TEST(XMLFiles, SaveReportsWhatItCouldNotWrite)
{
    TempPath folder("_dir");
    fs::create_directory(folder.path);
    EXPECT_FALSE(ExampleDocument().Save(String((folder.path / "no/such/folder.xml").c_str())));
    CXMLDocument nameless;
    String path((folder.path / "nameless.xml").c_str());
    EXPECT_FALSE(nameless.Save(path));
    EXPECT_FALSE(fs::exists(folder.path / "nameless.xml"));
}

// ---------------------------------------------------------------------------------------------
// Lookups and typed getters
// ---------------------------------------------------------------------------------------------

TEST(XMLNode, LookupsCountOccurrencesFromOne)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<r><v n='1' n='x'/><w/><v n='2'>second</v></r>") == false)
        << "duplicate attributes are malformed";
    ASSERT_TRUE(doc.Parse("<r k='a'><v n='1'/><w/><v n='2'>second</v></r>"));
    EXPECT_EQ(doc.FindChild("v", 2)->GetAttributeInt("n"), 2);
    EXPECT_EQ(Str(doc.GetChildText("v", 2)), "second");
    EXPECT_EQ(doc.FindChild("v", 3), nullptr);
    EXPECT_EQ(doc.FindChild("v", 0), nullptr);
    EXPECT_EQ(doc.FindChild("V"), nullptr) << "case matters";
    EXPECT_EQ(Str(doc.GetChildText("none")), "");
    EXPECT_EQ(doc.GetChild(doc.GetChildCount()), nullptr);

    CXMLNode node("n");
    node.AddAttribute(CXMLAttribute("k", "first"));
    node.AddAttribute("k", "second");
    EXPECT_EQ(Str(node.GetAttributeString("k", 2)), "second");
    EXPECT_EQ(node.FindAttribute("k", 3), nullptr);
    EXPECT_EQ(Str(node.GetAttributeString("missing")), "");
    node.FindAttribute("k")->SetBool(true);
    EXPECT_EQ(Str(node.GetAttributeString("k")), "true");
    node.FindAttribute("k")->SetBool(false);
    EXPECT_EQ(Str(node.GetAttributeString("k")), "false");
}

TEST(XMLNode, BooleansAreTrueInAnyCaseOrAsIntegersFromOne)
{
    CXMLNode node("n");
    const char* yes[] = {"true", "TRUE", "True", "tRuE", "1", "2", " 7", "3x"};
    const char* no[] = {"yes", "0", "-1", "", "truex", " true", "false", "on"};
    for (const char* value : yes)
        node.AddAttribute(CXMLAttribute(String::Format("y%d", node.GetAttributeCount()), value));
    for (uint32_t i = 0; i < node.GetAttributeCount(); ++i)
        EXPECT_TRUE(node.GetAttributeBool(node.GetAttribute(i)->name)) << yes[i];
    CXMLNode other("n");
    for (const char* value : no)
        other.AddAttribute(CXMLAttribute(String::Format("n%d", other.GetAttributeCount()), value));
    for (uint32_t i = 0; i < other.GetAttributeCount(); ++i)
        EXPECT_FALSE(other.GetAttributeBool(other.GetAttribute(i)->name)) << '"' << no[i] << '"';
    EXPECT_FALSE(other.GetAttributeBool("missing"));
}

TEST(XMLNode, IntegersReadLeadingDigitsAndSaturate)
{
    CXMLNode node("n");
    const std::pair<const char*, int32_t> cases[] = {
        {"12abc", 12}, {"abc", 0}, {"  -7", -7}, {"+5", 5}, {"\t\n42", 42}, {"-", 0},
        {"3.9", 3}, {"2147483647", INT32_MAX}, {"99999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-99999999999999999999", INT32_MIN}, {"", 0}};
    for (const auto& [text, expected] : cases) {
        node.Clear();
        node.AddAttribute("v", text);
        EXPECT_EQ(node.GetAttributeInt("v"), expected) << '"' << text << '"';
    }
    EXPECT_EQ(node.GetAttributeInt("missing"), 0);
}

TEST(XMLNode, FloatsReadTheLongestDecimalNumberAtTheStart)
{
    CXMLNode node("n");
    const std::pair<const char*, float> cases[] = {
        {"0.50", 0.5f}, {"-1.00", -1.0f}, {"440.6", 440.6f}, {"1e3", 1000.0f},
        {"-2.5e-1", -0.25f}, {"  3.25xyz", 3.25f}, {".5", 0.5f}, {"5.", 5.0f}, {"1e", 1.0f},
        {"1e+", 1.0f}, {"+2", 2.0f}, {"abc1.5", 0.0f}, {"nan", 0.0f}, {"inf", 0.0f},
        {"0x10", 0.0f}, {".", 0.0f}, {"-", 0.0f}, {"1,5", 1.0f}, {"1e400", FLT_MAX},
        {"-1e400", -FLT_MAX}, {"1e39", FLT_MAX}, {"1e-400", 0.0f},
        {"0.000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000001",
         0.0f}};
    for (const auto& [text, expected] : cases) {
        node.Clear();
        node.AddAttribute("v", text);
        EXPECT_EQ(node.GetAttributeFloat("v"), expected) << '"' << text << '"';
    }
    EXPECT_EQ(node.GetAttributeFloat("missing"), 0.0f);
}

// ---------------------------------------------------------------------------------------------
// Copies, moves and parents
// ---------------------------------------------------------------------------------------------

TEST(XMLNode, ChildrenKeepTheirAddressAndParentWhileSiblingsAreAdded)
{
    CXMLNode root("root");
    CXMLNode* first = root.AddChild(CXMLNode("first"));
    CXMLNode* grandchild = first->AddChild(CXMLNode("grandchild"));
    for (int i = 0; i < 100; ++i)
        root.AddChild(CXMLNode("sibling"));
    EXPECT_EQ(root.GetChild(0), first);
    EXPECT_EQ(first->GetParent(), &root);
    EXPECT_EQ(grandchild->GetParent(), first);
    ExpectConsistent(root);
}

TEST(XMLNode, CopiesAreDeepIndependentRootsWithTheirOwnParents)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<r><a x='1'><b>t</b></a><c/></r>"));
    CXMLNode copy(*doc.GetChild(0));
    EXPECT_EQ(copy.GetParent(), nullptr);
    ExpectConsistent(copy);
    doc.GetChild(0)->FindChild("b")->SetText("changed");
    doc.GetChild(0)->FindAttribute("x")->SetText("2");
    EXPECT_EQ(Str(copy.GetChildText("b")), "t");
    EXPECT_EQ(copy.GetAttributeInt("x"), 1);

    CXMLDocument docCopy(doc);
    doc.Clear();
    EXPECT_EQ(Str(docCopy.FindChild("a")->GetChildText("b")), "changed");
    ExpectConsistent(docCopy);

    // Copies kept in a growing array stay consistent too.
    std::vector<CXMLNode> many;
    for (int i = 0; i < 50; ++i)
        many.push_back(copy);
    for (const CXMLNode& node : many)
        ExpectConsistent(node);
}

TEST(XMLNode, AddingANodeToItselfOrToItsOwnSubtreeAddsACopy)
{
    CXMLNode root("root");
    CXMLNode* child = root.AddChild(CXMLNode("child"));
    root.AddChild(root);
    ASSERT_EQ(root.GetChildCount(), 2u);
    EXPECT_EQ(root.GetChild(1)->GetChildCount(), 1u) << "a copy of root as it was";

    child->AddChild(std::move(root)); // an ancestor: copied, not moved
    EXPECT_EQ(root.GetChildCount(), 2u);
    EXPECT_EQ(Str(child->GetChild(0)->name), "root");
    ExpectConsistent(root);
}

TEST(XMLNode, AssignmentAndMovesKeepTheTreeConsistent)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<r><a><b><c/></b></a><d/></r>"));
    CXMLNode* a = doc.GetChild(0);
    *a = *a->GetChild(0); // from its own child: a now holds c
    EXPECT_EQ(Str(a->name), "b");
    EXPECT_EQ(a->GetParent(), &doc);
    ExpectConsistent(doc);

    CXMLNode moved(std::move(*doc.GetChild(0)));
    EXPECT_EQ(moved.GetParent(), nullptr);
    ExpectConsistent(moved);
    EXPECT_EQ(Str(moved.GetChild(0)->name), "c");

    CXMLNode* d = doc.FindChild("d");
    *d = std::move(moved);
    EXPECT_EQ(d->GetParent(), &doc);
    ExpectConsistent(doc);

    *d = std::move(*d->GetChild(0)); // from its own child again, by move
    EXPECT_EQ(Str(d->name), "c");
    ExpectConsistent(doc);
}

TEST(XMLNode, ClearEmptiesEverythingButKeepsThePlaceInTheTree)
{
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<r><a k='v'>t<b/></a></r>"));
    CXMLNode* a = doc.GetChild(0);
    a->Clear();
    EXPECT_TRUE(a->name.IsEmpty());
    EXPECT_TRUE(a->text.IsEmpty());
    EXPECT_EQ(a->GetAttributeCount(), 0u);
    EXPECT_EQ(a->GetChildCount(), 0u);
    EXPECT_EQ(a->GetParent(), &doc);
}
