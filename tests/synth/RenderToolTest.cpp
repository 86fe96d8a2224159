// The command-line renderer end to end, run as a subprocess: its WAV files checked sample by
// sample against the voice formulas evaluated here, FLAC and Ogg files decoded and compared
// with them, folders of projects rendered at once, standard output, and its errors and exit
// statuses.
#include "support/DecodeSound.h"
#include "synth/RenderKernel.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class RenderTool : public ::testing::Test {
protected:
    // shellSetup runs first in the same shell (a ulimit, for instance).
    ToolRun Render(const std::string& arguments, const std::string& shellSetup = "")
    {
        const std::string out = dir.File("stdout"), err = dir.File("stderr");
        const std::string command = shellSetup + std::string(QW_BUILD_DIR "/quillwave-render ") + arguments +
                                    " >" + out + " 2>" + err;
        ToolRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadFileBytes(out);
        run.err = ReadFileBytes(err);
        return run;
    }
    std::string Project(const std::string& voices, const std::string& name = "p.xml")
    {
        const std::string path = dir.File(name);
        WriteFileBytes(path, "<?xml version=\"1.0\"?>\n<project><name>t</name>" + voices + "</project>");
        return path;
    }
    // The 16-bit samples of the file written to out.wav, after checking its header.
    std::vector<int16_t> Samples()
    {
        const std::string wav = ReadFileBytes(dir.File("out.wav"));
        EXPECT_GE(wav.size(), 44u);
        if (wav.size() < 44)
            return {};
        auto u16 = [&](size_t at) { return uint8_t(wav[at]) | uint8_t(wav[at + 1]) << 8; };
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(u16(22), 1);       // channels
        EXPECT_EQ(u16(24), 44100);   // rate (low half)
        EXPECT_EQ(u16(34), 16);      // bits
        std::vector<int16_t> samples;
        for (size_t at = 44; at + 1 < wav.size(); at += 2)
            samples.push_back(static_cast<int16_t>(u16(at)));
        return samples;
    }
    // Checks every sample against mix(t) on the renderer's time grid over length seconds.
    template <class Mix>
    void ExpectSamples(float length, Mix mix)
    {
        const std::vector<int16_t> samples = Samples();
        const uint32_t count = static_cast<uint32_t>(44100.0f * length * 2.0f) / 2;
        ASSERT_EQ(samples.size(), count);
        const double step = static_cast<double>(length) / count;
        double t = 0.0;
        uint32_t wrong = 0;
        for (uint32_t i = 0; i < count; ++i, t += step) {
            const double value = std::fmin(32767.0, std::fmax(-32767.0, mix(t)));
            if (samples[i] != static_cast<int16_t>(value) && ++wrong < 5)
                ADD_FAILURE() << "sample " << i << ": " << samples[i] << " != " << static_cast<int>(value);
        }
        EXPECT_EQ(wrong, 0u);
    }

    TempDir dir;
};

constexpr double kTwoPi = 6.283185308;

TEST_F(RenderTool, MixAveragesUnmutedVoicesOverTheLongest)
{
    // A triangle of 0.2 s (with offset and phase), a sawtooth of 0.15 s, and a muted square of 1 s that neither
    // lengthens nor joins the mix.
    const std::string project = Project(
        "<oscilloscope type='1' amplitude='1' amplitudeOffset='0.1' frequency='50' period='0.2' phase='0.01'/>"
        "<oscilloscope type='2' amplitude='2' frequency='30' period='0.15'/>"
        "<oscilloscope type='3' amplitude='1' frequency='5' period='1' mute='true'/>");
    const ToolRun run = Render("-v " + project + " " + dir.File("out.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("3 voices (2 unmuted)"), std::string::npos) << run.out;
    ExpectSamples(0.2f, [](double t) {
        const double triangle = 0.1f + 1.0f * std::asin(std::sin((t + 0.01f) * kTwoPi * 50.0f)) / 1.570796327;
        const double v = t * 30.0f;
        const double saw = 2.0f * 2.0 * (v - std::floor(v + 0.5));
        return (triangle * 32767 + saw * 32767) / 2;
    });
}

TEST_F(RenderTool, EnvelopeAndFrequencyModulationApply)
{
    const std::string project = Project(
        "<oscilloscope type='0' amplitude='1' frequency='200' period='3' attack='0.1' decay='0.2' sustain='0.5' "
        "hold='0.1' release='0.1' typeCarrier='0' modCarrier='1' amplitudeCarrier='0.05' frequencyCarrier='3' "
        "envelope='true' carrier='true'/>");
    const ToolRun run = Render(project + " " + dir.File("out.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, ""); // quiet without -v
    const float length = ((0.2f + 0.1f) + 0.1f) + 0.1f; // decay, attack, hold, release
    ExpectSamples(length, [](double t) {
        const double c = 0.05f * std::sin(t * kTwoPi * 3.0f);
        const float frequency = static_cast<float>(200.0f + 100.0 * c);
        double gain;
        if (t <= 0.1f)
            gain = 1 - (0.1f - t) / 0.1f;
        else if (t - 0.1f <= 0.2f)
            gain = 1 - (1 - (0.2f - (t - 0.1f)) / 0.2f) * (1 - 0.5f);
        else if (t - 0.1f - 0.2f <= 0.1f)
            gain = 0.5f;
        else if (t - 0.1f - 0.2f - 0.1f <= 0.1f)
            gain = (0.1f - (t - 0.1f - 0.2f - 0.1f)) / 0.1f * 0.5f;
        else
            gain = 0;
        return std::sin(t * kTwoPi * frequency) * gain * 32767;
    });
}

TEST_F(RenderTool, ProjectsOfThousandsOfVoicesRender)
{
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += "<oscilloscope amplitudeOffset='0.5' period='0.01'/>";
    const ToolRun run = Render("-v " + Project(many) + " " + dir.File("out.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("3000 voices (3000 unmuted)"), std::string::npos) << run.out;
    ExpectSamples(0.01f, [](double) { return 0.5f * 32767.0; });
}

TEST_F(RenderTool, TheThreadCountDoesNotChangeTheSound)
{
    const std::string project = Project(
        "<oscilloscope type='1' amplitude='0.7' frequency='300' period='0.5' typeCarrier='0' modCarrier='1' "
        "amplitudeCarrier='0.4' frequencyCarrier='7' carrier='true'/>"
        "<oscilloscope type='3' amplitude='0.3' frequency='110' period='0.4'/>");
    std::string first;
    for (const char* threads : {"1", "2", "3", "0"}) {
        const ToolRun run = Render(std::string("--threads ") + threads + " " + project + " " + dir.File("out.wav"));
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string wav = ReadFileBytes(dir.File("out.wav"));
        if (first.empty())
            first = wav;
        EXPECT_TRUE(wav == first) << threads << " threads";
    }
    for (const char* bad : {"--threads", "--threads -1", "--threads x", "--threads 257"}) {
        const ToolRun run = Render(std::string(bad) + " " + project + " " + dir.File("out.wav"));
        EXPECT_EQ(run.status, 1) << bad;
        EXPECT_NE(run.err.find("--threads takes a number"), std::string::npos) << bad;
    }
}

TEST_F(RenderTool, IsHeadless)
{
    // Loaded libraries, as the dynamic loader resolves them (libsndfile brings its own codecs,
    // which writing FLAC and Ogg needs); nothing of a screen, a sound device, fonts or images.
    const ToolRun run = [&] {
        ToolRun ldd;
        const std::string out = dir.File("ldd");
        ldd.status = std::system(("ldd " QW_BUILD_DIR "/quillwave-render >" + out + " 2>&1").c_str());
        ldd.out = ReadFileBytes(out);
        return ldd;
    }();
    if (run.status != 0)
        GTEST_SKIP() << "ldd cannot list the tool's libraries here: " << run.out;
    for (const char* library : {"libSDL2", "libGL", "libOpenGL", "libGLU", "libX11", "libwayland", "libfreetype",
                                "libjpeg", "libpng", "libpulse", "libasound", "libvorbisfile"})
        EXPECT_EQ(run.out.find(library), std::string::npos) << library << " in\n" << run.out;
    EXPECT_NE(run.out.find("libexpat"), std::string::npos) << run.out;
}

TEST_F(RenderTool, FailuresGiveOneLineAndStatusOne)
{
    const std::string out = dir.File("out.wav");
    const ToolRun missing = Render(dir.File("none.xml") + " " + out);
    const std::string bad = dir.File("bad.xml");
    WriteFileBytes(bad, "<project><oscilloscope></project>");
    const ToolRun malformed = Render(bad + " " + out);
    const ToolRun unwritable = Render(Project("<oscilloscope/>") + " " + dir.File("no/such/dir/out.wav"));
    const ToolRun usage = Render(bad);
    WriteFileBytes(dir.File("svg.xml"), "<svg><g/></svg>");
    const ToolRun foreign = Render(dir.File("svg.xml") + " " + out);
    EXPECT_EQ(foreign.err, "quillwave-render: cannot read project " + dir.File("svg.xml") + ": not a Quillwave project\n");
    for (const ToolRun* run : {&missing, &malformed, &unwritable, &foreign}) {
        EXPECT_EQ(run->status, 1);
        EXPECT_EQ(run->out, "");
        ASSERT_FALSE(run->err.empty());
        EXPECT_EQ(run->err.find('\n'), run->err.size() - 1) << run->err;
    }
    EXPECT_EQ(usage.status, 1);
    EXPECT_FALSE(std::ifstream(out).good()); // nothing was written

    const ToolRun help = Render("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: quillwave-render"), std::string::npos);
    const ToolRun version = Render("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("quillwave-render ", 0), 0u) << version.out;
}

TEST_F(RenderTool, AFailedWriteSaysWhyAndKeepsTheOldFile)
{
    const std::string out = dir.File("out.wav");
    ASSERT_EQ(Render(Project("<oscilloscope period=\"1\"/>") + " " + out).status, 0);
    const std::string before = ReadFileBytes(out);
    ASSERT_EQ(before.size(), 44u + 88200u);
    // Three seconds of sound (264644 bytes) under a limit of 150 KiB.
    const ToolRun limited = Render(Project("<oscilloscope period=\"3\"/>") + " " + out, "ulimit -f 300; ");
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "quillwave-render: cannot write " + out + ": File too large\n");
    EXPECT_TRUE(ReadFileBytes(out) == before) << "the old sound was damaged";

    std::filesystem::create_directory(dir.File("folder.wav"));
    const ToolRun folder = Render(Project("<oscilloscope/>") + " " + dir.File("folder.wav"));
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "quillwave-render: cannot write " + dir.File("folder.wav") + ": Is a directory\n");
    const ToolRun missing = Render(dir.File("none.xml") + " " + out);
    EXPECT_EQ(missing.err, "quillwave-render: cannot read project " + dir.File("none.xml") +
                               ": No such file or directory\n");
}

// Projects of different lengths and voices, for the tests of many files at once.
const char* const kVoices[] = {
    "<oscilloscope type='1' amplitude='0.7' frequency='300' period='0.5'/>",
    "<oscilloscope type='2' amplitude='0.4' frequency='90' period='0.3'/><oscilloscope period='0.2'/>",
    "<oscilloscope type='3' amplitude='0.2' frequency='20' period='0.8' typeCarrier='0' modCarrier='2' "
    "amplitudeCarrier='0.5' frequencyCarrier='4' carrier='true'/>",
    "<oscilloscope mute='true'/>",
    "<oscilloscope type='0' amplitude='1' frequency='1000' period='0.05'/>",
    "<oscilloscope type='2' amplitude='0.5' frequency='70' period='0.53'/>", // 46745 bytes: 23372 whole samples
};

TEST_F(RenderTool, TheEndingChoosesTheFormatAndFlacHoldsTheWavsSamples)
{
    const std::string project = Project(kVoices[2]);
    ASSERT_EQ(Render(project + " " + dir.File("out.wav")).status, 0);
    const std::vector<int16_t> samples = Samples();
    ASSERT_EQ(samples.size(), 35280u);
    for (const char* name : {"out.flac", "OUT.FLAC"}) {
        const ToolRun run = Render(project + " " + dir.File(name));
        ASSERT_EQ(run.status, 0) << run.err;
        DecodedSound sound;
        ASSERT_TRUE(DecodeSound(dir.File(name), sound));
        EXPECT_EQ(sound.channels, 1);
        EXPECT_EQ(sound.rate, 44100);
        EXPECT_TRUE(sound.samples == samples) << name << " does not decode to the WAV's samples";
    }
    ASSERT_EQ(Render(project + " " + dir.File("out.ogg")).status, 0);
    DecodedSound ogg;
    ASSERT_TRUE(DecodeSound(dir.File("out.ogg"), ogg));
    EXPECT_EQ(ogg.samples.size(), samples.size());
    // --format wins over the ending; a name without an extension is WAV.
    ASSERT_EQ(Render("--format flac " + project + " " + dir.File("flac.wav")).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("flac.wav")).substr(0, 4), "fLaC");
    ASSERT_EQ(Render(project + " " + dir.File("plain")).status, 0);
    EXPECT_TRUE(ReadFileBytes(dir.File("plain")) == ReadFileBytes(dir.File("out.wav")));

    const ToolRun unknown = Render(project + " " + dir.File("out.mp3"));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "quillwave-render: cannot tell the format of " + dir.File("out.mp3") +
                               " from its ending: use .wav, .flac or .ogg, or --format\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.mp3")));
    for (const char* bad : {"--format", "--format mp3", "--format FLAC"}) {
        const ToolRun run = Render(std::string(bad) + " " + project + " " + dir.File("x.wav"));
        EXPECT_EQ(run.status, 1) << bad;
        EXPECT_EQ(run.err, "quillwave-render: --format takes wav, flac or ogg\n") << bad;
    }
}

TEST_F(RenderTool, AFolderOfProjectsIsTheSameWhetherRenderedAtOnceOrOneByOne)
{
    std::string projects;
    std::vector<std::string> names;
    for (size_t i = 0; i < std::size(kVoices); ++i) {
        names.push_back("p" + std::to_string(i));
        projects += " " + Project(kVoices[i], names.back() + ".xml");
    }
    // Each alone, as the reference.
    std::vector<std::string> reference;
    for (const std::string& name : names) {
        ASSERT_EQ(Render(dir.File(name + ".xml") + " " + dir.File(name + ".wav")).status, 0);
        reference.push_back(ReadFileBytes(dir.File(name + ".wav")));
    }
    // One thread (one after another), two (two at once), and more threads than projects (one
    // after another, each on every thread).
    for (const char* threads : {"1", "2", "8"}) {
        const std::string out = dir.File(std::string("out") + threads);
        std::filesystem::create_directory(out);
        const ToolRun run = Render(std::string("-v --threads ") + threads + " -o " + out + projects);
        ASSERT_EQ(run.status, 0) << run.err;
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(ReadFileBytes(out + "/" + names[i] + ".wav") == reference[i]) << names[i] << ", " << threads;
            // -v's lines come in the order the projects were named.
            const size_t line = run.out.find(out + "/" + names[i] + ".wav: ");
            EXPECT_NE(line, std::string::npos) << run.out;
            if (i > 0) {
                EXPECT_GT(line, run.out.find(out + "/" + names[i - 1] + ".wav: ")) << run.out;
            }
        }
    }
    // In FLAC, losslessly the same samples.
    const std::string flac = dir.File("flac");
    std::filesystem::create_directory(flac);
    ASSERT_EQ(Render("--threads 2 --format flac -o " + flac + projects).status, 0);
    for (size_t i = 0; i < names.size(); ++i) {
        DecodedSound sound;
        ASSERT_TRUE(DecodeSound(flac + "/" + names[i] + ".flac", sound)) << names[i];
        EXPECT_TRUE(sound.samples == WavSamples(reference[i])) << names[i];
    }
}

TEST_F(RenderTool, OneFailingProjectInAFolderStopsNoOther)
{
    const std::string good = Project(kVoices[0], "good.xml"), other = Project(kVoices[1], "other.xml");
    WriteFileBytes(dir.File("bad.xml"), "<project><oscilloscope></project>");
    std::filesystem::create_directories(dir.File("sub"));
    const std::string twin = Project(kVoices[4], "sub/good.xml"); // would write out/good.wav again
    const std::string out = dir.File("out");
    std::filesystem::create_directory(out);
    for (const char* threads : {"1", "2"}) {
        const ToolRun run = Render(std::string("--threads ") + threads + " -o " + out + " " + good + " " +
                                   dir.File("bad.xml") + " " + dir.File("none.xml") + " " + twin + " " + other);
        EXPECT_EQ(run.status, 1) << threads;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("quillwave-render: cannot read project " + dir.File("bad.xml") + ": ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("quillwave-render: cannot read project " + dir.File("none.xml") +
                               ": No such file or directory\n"),
                  std::string::npos) << run.err;
        EXPECT_NE(run.err.find(twin + ": another project named before it also writes " + out + "/good.wav\n"),
                  std::string::npos) << run.err;
        EXPECT_NE(run.err.find("quillwave-render: 3 of 5 projects failed\n"), std::string::npos) << run.err;
        EXPECT_TRUE(ReadFileBytes(out + "/good.wav").size() == 44 + 2 * 22050) << "the first good.xml wins";
        EXPECT_TRUE(std::filesystem::exists(out + "/other.wav"));
        EXPECT_FALSE(std::filesystem::exists(out + "/bad.wav"));
        std::filesystem::remove(out + "/good.wav");
        std::filesystem::remove(out + "/other.wav");
    }
    // A folder that is not there fails at once; so do -o without a project and a second -o.
    const ToolRun missing = Render("-o " + dir.File("nowhere") + " " + good);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "quillwave-render: output folder " + dir.File("nowhere") + ": No such file or directory\n");
    EXPECT_EQ(Render("-o " + out).status, 1);
    EXPECT_EQ(Render("-o " + out + " -o " + out + " " + good).status, 1);
    EXPECT_EQ(Render("-o").status, 1);
}

TEST_F(RenderTool, DashWritesToStandardOutputAndAReaderThatGoesAwayIsReported)
{
    const std::string project = Project(kVoices[0]);
    ASSERT_EQ(Render(project + " " + dir.File("out.wav")).status, 0);
    const ToolRun piped = Render("-v " + project + " -");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out == ReadFileBytes(dir.File("out.wav"))) << "standard output holds only the WAV file";
    EXPECT_EQ(piped.err.rfind("-: 0.500 s (22050 samples), 1 voices (1 unmuted)", 0), 0u) << piped.err;
    ASSERT_EQ(Render(project + " " + dir.File("out.ogg")).status, 0);
    const ToolRun ogg = Render("--format ogg " + project + " -");
    EXPECT_TRUE(ogg.out == ReadFileBytes(dir.File("out.ogg")));

    // Ten seconds of sound (882 KB) into a reader that takes 100 bytes and leaves: the tool
    // stops with a message and status 1 instead of dying of SIGPIPE.
    const std::string status = dir.File("status"), err = dir.File("err");
    const std::string command = "(" QW_BUILD_DIR "/quillwave-render " + Project("<oscilloscope period='10'/>") +
                                " - 2>" + err + "; echo $? >" + status + ") | head -c 100 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(status), "1\n");
    EXPECT_EQ(ReadFileBytes(err), "quillwave-render: cannot write to standard output: Broken pipe\n");
}

} // namespace

namespace {

TEST_F(RenderTool, GeneratesASoundAndItsProjectFromACategoryAndSeed)
{
    const std::string a = dir.File("a.wav"), b = dir.File("b.wav"), c = dir.File("c.wav"), project = dir.File("p.xml");
    ASSERT_EQ(Render("--generate laser --seed 1234 --project " + project + " " + a).status, 0);
    ASSERT_EQ(Render("--generate shoot --seed 1234 " + b).status, 0);
    ASSERT_EQ(Render("--generate laser --seed 1235 " + c).status, 0);
    const std::string sound = ReadFileBytes(a);
    EXPECT_GT(sound.size(), 44u + 2u * 4410u);
    EXPECT_EQ(ReadFileBytes(b), sound) << "the same category and seed give the same bytes";
    EXPECT_NE(ReadFileBytes(c), sound);
    // The saved project is the generated sound: rendered, it gives the same bytes.
    EXPECT_NE(ReadFileBytes(project).find("<name>Laser 1234</name>"), std::string::npos);
    ASSERT_EQ(Render(project + " " + dir.File("out.wav")).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out.wav")), sound);
    // --rate renders the same project at 48000 values a second: as long, a header that says so.
    ASSERT_EQ(Render("--rate 48000 " + project + " " + b).status, 0);
    const std::string fast = ReadFileBytes(b);
    ASSERT_GT(fast.size(), 44u);
    EXPECT_EQ(uint8_t(fast[24]) | uint8_t(fast[25]) << 8 | uint8_t(fast[26]) << 16, 48000);
    EXPECT_EQ((fast.size() - 44) * 44100, (sound.size() - 44) * 48000);
    // The existing form still works beside it, and -v reports the generated sound.
    const ToolRun verbose = Render("-v --generate explosion " + a);
    EXPECT_EQ(verbose.status, 0);
    EXPECT_NE(verbose.out.find("voices"), std::string::npos);
}

TEST_F(RenderTool, WrongGenerateOptionsFailWithOneLine)
{
    const std::string out = dir.File("out.wav"), project = Project("<oscilloscope/>");
    const struct {
        std::string arguments;
        int status;
    } rows[] = {
        {"--generate thunder " + out, 1}, {"--generate laser --seed -1 " + out, 1},
        {"--generate laser --seed 4294967296 " + out, 1}, {"--seed 5 " + out, 1},
        {"--project " + dir.File("p.xml") + " " + out, 1}, // the project would be saved over the sound
        {"--generate laser --project " + dir.File("same.wav") + ".xml " + dir.File("same.wav.xml"), 1},
        {"--generate", 1}, {"--generate laser --seed " + out, 1},
        // Rates other than the three, whatever else is right.
        {"--rate 44101 " + project + " " + out, 2}, {"--rate 48000Hz " + project + " " + out, 2},
        {"--rate 4295011396 " + project + " " + out, 2}, {"--generate laser --rate " + out, 2},
    };
    for (const auto& row : rows) {
        const ToolRun run = Render(row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments;
        ASSERT_FALSE(run.err.empty()) << row.arguments;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_FALSE(std::ifstream(out).good()) << "nothing was written";
    EXPECT_EQ(Render("--generate laser " + out + " " + dir.File("x.wav")).status, 1) << "one output only";
}

} // namespace

namespace {

TEST_F(RenderTool, VerboseOutputCountsClippedSamplesAsTheRendererDoes)
{
    const std::string project = Project("<oscilloscope type='0' amplitude='2' frequency='50' period='0.2'/>");
    const ToolRun run = Render("-v " + project + " " + dir.File("out.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    VoiceParams p;
    p.wave.amplitude = 2.0f;
    p.wave.frequency = 50.0f;
    p.wave.period = 0.2f;
    const RenderVoice voice{p, 0.2f};
    CSound reference;
    uint64_t clipped = 0;
    ASSERT_TRUE(RenderMixReference(&voice, 1, reference, 1, 44100, 16, &clipped));
    // |2 sin| > 1 for two thirds of the time.
    EXPECT_NEAR(static_cast<double>(clipped), 8820.0 * 2 / 3, 60.0);
    EXPECT_NE(run.out.find("clipped: " + std::to_string(clipped) + " samples"), std::string::npos) << run.out;
}

TEST_F(RenderTool, VerboseLinesLostToAFullOrClosedStreamFailTheRun)
{
    const std::string tool = QW_BUILD_DIR "/quillwave-render -v " + Project("<oscilloscope period='0.1'/>") + " ";
    const std::string wav = dir.File("out.wav");
    for (const std::string& output : {wav + " >/dev/full 2>/dev/null", wav + " >&- 2>/dev/null",
                                      std::string("- >/dev/null 2>/dev/full"), std::string("- >/dev/null 2>&-")}) {
        const int raw = std::system((tool + output).c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << output;
    }
    // Written beside a closed standard output, the sound is whole: no line went into it.
    EXPECT_EQ(ReadFileBytes(wav).size(), 44u + 8820u);
}

// Runs the tool on the project text with standard error on a terminal of its own and returns
// what the terminal showed. The project comes through a named pipe that is written only once
// the terminal shows waitFor (at most 60 s), or after 1.5 s when waitFor is empty: the run
// lasts over a second however fast the machine is.
std::string ShownOnATerminal(TempDir& dir, const char* option, const std::string& project, const std::string& waitFor)
{
    const std::string fifo = dir.File("slow.xml"), wav = dir.File("out.wav");
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_TRUE(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
    const std::string side = ptsname(terminal);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int tty = open(side.c_str(), O_RDWR), null = open("/dev/null", O_WRONLY);
        dup2(tty, STDERR_FILENO);
        dup2(null, STDOUT_FILENO);
        execl(QW_BUILD_DIR "/quillwave-render", "quillwave-render", option, fifo.c_str(), wav.c_str(), nullptr);
        _exit(127);
    }
    std::string shown;
    auto readFor = [&](std::chrono::milliseconds time, const std::string& until) {
        const auto end = std::chrono::steady_clock::now() + time;
        char buffer[256];
        while (std::chrono::steady_clock::now() < end && (until.empty() || shown.find(until) == std::string::npos)) {
            pollfd ready{terminal, POLLIN, 0};
            if (poll(&ready, 1, 100) > 0) {
                const ssize_t n = read(terminal, buffer, sizeof buffer);
                if (n <= 0)
                    break; // the tool has ended and closed the terminal
                shown.append(buffer, static_cast<size_t>(n));
            }
        }
    };
    readFor(std::chrono::milliseconds(waitFor.empty() ? 1500 : 60000), waitFor);
    WriteFileBytes(fifo, project);
    readFor(std::chrono::milliseconds(60000), "");
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    close(terminal);
    return shown;
}

TEST_F(RenderTool, ARunOverASecondShowsProgressOnATerminalOnly)
{
    const std::string project = "<project><oscilloscope period='0.1'/></project>";
    const std::string line = "\rquillwave-render: rendering " + dir.File("slow.xml") + ", ";
    const std::string shown = ShownOnATerminal(dir, "--", project, line);
    EXPECT_NE(shown.find(line), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\033[K"), std::string::npos) << "the line is erased at the end";
    std::filesystem::remove(dir.File("slow.xml"));
    EXPECT_EQ(ShownOnATerminal(dir, "-q", project, ""), "");
    // Standard error in a file: no line either.
    const std::string fifo = dir.File("slow.xml"), source = dir.File("p.xml");
    WriteFileBytes(source, project);
    const ToolRun run = Render(fifo + " " + dir.File("out.wav"), "(sleep 1.5; cat " + source + " >" + fifo + ") & ");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

} // namespace
