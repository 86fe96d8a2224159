// Running out of memory while reading: every allocation the reader makes is failed in turn,
// and each must give a failed read with a reason, never an exception or a broken tree.
#include "xml/FailingAllocator.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

const char kDocument[] = "<?xml version=\"1.0\"?>\n\n"
                         "<project version=\"2\">\n"
                         "\t<name>Rock &amp; Roll&#10;Live</name>\n"
                         "\t<oscilloscope type=\"1\" amplitude=\"0.50\" label=\"a&#10;b\" />\n"
                         "\t<group>mixed<voice index=\"0\"><![CDATA[<raw>]]></voice>text</group>\n"
                         "</project>";

void ExpectConsistent(const CXMLNode& node)
{
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        ASSERT_EQ(node.GetChild(i)->GetParent(), &node);
        ASSERT_FALSE(node.GetChild(i)->name.IsEmpty()) << "a half-made element joined the tree";
        ExpectConsistent(*node.GetChild(i));
    }
}

// Runs read once to count its allocations, then once per allocation with that one failing
// (and, with failAllAfter, every later one too). Each run must fail with the out-of-memory
// reason; a run with no failure must succeed.
void FailEachAllocationOf(const std::function<bool(CXMLDocument&)>& read, bool failAllAfter)
{
    size_t total;
    {
        CXMLDocument doc;
        FailingAllocator::Count();
        bool ok = read(doc);
        total = FailingAllocator::Allocations();
        ASSERT_TRUE(ok) << doc.GetError().CStr();
        ASSERT_GT(total, 10u) << "the reader allocates per element and attribute";
    }
    for (size_t n = 1; n <= total; ++n) {
        CXMLDocument doc;
        bool ok = true;
        FailingAllocator::Arm(n, failAllAfter ? 0 : n);
        EXPECT_NO_THROW(ok = read(doc)) << "allocation " << n << " of " << total;
        FailingAllocator::Disarm();
        EXPECT_FALSE(ok) << "allocation " << n << " of " << total;
        EXPECT_NE(std::string(doc.GetError().CStr()).find("out of memory"), std::string::npos)
            << "allocation " << n << ": " << doc.GetError().CStr();
        ExpectConsistent(doc);
        ASSERT_TRUE(doc.Parse(kDocument)) << "the document is usable again afterwards";
        EXPECT_EQ(doc.GetChildCount(), 3u);
    }
}

} // namespace

TEST(XMLOutOfMemory, ParseFailsCleanlyWhereverOneAllocationFails)
{
    FailEachAllocationOf([](CXMLDocument& doc) { return doc.Parse(kDocument); }, false);
}

TEST(XMLOutOfMemory, ParseFailsCleanlyWhenMemoryRunsOutForGood)
{
    FailEachAllocationOf([](CXMLDocument& doc) { return doc.Parse(kDocument); }, true);
}

TEST(XMLOutOfMemory, LoadFailsCleanlyWhereverMemoryRunsOut)
{
    namespace fs = std::filesystem;
    const fs::path path = fs::temp_directory_path() /
                          ("qw_xml_out_of_memory_" + std::to_string(getpid()) + ".xml");
    std::ofstream(path, std::ios::binary) << kDocument;
    const String file(path.c_str());
    FailEachAllocationOf([&](CXMLDocument& doc) { return doc.Load(file); }, true);
    FailEachAllocationOf([&](CXMLDocument& doc) { return doc.Load(file); }, false);
    fs::remove(path);
}
