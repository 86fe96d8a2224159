// Fuzz target for the streaming project reader. Checks, beyond memory safety, that whatever
// the bytes it agrees with the document tree the same bytes parse into: it fails exactly when
// the tree fails (with the same position and reason) or when the tree is another program's
// file, and otherwise gives the name and the voices, state for state, that applying the tree
// to new voices gives.
#include "synth/Project.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool Same(const ProjectContents& a, const ProjectContents& b)
{
    return a.name == b.name && a.voices == b.voices && a.master == b.master;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    ProjectContents streamed;
    String reason;
    const bool ok = ReadProjectText(bytes, size, streamed, reason);

    CXMLDocument doc;
    const bool parsed = doc.Parse(bytes, size);
    const bool isProject = parsed && (doc.name == "project" || doc.FindChild("oscilloscope"));
    Check(ok == isProject);
    if (!parsed)
        Check(reason == ("not a well-formed project file (" + std::string(doc.GetError().CStr()) + ")").c_str());
    if (!ok)
        return 0;
    ProjectContents tree;
    std::vector<std::unique_ptr<CVoiceModel>> voices;
    tree.name = ApplyProjectDocument(doc, [&]() { return voices.emplace_back(std::make_unique<CVoiceModel>()).get(); });
    for (const auto& voice : voices)
        tree.voices.push_back(voice->GetState());
    tree.master = ReadMasterAttributes(doc);
    Check(Same(streamed, tree));
    return 0;
}
