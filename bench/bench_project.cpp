// Opening a project: the streaming reader (ReadProjectText) against building the document
// tree and applying it (CXMLDocument::Parse and ApplyProjectDocument), over 10,000 voices as
// the program saves them and over 4 MB of unknown empty elements inside the root. Targets:
// streaming no slower than the tree on voices, and at least 2 times faster on unknown
// elements, which it skips without keeping; it stays under 2 s per 60 MB of either.
#include "synth/Project.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::string Voices()
{
    std::vector<std::unique_ptr<CVoiceModel>> voices;
    for (int i = 0; i < 10000; ++i) {
        voices.push_back(std::make_unique<CVoiceModel>());
        voices.back()->SetWaveType(i % 4);
        voices.back()->SetSlider(ValueFrequency, static_cast<float>(110 + i % 40 * 11));
        voices.back()->SetEnvelopeOn(i % 5 == 0);
    }
    CXMLDocument doc;
    BuildProjectDocument(doc, "Ten thousand", voices);
    return ProjectDocumentText(doc);
}

std::string UnknownElements()
{
    std::string text = "<project>";
    while (text.size() < (size_t(4) << 20))
        text += "<a/>";
    return text + "</project>";
}

void Stream(benchmark::State& state, const std::string& text)
{
    ProjectContents contents;
    String reason;
    for (auto _ : state) {
        if (!ReadProjectText(text.data(), text.size(), contents, reason))
            state.SkipWithError(reason.CStr());
        benchmark::DoNotOptimize(contents.voices.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void Tree(benchmark::State& state, const std::string& text)
{
    for (auto _ : state) {
        CXMLDocument doc;
        if (!doc.Parse(text.data(), text.size()))
            state.SkipWithError("parse failed");
        std::vector<std::unique_ptr<CVoiceModel>> voices;
        ApplyProjectDocument(doc, [&]() { return voices.emplace_back(std::make_unique<CVoiceModel>()).get(); });
        benchmark::DoNotOptimize(voices.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void StreamVoices(benchmark::State& state) { Stream(state, Voices()); }
void TreeVoices(benchmark::State& state) { Tree(state, Voices()); }
void StreamUnknownElements(benchmark::State& state) { Stream(state, UnknownElements()); }
void TreeUnknownElements(benchmark::State& state) { Tree(state, UnknownElements()); }

} // namespace

BENCHMARK(StreamVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamUnknownElements)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeUnknownElements)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
