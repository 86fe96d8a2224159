// The main oscillator's stages, listened to: each row renders one voice in sample order and
// measures what a user would hear (pitch from zero crossings, levels, the square's share,
// filter gains, and aliasing by a DFT whose bins fall on the harmonics); and the stages'
// attributes through both project readers.
#include "synth/Project.h"
#include "synth/VoiceStages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

struct Sound {
    std::vector<double> v;
    double rate;
    uint32_t At(double t) const { return static_cast<uint32_t>(t * rate); }
    // Upward zero crossings in [from, to), interpolated, in seconds.
    std::vector<double> Crossings(double from, double to) const
    {
        std::vector<double> c;
        for (uint32_t i = At(from) + 1; i < At(to); ++i)
            if (v[i - 1] < 0.0 && v[i] >= 0.0)
                c.push_back((i - 1 + v[i - 1] / (v[i - 1] - v[i])) / rate);
        return c;
    }
    double Pitch(double from, double to) const
    {
        const std::vector<double> c = Crossings(from, to);
        return (c.size() - 1) / (c.back() - c.front());
    }
    double HighestPitch(double from, double to) const
    {
        const std::vector<double> c = Crossings(from, to);
        double high = 0.0;
        for (size_t i = 1; i < c.size(); ++i)
            high = std::max(high, 1.0 / (c[i] - c[i - 1]));
        return high;
    }
    template <typename F>
    double Over(double from, double to, F f) const
    {
        double r = 0.0;
        for (uint32_t i = At(from); i < At(to); ++i)
            r = f(r, v[i], i);
        return r;
    }
    double Peak(double a, double b) const { return Over(a, b, [](double r, double x, uint32_t) { return std::max(r, std::fabs(x)); }); }
    double Share(double a, double b) const { return Over(a, b, [](double r, double x, uint32_t) { return r + (x > 0.0); }) / (At(b) - At(a)); }
    double Rms(double a, double b) const { return std::sqrt(Over(a, b, [](double r, double x, uint32_t) { return r + x * x; }) / (At(b) - At(a))); }
    double Jump(double a, double b) const { return Over(a, b, [&](double r, double x, uint32_t i) { return std::max(r, std::fabs(x - v[i - 1])); }); }
    // Energy off the harmonics of f over that under them, in dB, from a DFT of the 0.1 s from 0.1 s.
    double Aliasing(double f) const
    {
        const uint32_t n = At(0.1), start = At(0.1);
        const uint32_t every = static_cast<uint32_t>(std::lround(f * n / rate));
        double on = 0.0, off = 0.0;
        for (uint32_t k = 1; k <= n / 2; ++k) {
            double re = 0.0, im = 0.0;
            for (uint32_t i = 0; i < n; ++i) {
                const double w = 2.0 * M_PI * double(uint64_t(k) * i % n) / n;
                re += v[start + i] * std::cos(w);
                im += v[start + i] * std::sin(w);
            }
            (k % every == 0 ? on : off) += re * re + im * im;
        }
        return 10.0 * std::log10(off / on);
    }
};

Sound Render(const VoiceParams& p, double seconds, double rate = 44100.0)
{
    Sound s{std::vector<double>(static_cast<size_t>(seconds * rate)), rate};
    CVoiceRun(p, 1.0 / rate).Run(s.v.data(), static_cast<uint32_t>(s.v.size()));
    return s;
}

struct Row {
    const char* what;
    std::function<void(VoiceParams&, VoiceStages&)> set;
    double seconds;
    std::function<void(const Sound&)> check;
    double rate = 44100.0;
};

TEST(Stages, EachStageSoundsAsItsRowSays)
{
    const double vibratoTop = 440.0 * (1.0 + (std::exp2(1.0 / 12) - std::exp2(-1.0 / 12)) / 2.0);
    const Row rows[] = {
        {"exponential glide: the geometric mean half-way, then holds",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 200; s.frequencyEnd = 800; }, 1.5,
         [](const Sound& s) { EXPECT_NEAR(s.Pitch(0.45, 0.55), 400, 3); EXPECT_NEAR(s.Pitch(1.1, 1.4), 800, 0.5); }},
        {"linear glide: the arithmetic mean half-way",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 200; s.frequencyEnd = 800; s.glide = GlideLinear; }, 1,
         [](const Sound& s) { EXPECT_NEAR(s.Pitch(0.45, 0.55), 500, 3); }},
        {"vibrato swings as far at 10 s as at 0 s",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 440; s.vibratoDepth = 1; s.vibratoRate = 5; s.span = 11; }, 11,
         [&](const Sound& s) {
             EXPECT_NEAR(s.HighestPitch(0, 1), vibratoTop, 2);
             EXPECT_NEAR(s.HighestPitch(10, 11), s.HighestPitch(0, 1), 0.5);
         }},
        {"arpeggio jumps an octave without a click",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 300; s.arpeggio = 12; s.arpeggioTime = 0.25f; }, 0.5,
         [](const Sound& s) {
             EXPECT_NEAR(s.Pitch(0.1, 0.24), 300, 0.5);
             EXPECT_NEAR(s.Pitch(0.26, 0.4), 600, 0.5);
             EXPECT_LT(s.Jump(0.2, 0.3), 2 * M_PI * 600 / 44100 * 1.01);
         }},
        {"repeat starts the pitch path over",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 200; s.frequencyEnd = 800; s.repeat = 0.25f; }, 1,
         [](const Sound& s) { EXPECT_NEAR(s.Pitch(0.3, 0.35), s.Pitch(0.05, 0.1), 0.5); EXPECT_NEAR(s.Pitch(0.8, 0.85), s.Pitch(0.05, 0.1), 0.5); }},
        {"duty: the square's high share, swept over the length",
         [](VoiceParams& p, VoiceStages& s) { p.wave.type = Square; p.wave.frequency = 100; s.duty = 0.25f; s.dutyEnd = 0.75f; }, 1,
         [](const Sound& s) { EXPECT_NEAR(s.Share(0, 0.1), 0.275, 0.01); EXPECT_NEAR(s.Share(0.9, 1), 0.725, 0.01); }},
        {"tremolo: the level between full and 1 - depth, never louder",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 440; s.tremoloDepth = 0.5f; s.tremoloRate = 4; }, 1,
         [](const Sound& s) { EXPECT_LE(s.Peak(0, 1), 1.0); EXPECT_NEAR(s.Peak(0.12, 0.13), 0.5, 0.01); EXPECT_NEAR(s.Peak(0.24, 0.26), 1, 0.01); }},
        {"low-pass cuts two octaves over its cutoff by 24 dB",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 4000; s.lowpass = 1000; }, 1,
         [](const Sound& s) { EXPECT_LT(s.Rms(0.5, 1), 0.707 * 0.07); }},
        {"low-pass keeps what lies under its cutoff",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 200; s.lowpass = 1000; }, 1,
         [](const Sound& s) { EXPECT_NEAR(s.Rms(0.5, 1), 0.707, 0.03); }},
        {"full resonance peaks at the cutoff and stays bounded, even at the top of a low rate",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 10780; s.lowpass = 20000; s.resonance = 1; }, 1,
         [](const Sound& s) { EXPECT_GT(s.Peak(0.5, 1), 3); EXPECT_LT(s.Peak(0, 1), 100); }, 22050},
        {"high-pass cuts under its cutoff",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 100; s.highpass = 1000; }, 1,
         [](const Sound& s) { EXPECT_LT(s.Rms(0.5, 1), 0.707 * 0.02); }},
        {"a low-pass swept up opens over the length",
         [](VoiceParams& p, VoiceStages& s) { p.wave.frequency = 2000; s.lowpass = 200; s.lowpassEnd = 20000; }, 1,
         [](const Sound& s) { EXPECT_LT(s.Rms(0.05, 0.1), 0.1); EXPECT_NEAR(s.Rms(0.9, 1), 0.707, 0.05); }},
        {"naive sawtooth at 2000 Hz aliases",
         [](VoiceParams& p, VoiceStages&) { p.wave.type = Sawtooth; p.wave.frequency = 2000; }, 0.2,
         [](const Sound& s) { EXPECT_GT(s.Aliasing(2000), -40); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        VoiceParams p;
        row.set(p, p.stages);
        row.check(Render(p, row.seconds, row.rate));
    }
    for (int32_t type : {Sawtooth, Square, Triangle}) {
        VoiceParams p;
        p.wave = {type, 1.0f, 0.0f, 2000.0f, 1.0f, 0.0f, 0};
        p.stages.bandLimited = true;
        p.stages.duty = p.stages.dutyEnd = 0.3f;
        EXPECT_LT(Render(p, 0.2).Aliasing(2000), -40) << "band-limited type " << type;
    }
}

TEST(Stages, AttributesRoundTripThroughBothReadersAndBadValuesAreClampedOrOff)
{
    CVoiceModel voice;
    for (int32_t i = 0; i < StageValueCount; ++i)
        voice.SetStage(i, 0.3f + i);
    voice.SetGlide(GlideLinear);
    voice.SetBandLimited(true);
    CXMLDocument doc;
    const CVoiceModel* list[] = {&voice};
    BuildProjectDocument(doc, "stages", list);
    const std::string text = ProjectDocumentText(doc);
    ProjectContents read;
    String reason;
    ASSERT_TRUE(ReadProjectText(text.data(), text.size(), read, reason));
    ASSERT_EQ(read.voices.size(), 1u);
    EXPECT_TRUE(read.voices[0] == voice.GetState());
    CXMLDocument tree;
    ASSERT_TRUE(tree.Parse(text.c_str()));
    CVoiceModel again;
    ApplyProjectDocument(tree, [&] { return &again; });
    EXPECT_TRUE(again.GetState() == voice.GetState());
    const std::string none = "<project format=\"2\"><oscilloscope/></project>";
    ASSERT_TRUE(ReadProjectText(none.data(), none.size(), read, reason));
    VoiceState off = read.voices[0];
    off.params.stages = VoiceStages();
    EXPECT_TRUE(read.voices[0] == off); // absent: off
    const std::string bad = "<project format=\"2\"><oscilloscope vibratoDepth=\"nan\" frequencyEnd=\"1e999\" "
                            "duty=\"-3\" arpeggio=\"-inf\" lowpass=\"x\"/></project>";
    ASSERT_TRUE(ReadProjectText(bad.data(), bad.size(), read, reason));
    const VoiceStages& s = read.voices[0].params.stages;
    EXPECT_EQ(s.vibratoDepth, 0.0f);
    EXPECT_EQ(s.frequencyEnd, 20000.0f);
    EXPECT_EQ(s.duty, 0.01f);
    EXPECT_EQ(s.dutyEnd, 0.01f); // absent: as duty
    EXPECT_EQ(s.arpeggio, 0.0f);
    EXPECT_EQ(s.lowpass, 0.0f);
}

} // namespace
