// Reading a generated 1 MB document (projects, resources and GUI descriptions mixed) into the
// tree, against Expat alone with empty handlers over the same text; and writing it back.
// Target: the tree within 3 times Expat alone.
// Loading from a file: the same document, and one element whose single attribute value is
// 16 MB. Target: loading costs no more than parsing the same bytes plus reading them, so the
// long value loads about as fast as the mixed document per byte.
#include "xml/XMLDocument.h"

#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const std::string& Document()
{
    static const std::string text = [] {
        std::string t = "<?xml version=\"1.0\"?>\n\n<library>\n";
        int i = 0;
        while (t.size() < 1000000) {
            t += "\t<project>\n\t\t<name>Rock &#38; Roll ";
            t += std::to_string(i);
            t += "&#10;take two</name>\n";
            for (int v = 0; v < 4; ++v) {
                t += "\t\t<oscilloscope type=\"" + std::to_string(v) +
                     "\" amplitude=\"1.00\" amplitudeOffset=\"0.00\" frequency=\"440\" "
                     "period=\"1.00\" phase=\"0.00\" attack=\"0.00\" decay=\"0.50\" "
                     "sustain=\"0.50\" hold=\"0.50\" release=\"0.10\" typeCarrier=\"0\" "
                     "modCarrier=\"1\" amplitudeCarrier=\"1.00\" amplitudeOffsetCarrier=\"0.00\" "
                     "frequencyCarrier=\"1\" periodCarrier=\"1.00\" phaseCarrier=\"0.00\" "
                     "envelope=\"false\" carrier=\"false\" loop=\"true\" mute=\"false\" />\n";
            }
            t += "\t</project>\n\t<gui>\n"
                 "\t\t<button name=\"btnPlay\" x=\"4\" y=\"4\" w=\"64\" h=\"24\" text=\"Play\">\n"
                 "\t\t\t<enable r=\"1\" g=\"1\" b=\"1\" a=\"1\" />\n"
                 "\t\t\t<hover r=\"0.8\" g=\"0.9\" b=\"1\" />\n"
                 "\t\t</button>\n"
                 "\t\t<edit name=\"editProjectName\" text=\"New Project\" limit=\"64\" />\n"
                 "\t\t<sprite name=\"buttons\" file=\"resources/buttons.tga\" fps=\"25\">\n"
                 "\t\t\t<frame array=\"4,2\" w=\"32\" h=\"16\" />\n"
                 "\t\t</sprite>\n"
                 "\t</gui>\n";
            ++i;
        }
        t += "</library>";
        return t;
    }();
    return text;
}

void XMLCALL OnStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL OnEnd(void*, const XML_Char*) {}
void XMLCALL OnText(void*, const XML_Char*, int) {}

void ExpatAlone(benchmark::State& state)
{
    const std::string& text = Document();
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetElementHandler(parser, OnStart, OnEnd);
        XML_SetCharacterDataHandler(parser, OnText);
        bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) ==
                  XML_STATUS_OK;
        XML_ParserFree(parser);
        if (!ok)
            state.SkipWithError("Expat failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void ParseIntoTree(benchmark::State& state)
{
    const std::string& text = Document();
    CXMLDocument doc;
    for (auto _ : state) {
        if (!doc.Parse(text.data(), text.size()))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.GetChildCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void SerializeTree(benchmark::State& state)
{
    CXMLDocument doc;
    doc.Parse(Document().data(), Document().size());
    size_t bytes = 0;
    for (auto _ : state) {
        String out = doc.Serialize(0);
        bytes = static_cast<size_t>(out.Length());
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// The text written to a file in the temporary folder, removed at exit.
class TempFile {
public:
    explicit TempFile(const std::string& text)
        : m_path("/tmp/qw_bench_xml_" + std::to_string(getpid()) + "_" +
                 std::to_string(text.size()) + ".xml")
    {
        std::FILE* file = std::fopen(m_path.c_str(), "wb");
        if (file) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void LoadFile(benchmark::State& state, const std::string& text)
{
    TempFile file(text);
    CXMLDocument doc;
    for (auto _ : state) {
        if (!doc.Load(file.Path().c_str()))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(doc.GetChildCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void LoadDocument(benchmark::State& state) { LoadFile(state, Document()); }

std::string LongAttribute() { return "<a v=\"" + std::string(size_t(16) << 20, 'x') + "\"/>"; }

void LoadLongAttribute(benchmark::State& state) { LoadFile(state, LongAttribute()); }

void ParseLongAttribute(benchmark::State& state)
{
    const std::string text = LongAttribute();
    CXMLDocument doc;
    for (auto _ : state) {
        if (!doc.Parse(text.data(), text.size()))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.GetAttributeCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

} // namespace

BENCHMARK(ExpatAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseIntoTree)->Unit(benchmark::kMillisecond);
BENCHMARK(SerializeTree)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseLongAttribute)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadLongAttribute)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
