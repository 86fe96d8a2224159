// What an autosave costs the main thread, for a project of 8 and of 256 default voices: making
// the bytes (the project document and its text) and writing them (CAutosave::Write: a
// temporary file, flushed to the disk, renamed over the autosave). The file goes to a fresh
// folder under the system's temporary folder, so the write's cost is that disk's.
// Target: both together well under a frame (16 ms) at 256 voices, since they run on the
// thread that draws.
#include "app/Autosave.h"
#include "synth/Project.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<CVoiceModel>> Voices(int64_t count)
{
    std::vector<std::unique_ptr<CVoiceModel>> voices;
    for (int64_t i = 0; i < count; ++i)
        voices.push_back(std::make_unique<CVoiceModel>());
    return voices;
}

std::string AutosaveBytes(const std::vector<std::unique_ptr<CVoiceModel>>& voices)
{
    CXMLDocument doc;
    BuildProjectDocument(doc, "Autosave bench", voices);
    return ProjectDocumentText(doc);
}

void BM_AutosaveBytes(benchmark::State& state)
{
    const auto voices = Voices(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(AutosaveBytes(voices));
}

void BM_AutosaveWrite(benchmark::State& state)
{
    std::string folder = (std::filesystem::temp_directory_path() / "quillwave-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string bytes = AutosaveBytes(Voices(state.range(0)));
    {
        CAutosave autosave(folder);
        for (auto _ : state)
            if (!autosave.Write(bytes))
                state.SkipWithError("write failed");
        autosave.Remove();
    }
    std::filesystem::remove_all(folder);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

} // namespace

BENCHMARK(BM_AutosaveBytes)->Arg(8)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AutosaveWrite)->Arg(8)->Arg(256)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
