// quillwave-render: renders a project file to a WAV file without a window, OpenGL or sound
// device. The project is loaded into voice models as the program opens it (every value
// through the model's slider rules; no panel is built) and the mix is written as Save Sound
// writes it: mono, 44100 Hz, 16 bits, replacing the output file in one step (a failed write
// leaves an existing file as it was). With --generate it writes a generated sound instead of
// rendering a file (and with --project that sound's project too). Errors are one line on
// standard error, with the system's reason where there is one, and exit status 1.
#include "synth/Generate.h"
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
    "       quillwave-render [-v] --generate CATEGORY [--seed N] [--project FILE.xml] OUT.wav\n"
    "\n"
    "Renders the mix of every unmuted voice of a Quillwave project and writes it as a WAV file\n"
    "(PCM, 1 channel, 44100 Hz, 16 bits), exactly as the program's Save Sound does. A project\n"
    "whose voices are all muted gives a valid WAV file with no samples.\n"
    "\n"
    "The second form writes a generated sound, as the program's Generate menu makes it: CATEGORY\n"
    "is one of coin (or pickup), laser (shoot), explosion, power-up, hit (hurt), jump, blip\n"
    "(select) or random; the same category and seed always give the same sound.\n"
    "\n"
    "  -v          print the sound's length, the number of voices and the time taken\n"
    "  --generate CATEGORY  write the sound of that category instead of rendering a project\n"
    "  --seed N    the generator's seed, 0 to 4294967295 (default 0)\n"
    "  --project FILE.xml   with --generate, also save the generated project there\n"
    "  --threads N render on N threads (default 0: one per hardware thread); the sound is the\n"
    "              same whatever N is\n"
    "  -h, --help  show this help\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 on success; 1 when the project cannot be read or is not well-formed XML, or\n"
    "the output cannot be written (an existing output file is then left as it was), or an\n"
    "option is wrong.\n";

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

void Report(const char* outputPath, const CSound& mix, size_t voices, uint32_t unmuted,
            std::chrono::steady_clock::time_point start)
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint32_t samples = mix.GetDataSize() / (kMixBits / 8);
    std::printf("%s: %.3f s (%u samples), %zu voices (%u unmuted), rendered in %.3f s\n", outputPath,
                static_cast<double>(samples) / kMixRate, samples, voices, unmuted, seconds);
}

// What --generate asks for; category null when it was not given.
struct GenerateRequest {
    const char* category = nullptr;
    uint32_t seed = 0;
    const char* project = nullptr;
};

// Generates the sound, saves its project when asked, and writes the sound; the exit status.
int Generate(const GenerateRequest& request, const char* outputPath, bool verbose)
{
    const auto start = std::chrono::steady_clock::now();
    SoundCategory category;
    if (!ParseCategory(request.category, category))
        return Fail(String::Format("unknown category %s (try --help)", request.category));
    // Neither file need exist yet: compare the paths they will be written at.
    if (request.project) {
        std::error_code error;
        const auto project = std::filesystem::weakly_canonical(ProjectSavePath(request.project).CStr(), error);
        const auto sound = std::filesystem::weakly_canonical(outputPath, error);
        if (project == sound || SameFile(ProjectSavePath(request.project).CStr(), outputPath))
            return Fail(String::Format("the project and the sound cannot both be %s", outputPath));
    }
    const GeneratedVoices voices = GenerateVoices(category, request.seed);
    int error = 0;
    if (request.project &&
        !SaveProjectFile(request.project, GeneratedName(category, request.seed), voices, &error))
        return Fail(String::Format("cannot write %s: %s", ProjectSavePath(request.project).CStr(),
                                   std::strerror(error ? error : EIO)));
    CSound mix;
    if (!SaveSoundFile(outputPath, voices, mix, &error))
        return Fail(String::Format("cannot write %s: %s", outputPath, std::strerror(error ? error : EIO)));
    if (verbose)
        Report(outputPath, mix, voices.size(), static_cast<uint32_t>(voices.size()), start);
    return 0;
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
    if (!SaveSoundFile(outputPath, voices, mix, &error))
        return Fail(String::Format("cannot write %s: %s", outputPath, std::strerror(error ? error : EIO)));

    if (verbose)
        Report(outputPath, mix, voices.size(), unmuted, start);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool verbose = false;
    std::vector<const char*> paths;
    GenerateRequest generate;
    bool seedGiven = false;
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
        if (options && (std::strcmp(arg, "--generate") == 0 || std::strcmp(arg, "--seed") == 0 ||
                        std::strcmp(arg, "--project") == 0)) {
            if (i + 1 >= argc)
                return Fail(String::Format("%s needs a value (try --help)", arg));
            const char* value = argv[++i];
            if (arg[2] == 'g') {
                generate.category = value;
            } else if (arg[2] == 'p') {
                generate.project = value;
            } else {
                if (!ParseSeed(value, generate.seed))
                    return Fail("--seed takes a number from 0 to 4294967295");
                seedGiven = true;
            }
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
    if (!generate.category && (seedGiven || generate.project))
        return Fail("--seed and --project go with --generate (try --help)");
    if (paths.size() != (generate.category ? 1u : 2u)) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    // Past a file-size limit a write then fails with EFBIG, which is reported, instead of the
    // signal ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        if (generate.category)
            return Generate(generate, paths[0], verbose);
        return Render(paths[0], paths[1], verbose);
    } catch (const std::bad_alloc&) {
        return Fail(String::Format("not enough memory to render %s", paths[0]));
    }
}
