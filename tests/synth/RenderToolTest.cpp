// The command-line renderer end to end, run as a subprocess: its WAV files checked sample by
// sample against the voice formulas evaluated here, and its errors and exit statuses.
#include "synth/RenderKernel.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    std::string Project(const std::string& voices)
    {
        const std::string path = dir.File("p.xml");
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

TEST_F(RenderTool, FailuresGiveOneLineAndStatusOne)
{
    const std::string out = dir.File("out.wav");
    const ToolRun missing = Render(dir.File("none.xml") + " " + out);
    const std::string bad = dir.File("bad.xml");
    WriteFileBytes(bad, "<project><oscilloscope></project>");
    const ToolRun malformed = Render(bad + " " + out);
    const ToolRun unwritable = Render(Project("<oscilloscope/>") + " " + dir.File("no/such/dir/out.wav"));
    const ToolRun usage = Render(bad);
    for (const ToolRun* run : {&missing, &malformed, &unwritable}) {
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

} // namespace
