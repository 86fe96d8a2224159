// Project files: the exact saved text, values as shown, loading through the sliders (clamping
// and rounding), tolerated and odd documents, the save path rule and the sound export. The
// voices are models; each gets a panel that views it, where a test looks at what it shows.
#include "app/Oscilloscope.h"
#include "synth/Project.h"
#include "sound/Wav.h"

#include "support/DecodeSound.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

class Project : public ::testing::Test {
protected:
    COscilloscope& AddVoice()
    {
        models.push_back(std::make_unique<CVoiceModel>());
        voices.push_back(models.back().get());
        panels.push_back(std::make_unique<COscilloscope>(*models.back()));
        panels.back()->Setup(templates.Get());
        return *panels.back();
    }
    // Loads text as the program opens a file; returns the project name.
    std::string Load(const char* text)
    {
        panels.clear();
        voices.clear();
        models.clear();
        CXMLDocument doc;
        EXPECT_TRUE(doc.Parse(text));
        return ApplyProjectDocument(doc, [this]() { return &AddVoice().Model(); }).CStr();
    }
    std::string Saved(const char* name = "New Project")
    {
        const std::string path = dir.File("p.xml");
        EXPECT_TRUE(SaveProjectFile(path.c_str(), name, voices));
        return ReadFileBytes(path);
    }
    std::string Attribute(uint32_t voice, const char* name)
    {
        CXMLDocument doc;
        BuildProjectDocument(doc, "", voices);
        return doc.GetChild(voice + 1)->GetAttributeString(name).CStr();
    }

    TempDir dir;
    CStockTemplates templates;
    std::vector<std::unique_ptr<CVoiceModel>> models;
    std::vector<CVoiceModel*> voices;
    std::vector<std::unique_ptr<COscilloscope>> panels; // panels[i] views voices[i]
};

TEST_F(Project, StartUpProjectIsSavedExactly)
{
    AddVoice();
    EXPECT_EQ(Saved(),
              "<?xml version=\"1.0\"?>\n\n<project format=\"2\">\n\t<name>New Project</name>\n"
              "\t<oscilloscope type=\"0\" amplitude=\"1\" amplitudeOffset=\"0\" frequency=\"4\" "
              "period=\"1\" phase=\"0\" attack=\"0\" decay=\"0.5\" sustain=\"0.5\" hold=\"0.5\" "
              "release=\"0.1\" typeCarrier=\"0\" modCarrier=\"1\" amplitudeCarrier=\"1\" "
              "amplitudeOffsetCarrier=\"0\" frequencyCarrier=\"1\" periodCarrier=\"1\" "
              "phaseCarrier=\"0\" envelope=\"false\" carrier=\"false\" loop=\"true\" mute=\"false\" "
              "seed=\"0\" />\n"
              "</project>");
}

TEST_F(Project, TheNoiseSeedIsSavedLastAndLoadsBack)
{
    Load("<project><oscilloscope type='4' amplitude='1' frequency='500' period='0.1' seed='4294967295'/>"
         "<oscilloscope type='4' amplitude='1' frequency='500' period='0.1' seed='17'/></project>");
    ASSERT_EQ(voices.size(), 2u);
    EXPECT_EQ(voices[0]->GetSeed(), 4294967295u);
    EXPECT_EQ(voices[1]->GetSeed(), 17u);
    EXPECT_TRUE(panels[0]->WaveBox(Noise).IsDown());
    EXPECT_EQ(Attribute(0, "seed"), "4294967295");
    CXMLDocument doc;
    BuildProjectDocument(doc, "", voices);
    const CXMLNode& element = *doc.GetChild(1);
    ASSERT_EQ(element.GetAttributeCount(), 23u);
    EXPECT_STREQ(element.GetAttribute(22)->name.CStr(), "seed");
    EXPECT_STREQ(element.GetAttribute(21)->name.CStr(), "mute");
    // Different seeds play different noise.
    bool differ = false;
    for (int i = 0; i < 50 && !differ; ++i)
        differ = voices[0]->SampleVoice(i * 0.002) != voices[1]->SampleVoice(i * 0.002);
    EXPECT_TRUE(differ);
}

TEST_F(Project, FilesWithoutASeedLoadWithSeedZeroAndBadSeedsReadAsZero)
{
    Load("<project><oscilloscope type='4' amplitude='1' frequency='500' period='0.1'/>"
         "<oscilloscope seed='-3'/><oscilloscope seed='4294967296'/><oscilloscope seed='12x'/>"
         "<oscilloscope seed=''/><oscilloscope seed=' 5'/></project>");
    ASSERT_EQ(voices.size(), 6u);
    for (CVoiceModel* voice : voices)
        EXPECT_EQ(voice->GetSeed(), 0u);
    // A file from before noise: type 4 was silence there and is noise now, seeded 0.
    CVoiceModel fresh;
    fresh.SetWaveType(Noise);
    fresh.SetSlider(ValueFrequency, 500.0f);
    double energy = 0.0;
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(voices[0]->SampleVoice(i * 0.001), fresh.SampleVoice(i * 0.001));
        energy += voices[0]->SampleVoice(i * 0.001) * voices[0]->SampleVoice(i * 0.001);
    }
    EXPECT_GT(energy, 10.0);
    uint32_t seed = 9;
    EXPECT_TRUE(ParseSeed("0", seed) && seed == 0u);
    EXPECT_TRUE(ParseSeed("4294967295", seed) && seed == 4294967295u);
    for (const char* bad : {"", "-1", "4294967296", "99999999999999999999", "1.5", "+2", "0x10"})
        EXPECT_FALSE(ParseSeed(bad, seed)) << bad;
}

TEST_F(Project, TypedValuesAreSavedExactly)
{
    COscilloscope& voice = AddVoice();
    voice.ValueBox(ValueAmplitude).SetText("0.126");
    voice.ValueBox(ValueAmplitude).onChange.Emit(String("0.126"));
    voice.ValueBox(ValueFrequency).SetText("440.6");
    voice.ValueBox(ValueFrequency).onChange.Emit(String("440.6"));
    voice.ValueBox(ValueOffset).SetText("-0");
    voice.ValueBox(ValueOffset).onChange.Emit(String("-0"));
    EXPECT_EQ(Attribute(0, "amplitude"), "0.126");
    EXPECT_EQ(Attribute(0, "amplitudeOffset"), "0");
    EXPECT_EQ(Attribute(0, "frequency"), "440.6");
}

TEST_F(Project, LoadingGoesThroughTheSlidersAndRoundTrips)
{
    const std::string name = Load(
        "<project><name>Rock &#38; Roll</name>"
        "<oscilloscope type='3' amplitude='9' amplitudeOffset='-0.25' frequency='5000' period='0.5' "
        "attack='0.1' decay='0.2' sustain='0.3' hold='0.4' release='0.05' typeCarrier='2' modCarrier='0' "
        "amplitudeCarrier='0.01' frequencyCarrier='440.4' envelope='true' carrier='TRUE' loop='0' mute='1'/>"
        "<oscilloscope frequency='440.6' frequencyCarrier='-3'/></project>");
    EXPECT_EQ(name, "Rock & Roll");
    ASSERT_EQ(voices.size(), 2u);
    COscilloscope& a = *panels[0];
    EXPECT_EQ(a.GetShown(ValueAmplitude), 4.0f);
    EXPECT_EQ(a.GetWave().frequency, 2000.0f);
    EXPECT_EQ(a.GetCarrier().frequency, 440.0f);
    EXPECT_TRUE(a.WaveBox(Square).IsDown());
    EXPECT_TRUE(a.CarrierWaveBox(Sawtooth).IsDown());
    EXPECT_EQ(a.GetModulation(), AM);
    EXPECT_TRUE(a.IsEnvelopeOn() && a.IsCarrierOn() && a.IsMuted());
    EXPECT_FALSE(a.IsLoopOn());
    EXPECT_EQ(a.GetHeight(), 274.0f);
    EXPECT_EQ(a.GetWave().period, EnvelopeLength(a.GetEnvelope())); // the envelope fixes it
    EXPECT_EQ(voices[1]->GetWave().frequency, 441.0f);
    EXPECT_EQ(voices[1]->GetCarrier().frequency, 0.0f);

    // Saving what was loaded and loading it again gives the same file.
    const std::string first = Saved("Rock & Roll");
    EXPECT_NE(first.find("<name>Rock &#38; Roll</name>"), std::string::npos);
    EXPECT_EQ(Load(first.c_str()), "Rock & Roll");
    EXPECT_EQ(Saved("Rock & Roll"), first);
}

TEST_F(Project, ForeignRootsAndElementsAreTolerated)
{
    EXPECT_EQ(Load("<song><oscilloscope/><junk type='1'/><oscilloscope/><name>x</name><oscilloscope/></song>"),
              "x");
    EXPECT_EQ(voices.size(), 3u);
    EXPECT_EQ(Load("<project/>"), "");
    EXPECT_TRUE(voices.empty());
}

TEST(ProjectModels, EveryElementLoadsWithoutAnyPanel)
{
    // Far beyond the thousand-odd voices that once were the limit: models cost little.
    std::string text = "<project>";
    for (uint32_t i = 0; i < 5000; ++i)
        text += "<oscilloscope amplitude='0.5' frequency='" + std::to_string(i % 2000) + "'/>";
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse((text + "</project>").c_str()));
    std::vector<std::unique_ptr<CVoiceModel>> voices;
    ApplyProjectDocument(doc, [&voices]() {
        voices.push_back(std::make_unique<CVoiceModel>());
        return voices.back().get();
    });
    ASSERT_EQ(voices.size(), 5000u);
    EXPECT_EQ(voices[4999]->GetWave().frequency, 999.0f);
    EXPECT_EQ(voices[4999]->GetShown(ValueAmplitude), 0.5f);
    uint32_t asked = 0;
    ApplyProjectDocument(doc, [&asked]() -> CVoiceModel* {
        ++asked;
        return nullptr; // a null voice skips the element
    });
    EXPECT_EQ(asked, 5000u);
}

template <class VoiceList>
std::string Mix(const VoiceList& voices)
{
    CSound mix;
    RenderVoices(voices, mix, kMixChannels, kMixRate, kMixBits);
    return std::string(reinterpret_cast<const char*>(mix.GetData()), mix.GetDataSize());
}

TEST(ProjectModels, RandomEditsSaveAndReopenToTheSameSoundAndTheSameFile)
{
    std::mt19937 random(1009);
    const float awkward[] = {261.63f, 0.003f, 1e-7f, -0.004f, 0.126f, 9.99f, 4.5f, -7.0f, 1e30f, 2000.5f};
    const int32_t lengths[] = {ValuePeriod, ValueDecay, ValueHold, ValueRelease, ValueAttack};
    for (int sequence = 0; sequence < 200; ++sequence) {
        std::vector<std::unique_ptr<CVoiceModel>> voices(1 + random() % 3), reopened;
        for (auto& voice : voices) {
            voice = std::make_unique<CVoiceModel>();
            // Lengths first, none above a quarter of a second (quick mixes); then any edit.
            for (int32_t edit = -4; edit < 12; ++edit) {
                const int32_t value = edit < 0 ? lengths[edit + 4] : random() % VoiceValueCount;
                float min, max;
                CVoiceModel::GetRange(value, min, max);
                float typed = random() % 3 ? std::uniform_real_distribution<float>(min - 50, max + 50)(random) / 100
                                           : awkward[random() % std::size(awkward)];
                if (std::count(lengths, lengths + 5, value))
                    typed = std::min(typed / 20, 0.25f);
                switch (edit < 0 ? 1 : random() % 4) {
                case 0: voice->SetTyped(value, typed); break;
                case 1: voice->SetSlider(value, 100 * typed); break;
                case 2: voice->SetWaveType(random() % 6), voice->SetCarrierType(random() % 6), voice->SetSeed(random()); break;
                default: voice->SetEnvelopeOn(random() % 2), voice->SetCarrierOn(random() % 2), voice->SetMute(random() % 5 == 0),
                         voice->SetModulation(random() % 3);
                }
            }
        }
        // Master settings from a generator of their own, so the voices stay those of before.
        std::mt19937 other(static_cast<uint32_t>(sequence));
        const MixMaster master = sequence % 4 == 0 ? MixMaster()
                                                   : ClampMaster({std::uniform_real_distribution<float>(-60, 30)(other),
                                                                  other() % 2 == 0,
                                                                  std::uniform_real_distribution<float>(-5, 60)(other),
                                                                  other() % 2 == 0});
        // The saved text kept in memory: a file save syncs the disk, slower than all the rest.
        CXMLDocument doc;
        BuildProjectDocument(doc, "p", voices, master);
        const std::string saved = ProjectDocumentText(doc);
        ASSERT_TRUE(doc.Parse(saved.c_str()));
        ApplyProjectDocument(doc, [&]() { return reopened.emplace_back(std::make_unique<CVoiceModel>()).get(); });
        ASSERT_TRUE(Mix(reopened) == Mix(voices)) << sequence << "\n" << saved;
        ASSERT_TRUE(ReadMasterAttributes(doc) == master) << sequence << "\n" << saved;
        BuildProjectDocument(doc, "p", reopened, ReadMasterAttributes(doc));
        ASSERT_EQ(ProjectDocumentText(doc), saved) << sequence;
    }
}

// The root's master attributes: what each text reads as (clamped, or absent when malformed),
// what a save writes for it, and that the streamed reader agrees.
TEST(ProjectMaster, RootAttributesReadClampedAndSaveBack)
{
    const struct {
        const char* attributes;
        MixMaster expected;
        const char* written; // the root's attributes after format="2"
    } rows[] = {
        {"", {}, ""},
        {" gain=\"-6.5\" normalize=\"true\" fade=\"2\" mix=\"sum\"", {-6.5f, true, 2.0f, true},
         " gain=\"-6.5\" normalize=\"true\" fade=\"2\" mix=\"sum\""},
        {" gain=\"100\" fade=\"-3\"", {24.0f, false, 0.0f, false}, " gain=\"24\""},
        {" gain=\"1e999\" fade=\"77ms\"", {24.0f, false, 50.0f, false}, " gain=\"24\" fade=\"50\""},
        {" gain=\"loud\" fade=\"nan\" normalize=\"yes\" mix=\"both\"", {}, ""},
        {" gain=\"0.1\" mix=\"SUM\" normalize=\"TRUE\" mix2=\"average\"", {0.1f, true, 0.0f, true},
         " gain=\"0.1\" normalize=\"true\" mix=\"sum\""},
    };
    for (const auto& row : rows) {
        const std::string text = std::string("<project format=\"2\"") + row.attributes + "><oscilloscope/></project>";
        ProjectContents streamed;
        String reason;
        ASSERT_TRUE(ReadProjectText(text.data(), text.size(), streamed, reason)) << row.attributes;
        EXPECT_TRUE(streamed.master == row.expected) << row.attributes;
        CXMLDocument doc;
        BuildProjectDocument(doc, "p", std::vector<CVoiceModel*>(), streamed.master);
        const std::string saved = ProjectDocumentText(doc);
        EXPECT_NE(saved.find(std::string("<project format=\"2\"") + row.written + ">"), std::string::npos) << saved;
    }
}

// Files without the mark render the samples they did before it existed, for an odd byte count
// (1.05 s, whose half sample is no longer made) and an even one.
TEST_F(Project, FilesWithoutTheMarkRenderTheSamplesTheyAlwaysDid)
{
    const std::pair<const char*, uint64_t> rows[] = { // a voice, FNV-1a of the samples
        {"<oscilloscope type='4' amplitude='1' frequency='900' period='1.05' seed='77'/>", 0x186fd7ce8c7eeccb},
        {"<oscilloscope amplitude='0.126' amplitudeOffset='-0.004' frequency='440.6' period='1' phase='0.333'/>",
         0x21f0b85923a274d8}};
    for (const auto& [element, expected] : rows) {
        Load(("<project>" + std::string(element) + "</project>").c_str());
        uint64_t hash = 0xcbf29ce484222325;
        for (const char byte : Mix(voices))
            hash = (hash ^ static_cast<uint8_t>(byte)) * 0x100000001b3;
        EXPECT_EQ(hash, expected) << element;
    }
}

TEST_F(Project, ModelsAloneLoadAndSaveAsTheyDoWithPanels)
{
    const char* text =
        "<project><name>n</name>"
        "<oscilloscope type='2' amplitude='0.126' amplitudeOffset='-0.004' frequency='440.6' period='12' "
        "phase='0.333' attack='0.015' decay='2' sustain='0.5' hold='0.25' release='0.125' typeCarrier='1' "
        "modCarrier='2' amplitudeCarrier='0.05' frequencyCarrier='7.5' periodCarrier='0.5' envelope='true' "
        "carrier='true' loop='false'/>"
        "<oscilloscope type='9' amplitude='-1' frequency='2000.5' mute='true' envelope='false'/></project>";
    Load(text);
    const std::string withPanels = Saved("n");

    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    std::vector<std::unique_ptr<CVoiceModel>> alone;
    ApplyProjectDocument(doc, [&alone]() {
        alone.push_back(std::make_unique<CVoiceModel>());
        return alone.back().get();
    });
    const std::string path = dir.File("alone.xml");
    ASSERT_TRUE(SaveProjectFile(path.c_str(), "n", alone));
    EXPECT_EQ(ReadFileBytes(path), withPanels);
    ASSERT_EQ(alone.size(), voices.size());
    for (size_t i = 0; i < alone.size(); ++i) {
        EXPECT_EQ(alone[i]->GetLength(), voices[i]->GetLength()) << i;
        for (double t : {0.0, 0.01, 0.37})
            EXPECT_EQ(alone[i]->SampleVoice(t), voices[i]->SampleVoice(t)) << i << " " << t;
    }
}

TEST_F(Project, PanelMadeForALoadedVoiceShowsIt)
{
    std::vector<std::unique_ptr<CVoiceModel>> loaded;
    CXMLDocument doc;
    ASSERT_TRUE(doc.Parse("<project><oscilloscope type='1' amplitude='0.126' frequency='3000' typeCarrier='3' "
                          "modCarrier='0' envelope='true' carrier='true' mute='true'/></project>"));
    ApplyProjectDocument(doc, [&loaded]() {
        loaded.push_back(std::make_unique<CVoiceModel>());
        return loaded.back().get();
    });
    loaded[0]->SetTyped(ValueCarrierFrequency, 440.6f);
    COscilloscope panel(*loaded[0]);
    panel.Setup(templates.Get());
    EXPECT_EQ(std::string(panel.ValueBox(ValueAmplitude).GetText().CStr()), "0.13");
    EXPECT_EQ(std::string(panel.ValueBox(ValueFrequency).GetText().CStr()), "2000");
    EXPECT_EQ(std::string(panel.ValueBox(ValueCarrierFrequency).GetText().CStr()), "440.6");
    EXPECT_EQ(panel.Slider(ValueAmplitude).GetValue(), 100.0f * 0.126f);
    EXPECT_TRUE(panel.WaveBox(Triangle).IsDown() && !panel.WaveBox(Sine).IsDown());
    EXPECT_TRUE(panel.CarrierWaveBox(Square).IsDown() && panel.ModulationBox(AM).IsDown());
    EXPECT_TRUE(panel.EnvelopeBox().IsDown() && panel.CarrierBox().IsDown() && panel.MuteBox().IsDown());
    EXPECT_FALSE(panel.LoopBox().IsDown());
    EXPECT_EQ(panel.GetHeight(), 274.0f);
}

TEST_F(Project, MissingAttributesReadAsZeroOrFalse)
{
    Load("<project><oscilloscope/></project>");
    ASSERT_EQ(voices.size(), 1u);
    const COscilloscope& v = *panels[0];
    EXPECT_EQ(v.GetWave().amplitude, 0.0f);
    EXPECT_EQ(v.GetWave().frequency, 0.0f);
    EXPECT_EQ(v.GetLength(), 0.0f);
    EXPECT_FALSE(v.IsLoopOn());
    EXPECT_EQ(v.GetModulation(), AM);
    EXPECT_EQ(v.GetEnvelope().release, 0.0f);
}

TEST_F(Project, OutOfRangeTypesAndModesLoadAsIsAndSilence)
{
    Load("<project><oscilloscope type='7' amplitude='1' frequency='3' period='1' typeCarrier='-1' "
         "modCarrier='9'/></project>");
    COscilloscope& v = *panels[0];
    EXPECT_EQ(v.GetWaveType(), 7);
    EXPECT_EQ(v.GetCarrierType(), -1);
    for (int32_t type = 0; type < 5; ++type)
        EXPECT_FALSE(v.WaveBox(type).IsDown() || v.CarrierWaveBox(type).IsDown());
    EXPECT_EQ(v.GetModulation(), FM); // reported as FM with no mode box checked
    EXPECT_EQ(Attribute(0, "type"), "7");
    EXPECT_EQ(Attribute(0, "modCarrier"), "1");
    EXPECT_EQ(v.SampleVoice(0.1), 0.0);
}

TEST(ProjectPath, AppendsXmlUnlessThePathHasIt)
{
    EXPECT_EQ(ProjectSavePath("/home/u/tune"), "/home/u/tune.xml");
    EXPECT_EQ(ProjectSavePath("tune.xml"), "tune.xml");
    EXPECT_EQ(ProjectSavePath("TUNE.XML"), "TUNE.XML");
    EXPECT_EQ(ProjectSavePath("tune.xm"), "tune.xm.xml");
    EXPECT_EQ(ProjectSavePath("xml"), "xml.xml");
    EXPECT_EQ(ProjectSavePath(""), "");
}

TEST_F(Project, SilentMixIsSavedAsAValidEmptyWav)
{
    AddVoice().SetMute(true);
    CSound mix;
    const std::string path = dir.File("s.wav");
    ASSERT_TRUE(SaveSoundFile(path.c_str(), voices, mix));
    EXPECT_EQ(ReadFileBytes(path).size(), 44u);
    WavInfo info;
    std::free(ReadWav(info, path.c_str()));
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.dataSize, 0);

    // An empty project does not save the previous render again.
    voices[0]->SetMute(false);
    ASSERT_TRUE(SaveSoundFile(path.c_str(), voices, mix));
    EXPECT_EQ(ReadFileBytes(path).size(), 44u + 88200u);
    voices.clear();
    ASSERT_TRUE(SaveSoundFile(path.c_str(), voices, mix));
    EXPECT_EQ(ReadFileBytes(path).size(), 44u);
}

TEST_F(Project, TheSoundFilesEndingChoosesItsFormat)
{
    AddVoice();
    AddVoice().Model().SetTyped(ValueFrequency, 330.0f);
    CSound mix;
    const std::string wav = dir.File("mix.wav"), flac = dir.File("mix.FLAC"), ogg = dir.File("mix.ogg");
    ASSERT_TRUE(SaveSoundFile(wav.c_str(), voices, mix));
    ASSERT_TRUE(SaveSoundFile(flac.c_str(), voices, mix));
    ASSERT_TRUE(SaveSoundFile(ogg.c_str(), voices, mix));
    const std::vector<int16_t> samples = WavSamples(ReadFileBytes(wav));
    ASSERT_EQ(samples.size(), 44100u);
    DecodedSound decoded;
    ASSERT_TRUE(DecodeSound(flac, decoded));
    EXPECT_TRUE(decoded.samples == samples) << "FLAC is lossless";
    ASSERT_TRUE(DecodeSound(ogg, decoded));
    EXPECT_EQ(decoded.samples.size(), samples.size());

    // An ending of no known format renders and writes nothing.
    mix.Release();
    int error = 0;
    EXPECT_FALSE(SaveSoundFile(dir.File("mix.mp3").c_str(), voices, mix, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(mix.GetDataSize(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("mix.mp3")));
}

TEST_F(Project, SavedBytesAreThoseOfTheDocumentWriter)
{
    AddVoice();
    AddVoice().SetMute(true);
    CXMLDocument doc;
    BuildProjectDocument(doc, "Rock & Roll", voices);
    const std::string reference = dir.File("reference.xml");
    ASSERT_TRUE(doc.Save(reference.c_str()));
    EXPECT_EQ(ProjectDocumentText(doc), ReadFileBytes(reference));
    EXPECT_EQ(Saved("Rock & Roll"), ReadFileBytes(reference));
}

TEST_F(Project, AFailedSaveLeavesThePreviousProjectWhole)
{
    AddVoice();
    const std::string path = dir.File("tune.xml");
    ASSERT_TRUE(SaveProjectFile(path.c_str(), "small", voices));
    const std::string before = ReadFileBytes(path);
    for (int i = 0; i < 40; ++i)
        AddVoice();
    // Forty voices do not fit under the limit: the write fails part way.
    const int status = RunWithFileSizeLimit(before.size() * 4, [&] {
        int error = 0;
        const bool ok = SaveProjectFile(path.c_str(), "big", voices, &error);
        return ok ? 1 : error == EFBIG ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: reported success, 2: another reason than EFBIG";
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST(ProjectRead, FailuresSayWhyInWords)
{
    TempDir dir;
    ProjectContents doc;
    String reason;
    EXPECT_FALSE(ReadProjectFile(dir.File("none.xml").c_str(), doc, reason));
    EXPECT_STREQ(reason.CStr(), "No such file or directory");
    EXPECT_FALSE(ReadProjectFile(dir.Path().c_str(), doc, reason));
    EXPECT_STREQ(reason.CStr(), "Is a directory");
    for (const char* text : {"", "<project><oscilloscope></project>", "not xml at all"}) {
        WriteFileBytes(dir.File("bad.xml"), text);
        EXPECT_FALSE(ReadProjectFile(dir.File("bad.xml").c_str(), doc, reason)) << text;
        EXPECT_EQ(std::string(reason.CStr()).rfind("not a well-formed project file (line ", 0), 0u) << reason.CStr();
    }
    // Another program's XML is refused; an empty project and another root holding voices are not.
    for (const auto& [text, why] : {std::pair{"<svg><g><oscilloscope/></g></svg>", "not a Quillwave project"},
                                    {"<project/>", ""}, {"<song><oscilloscope/></song>", ""}}) {
        WriteFileBytes(dir.File("x.xml"), text);
        EXPECT_EQ(ReadProjectFile(dir.File("x.xml").c_str(), doc, reason), *why == '\0') << text;
        EXPECT_STREQ(reason.CStr(), why) << text;
    }
    // A project larger than one read block loads whole, up to the voices its size allows.
    std::string big = "<project><name>n</name>";
    for (size_t i = 0; i < kProjectVoicesAlways; ++i)
        big += "<oscilloscope type=\"1\" />";
    for (const auto& [more, loads] : {std::pair{"", true}, {"<oscilloscope/>", false}}) {
        WriteFileBytes(dir.File("big.xml"), big + more + "</project>");
        EXPECT_EQ(ReadProjectFile(dir.File("big.xml").c_str(), doc, reason), loads);
        EXPECT_STREQ(reason.CStr(), loads ? "" : "it holds more voices than a file of its size can");
        EXPECT_EQ(doc.voices.size(), kProjectVoicesAlways);
    }
}

// The process's address space now, in bytes (0 when it cannot be read).
size_t AddressSpace()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm) {
        if (std::fscanf(statm, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return static_cast<size_t>(pages) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Runs read in a child process whose address space may grow by extra bytes at the most; its
// exit status (3 when no limit could be set), or -1 when it did not exit.
int ExitWithinAddressSpace(size_t extra, const std::function<int()>& read)
{
    const pid_t pid = fork();
    if (pid == 0) {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = AddressSpace() + extra;
        if (AddressSpace() == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        _exit(read());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Writes a file of head, count copies of block and tail.
void WriteRepeated(const std::string& path, const char* head, const std::string& block, int count, const char* tail)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(head, file);
    for (int i = 0; i < count; ++i)
        std::fwrite(block.data(), 1, block.size(), file);
    std::fputs(tail, file);
    std::fclose(file);
}

TEST(ProjectRead, RunningOutOfMemoryIsAFailedLoadNotAnAbort)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator aborts when memory runs out instead of throwing; the "
                    "plain build (scripts/test --plain) runs this, and the XML reader's failing-allocator "
                    "tests cover the same path under the sanitizers";
#endif
    TempDir dir;
    const std::string path = dir.File("huge.xml");
    WriteRepeated(path, "<project><name>", std::string(1 << 20, 'a'), 48, "</name></project>"); // within the size limit
    // 48 MiB of name text cannot be held in 24 MiB more than the process has now.
    const int status = ExitWithinAddressSpace(24u << 20, [&] {
        ProjectContents doc;
        String reason;
        const bool ok = ReadProjectFile(path.c_str(), doc, reason);
        return ok ? 1 : std::string(reason.CStr()) == "not enough memory to load it" ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: loaded, 2: another reason, 3: no limit could be set, -1: the load ended the process";
}

TEST(ProjectRead, ElementsThatAreNoVoiceCostNoMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
#endif
    TempDir dir;
    const std::string path = dir.File("many.xml");
    std::string block;
    for (int i = 0; i < 1 << 16; ++i)
        block += i % 64 ? "<a/>" : "<b><c x='1'/></b>\n";
    WriteRepeated(path, "<project><name>n</name>", block, 160, "<oscilloscope type='2'/></project>"); // 42 MB
    const int status = ExitWithinAddressSpace(8u << 20, [&] {
        ProjectContents doc;
        String reason;
        return ReadProjectFile(path.c_str(), doc, reason) && doc.voices.size() == 1 && doc.name == "n" ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "1: not loaded in 8 MiB, 3: no limit could be set, -1: the load ended the process";
    // 16 MB of bare voices is refused within twice its size, not held as a million voices.
    std::string voicesBlock;
    for (int i = 0; i < 1 << 16; ++i)
        voicesBlock += "<oscilloscope/>";
    WriteRepeated(path, "<project>", voicesBlock, 16, "</project>");
    const int voices = ExitWithinAddressSpace(32u << 20, [&] {
        ProjectContents doc;
        String reason;
        return !ReadProjectFile(path.c_str(), doc, reason) && std::strncmp(reason.CStr(), "it holds more", 13) == 0 ? 0 : 1;
    });
    EXPECT_EQ(voices, 0) << "1: loaded or another reason, 3: no limit could be set, -1: the load ended the process";
}

} // namespace
