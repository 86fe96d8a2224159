// quillwave-render: renders project files to sound files without a window, OpenGL or sound
// device. A project is loaded into voice models as the program opens it (ReadProjectFile, which
// streams the file and refuses what is not a project; no panel is built) and the mix is
// written as Save Sound writes it, through the project's master stage:
// mono, 44100 Hz (or --rate), 16 bits, as WAV, FLAC or Ogg Vorbis by the output's ending (or --format),
// replacing the output file in one step (a failed write leaves an existing file as it was).
// "-" as output writes to standard output. With -o DIR every project named is rendered into
// DIR, several at once on a machine with many cores; one that fails does not stop the others.
// Errors are one line on standard error, with the system's reason where there is one; the
// exit status is 1 when anything failed, -v's lines lost to a full or closed stream included.
// A run that takes over a second shows a progress line on standard error while it is a
// terminal (-q silences it). With --generate it writes a generated sound instead
// of rendering a file (and with --project that sound's project too).
#include "synth/Generate.h"
#include "synth/Project.h"
#include "synth/WorkerPool.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#ifndef QW_VERSION
#define QW_VERSION "unknown"
#endif

namespace {

const char kUsage[] =
    "usage: quillwave-render [OPTIONS] PROJECT.xml OUT.wav|OUT.flac|OUT.ogg|-\n"
    "       quillwave-render [OPTIONS] -o DIR PROJECT.xml...\n"
    "       quillwave-render [OPTIONS] --generate CATEGORY [--seed N] [--project FILE.xml] OUT\n"
    "\n"
    "Renders the mix of every unmuted voice of a Quillwave project, through the project's gain,\n"
    "normalisation and fade, and writes it as a sound file (1 channel, 44100 Hz unless --rate\n"
    "says otherwise, 16 bits), exactly as the program's Save Sound does. The output's\n"
    "ending chooses the format: .wav (PCM), .flac (lossless) or .ogg (Ogg Vorbis, quality 0.6);\n"
    "a name without an extension is WAV. \"-\" writes the sound to standard output (WAV unless\n"
    "--format says otherwise), for a pipe such as \"| aplay\". A project whose voices are all\n"
    "muted gives a valid file with no sound.\n"
    "\n"
    "With -o DIR each PROJECT.xml is written to DIR under its own name with the format's\n"
    "ending (A.xml as DIR/A.wav); the projects are rendered on all cores, and one that fails\n"
    "does not stop the others.\n"
    "\n"
    "With --generate it writes a generated sound, as the program's Generate menu makes it:\n"
    "CATEGORY is one of coin (or pickup), laser (shoot), explosion, power-up, hit (hurt), jump,\n"
    "blip (select), synth, tone, click or random; the same category and seed always give the\n"
    "same sound (with the 2 ms fade of a new project and a gain that brings it to -18 dBFS\n"
    "RMS).\n"
    "\n"
    "  -o DIR           render every project named into the existing folder DIR\n"
    "  --format FORMAT  wav, flac or ogg: the format whatever the output's ending (with -o, the\n"
    "                   default is wav)\n"
    "  --rate HZ        render at 22050, 44100 (the default) or 48000 values a second: the voices\n"
    "                   are computed at that rate, never resampled\n"
    "  -v               print each sound's length, the number of voices and the time taken (on\n"
    "                   standard error when the sound goes to standard output)\n"
    "  -q               no progress line (one is shown on a terminal when a run takes over a\n"
    "                   second)\n"
    "  --generate CATEGORY  write the sound of that category instead of rendering a project\n"
    "  --seed N         the generator's seed, 0 to 4294967295 (default 0)\n"
    "  --project FILE.xml   with --generate, also save the generated project there\n"
    "  --threads N      render on N threads (default 0: one per hardware thread); the sound is\n"
    "                   the same whatever N is\n"
    "  -h, --help       show this help\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 when every sound was written; 1 when a project cannot be read, is not\n"
    "well-formed XML or is not a Quillwave project, an output cannot be written (an existing\n"
    "output file is then left as it was), the reader of standard output went away, -v's output\n"
    "could not be written, or the command line is wrong; 2 when --rate names another rate.\n"
    "Rendering costs time in proportion to\n"
    "voices × seconds of sound (see the manual page).\n";

// Standard output or error closed when the tool started: /dev/null stands in for it, so that
// no file the tool opens takes its number (and receives messages), and whatever is printed
// to it counts as lost.
bool g_closedAtStart[3] = {};

void GuardStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            ::close(null);
        }
        g_closedAtStart[fd] = true;
    }
}

// Pushes out what was printed to stream; false, with errno set, when any of it was lost.
bool Flushed(std::FILE* stream)
{
    const bool ok = std::fflush(stream) == 0 && !std::ferror(stream);
    if (ok && g_closedAtStart[fileno(stream)]) {
        errno = EBADF;
        return false;
    }
    return ok;
}

// A line on standard error, rewritten in place about four times a second, that says what the
// tool is doing once a run has taken more than a second; erased when it stops. Only on a
// terminal: a pipe or a file gets nothing.
class CProgressLine {
public:
    explicit CProgressLine(bool wanted)
    {
        if (wanted && isatty(STDERR_FILENO))
            m_thread = std::thread([this] { Run(); });
    }
    ~CProgressLine() { Stop(); }

    // What is being done, as "rendering NAME"; text must live until the next call or Stop.
    void Say(const char* text) { m_text.store(text); }
    // Counts a finished part of parts (the projects of -o).
    void SetParts(uint32_t parts) { m_parts = parts; }
    void PartDone() { ++m_done; }

    // Ends the line; nothing is written to standard error by it afterwards.
    void Stop()
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void Run()
    {
        const auto start = std::chrono::steady_clock::now();
        bool shown = false;
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return m_stop; })) {
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (seconds < 1.0)
                continue;
            std::string line = std::string("\rquillwave-render: ") + m_text.load();
            if (m_parts > 1)
                line += String::Format(", %u of %u done", m_done.load(), m_parts.load()).CStr();
            line += String::Format(", %.0f s\033[K", seconds).CStr();
            shown = ::write(STDERR_FILENO, line.data(), line.size()) > 0 || shown;
        }
        if (shown && ::write(STDERR_FILENO, "\r\033[K", 4) < 0) {
            // the terminal went away: nothing is left to erase
        }
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<const char*> m_text{"working"};
    std::atomic<uint32_t> m_parts{0};
    std::atomic<uint32_t> m_done{0};
};

// What rendering one project said, printed once it is done: several projects may render at
// once, and their lines come out in the order they were named.
struct Messages {
    std::string errors; // for standard error
    std::string info;   // -v's line
};

int Fail(Messages& messages, const String& message)
{
    messages.errors += std::string("quillwave-render: ") + message.CStr() + "\n";
    return 1;
}

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

bool IsStandardOutput(const char* path) { return std::strcmp(path, "-") == 0; }

// Writes all of bytes to standard output. False with errno set (EPIPE when the reader has
// gone away: SIGPIPE is ignored, so the write fails instead of ending the process).
bool WriteStandardOutput(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Loads the project, renders it and writes the sound; the exit status.
int Render(const char* projectPath, const char* outputPath, SoundFileFormat format, uint32_t rate, bool verbose,
           Messages& messages)
{
    const auto start = std::chrono::steady_clock::now();
    const bool toStandardOutput = IsStandardOutput(outputPath);
    ProjectContents project;
    String reason;
    if (!ReadProjectFile(projectPath, project, reason))
        return Fail(messages, String::Format("cannot read project %s: %s", projectPath, reason.CStr()));
    if (!toStandardOutput && SameFile(projectPath, outputPath))
        return Fail(messages, String::Format("refusing to overwrite the project %s with the sound", projectPath));

    // The unmuted voices as the renderer reads them, made through one voice model so that a
    // project of many small voices holds its states and this list, never a model per voice.
    const size_t voiceCount = project.voices.size();
    std::vector<RenderVoice> unmuted;
    {
        CVoiceModel model;
        for (const VoiceState& state : project.voices) {
            model.SetState(state);
            if (!model.IsMuted())
                unmuted.push_back(RenderVoice{model.GetParams(), model.GetLength()});
        }
    }
    const MixMaster master = project.master;
    project = ProjectContents(); // the list holds everything now: free the states before the mix grows

    CSound mix;
    int error = 0;
    uint64_t clipped = 0;
    RenderMix(unmuted.data(), static_cast<uint32_t>(unmuted.size()), mix, kMixChannels, rate, kMixBits, &clipped,
              RenderCancel(), nullptr, master);
    if (toStandardOutput) {
        std::string bytes;
        if (!EncodeMix(format, mix, bytes, &error))
            return Fail(messages, String::Format("cannot encode the sound: %s", std::strerror(error ? error : EIO)));
        if (!WriteStandardOutput(bytes))
            return Fail(messages, String::Format("cannot write to standard output: %s", std::strerror(errno)));
    } else if (!WriteMixFile(outputPath, format, mix, &error)) {
        return Fail(messages, String::Format("cannot write %s: %s", outputPath, std::strerror(error ? error : EIO)));
    }

    if (verbose) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const uint32_t samples = mix.GetDataSize() / (kMixBits / 8);
        messages.info += String::Format("%s: %.3f s (%u samples), %zu voices (%u unmuted), rendered in %.3f s\n",
                                        outputPath, static_cast<double>(samples) / rate, samples,
                                        voiceCount, static_cast<uint32_t>(unmuted.size()), seconds)
                             .CStr();
        messages.info += String::Format("clipped: %llu samples\n", static_cast<unsigned long long>(clipped)).CStr();
    }
    return 0;
}

// What --generate asks for; category null when it was not given.
struct GenerateRequest {
    const char* category = nullptr;
    uint32_t seed = 0;
    const char* project = nullptr;
};

// Generates the sound, saves its project when asked, and writes the sound; the exit status.
int Generate(const GenerateRequest& request, const char* outputPath, SoundFileFormat format, uint32_t rate,
             bool verbose, Messages& messages)
{
    const auto start = std::chrono::steady_clock::now();
    SoundCategory category;
    if (!ParseCategory(request.category, category))
        return Fail(messages, String::Format("unknown category %s (try --help)", request.category));
    // Neither file need exist yet: compare the paths they will be written at.
    if (request.project) {
        std::error_code error;
        const auto project = std::filesystem::weakly_canonical(ProjectSavePath(request.project).CStr(), error);
        const auto sound = std::filesystem::weakly_canonical(outputPath, error);
        if (project == sound || SameFile(ProjectSavePath(request.project).CStr(), outputPath))
            return Fail(messages, String::Format("the project and the sound cannot both be %s", outputPath));
    }
    const GeneratedVoices voices = GenerateVoices(category, request.seed);
    const MixMaster master = GeneratedMaster(voices); // as the program's Generate sets it
    int error = 0;
    if (request.project &&
        !SaveProjectFile(request.project, GeneratedName(category, request.seed), voices, master, &error))
        return Fail(messages, String::Format("cannot write %s: %s", ProjectSavePath(request.project).CStr(),
                                             std::strerror(error ? error : EIO)));
    CSound mix;
    if (!SaveSoundFile(outputPath, format, voices, mix, &error, nullptr, master, rate))
        return Fail(messages,
                    String::Format("cannot write %s: %s", outputPath, std::strerror(error ? error : EIO)));
    if (verbose) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const uint32_t samples = mix.GetDataSize() / (kMixBits / 8);
        messages.info += String::Format("%s: %.3f s (%u samples), %zu voices, generated in %.3f s\n", outputPath,
                                        static_cast<double>(samples) / rate, samples, voices.size(), seconds)
                             .CStr();
    }
    return 0;
}

// Render with its failures turned into messages: it may run on a worker thread, where nothing
// may escape.
int RenderCaught(const char* projectPath, const char* outputPath, SoundFileFormat format, uint32_t rate,
                 bool verbose, Messages& messages)
{
    try {
        return Render(projectPath, outputPath, format, rate, verbose, messages);
    } catch (const std::bad_alloc&) {
        return Fail(messages, String::Format("not enough memory to render %s", projectPath));
    } catch (const std::exception& e) {
        return Fail(messages, String::Format("cannot render %s: %s", projectPath, e.what()));
    }
}

// Prints the errors on standard error and -v's lines on info. False, with errno set, when
// any of it was lost (a full disk, a closed stream, a reader that went away).
bool Print(const Messages& messages, std::FILE* info)
{
    std::fputs(messages.errors.c_str(), stderr);
    std::fputs(messages.info.c_str(), info);
    return (messages.info.empty() || Flushed(info)) && (messages.errors.empty() || Flushed(stderr));
}

// The exit status once everything is printed: 1 when printed is false, as for a lost sound,
// saying so on standard error if that still can.
int Finish(int status, bool printed)
{
    if (printed)
        return status;
    Fail(String::Format("the output of -v was lost: %s", std::strerror(errno)));
    return 1;
}

// --- -o DIR: many projects

struct BatchJob {
    const char* project;
    std::string output;
    bool clash = false; // another project named before it writes the same file
    int status = 0;
    Messages messages;
};

// Renders every project into folder; the exit status (1 when any failed).
int RenderBatch(const std::vector<const char*>& projects, const char* folder, SoundFileFormat format, uint32_t rate,
                bool verbose, CProgressLine& progress)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        const bool exists = fs::exists(folder, error);
        return Fail(String::Format("output folder %s: %s", folder, exists ? "Not a directory" : "No such file or directory"));
    }
    std::vector<BatchJob> jobs(projects.size());
    for (size_t i = 0; i < projects.size(); ++i) {
        BatchJob& job = jobs[i];
        job.project = projects[i];
        job.output = (fs::path(folder) / fs::path(job.project).filename().replace_extension(SoundFileExtension(format))).string();
        for (size_t j = 0; j < i && !job.clash; ++j)
            job.clash = jobs[j].output == job.output;
    }
    auto run = [&](uint32_t part) {
        BatchJob& job = jobs[part];
        if (job.clash)
            job.status = Fail(job.messages, String::Format("%s: another project named before it also writes %s",
                                                           job.project, job.output.c_str()));
        else
            job.status = RenderCaught(job.project, job.output.c_str(), format, rate, verbose, job.messages);
        progress.PartDone();
    };
    // Several projects at once (each rendering on its own thread) when there are enough of
    // them to keep every thread busy; otherwise one after another, each on every thread. The
    // sound is the same either way.
    const uint32_t count = static_cast<uint32_t>(jobs.size());
    const std::string what = String::Format("rendering %u projects into %s", count, folder).CStr();
    progress.Say(what.c_str());
    progress.SetParts(count);
    if (count > 1 && count >= RenderThreads()) {
        RunParts(count, run);
    } else {
        for (uint32_t i = 0; i < count; ++i)
            run(i);
    }
    progress.Stop();
    uint32_t failed = 0;
    bool printed = true;
    for (const BatchJob& job : jobs) {
        printed = Print(job.messages, stdout) && printed;
        failed += job.status != 0 ? 1 : 0;
    }
    if (failed && count > 1)
        Fail(String::Format("%u of %u projects failed", failed, count));
    return Finish(failed ? 1 : 0, printed);
}

} // namespace

int main(int argc, char** argv)
{
    GuardStandardStreams();
    bool verbose = false;
    bool quiet = false;
    const char* folder = nullptr;
    bool formatGiven = false;
    SoundFileFormat format = SoundFileFormat::Wav;
    std::vector<const char*> paths;
    GenerateRequest generate;
    bool seedGiven = false;
    uint32_t rate = kMixRate;
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
        if (options && std::strcmp(arg, "--rate") == 0) {
            char* end = nullptr;
            const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
            if (i + 1 >= argc || !end || *end != '\0' || end == argv[i + 1] || n < 0 || n > 1000000 ||
                !IsRenderRate(static_cast<uint32_t>(n))) {
                Fail("--rate takes 22050, 44100 or 48000 (values a second)");
                return 2;
            }
            rate = static_cast<uint32_t>(n);
            ++i;
            continue;
        }
        if (options && std::strcmp(arg, "--format") == 0) {
            if (i + 1 >= argc || !SoundFileFormatFromName(argv[i + 1], format))
                return Fail("--format takes wav, flac or ogg");
            formatGiven = true;
            ++i;
            continue;
        }
        if (options && std::strcmp(arg, "-o") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Fail("-o takes the folder to write into");
            if (folder)
                return Fail("-o is given more than once");
            folder = argv[++i];
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
        } else if (options && std::strcmp(arg, "-q") == 0) {
            quiet = true;
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
    if (generate.category && folder)
        return Fail("--generate writes one sound: -o does not go with it (try --help)");
    if (folder ? paths.empty() : paths.size() != (generate.category ? 1u : 2u)) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    // Past a file-size limit a write then fails with EFBIG, which is reported, instead of the
    // signal ending the process; likewise a pipe whose reader has gone gives EPIPE.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    CProgressLine progress(!quiet);
    if (folder)
        return RenderBatch(paths, folder, format, rate, verbose, progress);

    const char* output = generate.category ? paths[0] : paths[1];
    const bool toStandardOutput = IsStandardOutput(output);
    if (!formatGiven && !toStandardOutput && !SoundFileFormatFromPath(output, format))
        return Fail(String::Format("cannot tell the format of %s from its ending: use .wav, .flac or .ogg, or --format",
                                   output));
    if (toStandardOutput && isatty(STDOUT_FILENO))
        return Fail("refusing to write a sound to a terminal: redirect standard output or name a file");
    if (generate.category && toStandardOutput)
        return Fail("--generate writes to a file (try --help)");
    Messages messages;
    int status = 1;
    const std::string what = generate.category ? std::string("generating ") + output
                                               : std::string("rendering ") + paths[0];
    progress.Say(what.c_str());
    if (generate.category) {
        try {
            status = Generate(generate, output, format, rate, verbose, messages);
        } catch (const std::bad_alloc&) {
            status = Fail(messages, "not enough memory to generate the sound");
        }
    } else {
        status = RenderCaught(paths[0], output, format, rate, verbose, messages);
    }
    progress.Stop();
    return Finish(status, Print(messages, toStandardOutput ? stderr : stdout));
}
