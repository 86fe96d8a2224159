// quillwave-render: renders a project file to a WAV file without a window, OpenGL or sound
// device. The project is loaded into voice models as the program opens it (every value
// through the model's slider rules; no panel is built) and the mix is written as Save Sound
// writes it: mono, 44100 Hz, 16 bits, replacing the output file in one step (a failed write
// leaves an existing file as it was). Errors are one line on standard error, with the
// system's reason where there is one, and exit status 1.
#include "synth/Project.h"
#include "synth/WorkerPool.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#ifndef QW_VERSION
#define QW_VERSION "unknown"
#endif

namespace {

const char kUsage[] =
    "usage: quillwave-render [-v] PROJECT.xml OUT.wav\n"
    "\n"
    "Renders the mix of every unmuted voice of a Quillwave project and writes it as a WAV file\n"
    "(PCM, 1 channel, 44100 Hz, 16 bits), exactly as the program's Save Sound does. A project\n"
    "whose voices are all muted gives a valid WAV file with no samples.\n"
    "\n"
    "  -v          print the sound's length, the number of voices and the time taken\n"
    "  --threads N render on N threads (default 0: one per hardware thread); the sound is the\n"
    "              same whatever N is\n"
    "  -h, --help  show this help\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 on success; 1 when the project cannot be read or is not well-formed XML, or\n"
    "the output cannot be written (an existing output file is then left as it was).\n";

int Fail(const String& message)
{
    std::fprintf(stderr, "quillwave-render: %s\n", message.CStr());
    return 1;
}

bool SameFile(const char* a, const char* b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Loads the project, renders it and writes the sound; the exit status.
int Render(const char* projectPath, const char* outputPath, bool verbose)
{
    const auto start = std::chrono::steady_clock::now();
    CXMLDocument doc;
    String reason;
    if (!ReadProjectFile(projectPath, doc, reason))
        return Fail(String::Format("cannot read project %s: %s", projectPath, reason.CStr()));
    if (SameFile(projectPath, outputPath))
        return Fail(String::Format("refusing to overwrite the project %s with the sound", projectPath));

    std::vector<std::unique_ptr<CVoiceModel>> voices;
    ApplyProjectDocument(doc, [&]() {
        voices.push_back(std::make_unique<CVoiceModel>());
        return voices.back().get();
    });
    doc.Clear(); // the voices hold everything now: free the document before the mix grows
    uint32_t unmuted = 0;
    for (const auto& voice : voices)
        unmuted += voice->IsMuted() ? 0 : 1;

    CSound mix;
    int error = 0;
    uint64_t clipped = 0;
    if (!SaveSoundFile(outputPath, voices, mix, &error, &clipped))
        return Fail(String::Format("cannot write %s: %s", outputPath, std::strerror(error ? error : EIO)));

    if (verbose) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const uint32_t samples = mix.GetDataSize() / (kMixBits / 8);
        std::printf("%s: %.3f s (%u samples), %zu voices (%u unmuted), rendered in %.3f s\n", outputPath,
                    static_cast<double>(samples) / kMixRate, samples, voices.size(), unmuted, seconds);
        std::printf("clipped: %llu samples\n", static_cast<unsigned long long>(clipped));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool verbose = false;
    std::vector<const char*> paths;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (options && std::strcmp(arg, "--version") == 0) {
            std::printf("quillwave-render %s\n", QW_VERSION);
            return 0;
        }
        if (options && std::strcmp(arg, "--threads") == 0) {
            char* end = nullptr;
            const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
            if (i + 1 >= argc || !end || *end != '\0' || end == argv[i + 1] || n < 0 || n > long(kMaxRenderThreads))
                return Fail(String::Format("--threads takes a number from 0 to %u", kMaxRenderThreads));
            SetRenderThreads(static_cast<uint32_t>(n));
            ++i;
            continue;
        }
        if (options && std::strcmp(arg, "-v") == 0) {
            verbose = true;
        } else if (options && std::strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && arg[0] == '-' && arg[1] != '\0') {
            return Fail(String::Format("unknown option %s (try --help)", arg));
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() != 2) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    // Past a file-size limit a write then fails with EFBIG, which is reported, instead of the
    // signal ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return Render(paths[0], paths[1], verbose);
    } catch (const std::bad_alloc&) {
        return Fail(String::Format("not enough memory to render %s", paths[0]));
    }
}
