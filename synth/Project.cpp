#include "synth/Project.h"

#include "sound/Wav.h"
#include "util/FileWrite.h"
#include "util/Number.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The fifteen values of an "oscilloscope" element, in the file's order: the main oscillator's
// and the envelope's, then (after the carrier's type and modulation) the carrier's. scale
// turns a number of the first format into a slider position.
struct ValueAttribute {
    VoiceValue value;
    const char* attribute;
    float scale;
};

const ValueAttribute kMainValues[] = {
    {ValueAmplitude, "amplitude", 100.0f}, {ValueOffset, "amplitudeOffset", 100.0f},
    {ValueFrequency, "frequency", 1.0f},   {ValuePeriod, "period", 100.0f},
    {ValuePhase, "phase", 100.0f},         {ValueAttack, "attack", 100.0f},
    {ValueDecay, "decay", 100.0f},         {ValueSustain, "sustain", 100.0f},
    {ValueHold, "hold", 100.0f},           {ValueRelease, "release", 100.0f}};
const ValueAttribute kCarrierValues[] = {
    {ValueCarrierAmplitude, "amplitudeCarrier", 100.0f}, {ValueCarrierOffset, "amplitudeOffsetCarrier", 100.0f},
    {ValueCarrierFrequency, "frequencyCarrier", 1.0f},   {ValueCarrierPeriod, "periodCarrier", 100.0f},
    {ValueCarrierPhase, "phaseCarrier", 100.0f}};

// The shortest text that reads back as value, whatever the locale.
String ExactText(float value)
{
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return String(text, static_cast<int32_t>(result.ptr - text));
}

// What the sound depends on: the period as shown (it fixes the length while the envelope is
// off), every other value's parameter.
float ExactValue(const CVoiceModel& voice, int32_t value)
{
    return value == ValuePeriod ? voice.GetShown(value) : voice.GetParameter(value);
}

template <size_t N>
void AppendValues(CXMLNode& element, const CVoiceModel& voice, const ValueAttribute (&values)[N])
{
    for (const ValueAttribute& entry : values)
        element.AddAttribute(entry.attribute, ExactText(ExactValue(voice, entry.value)));
}

// An exact file's number: read as GetAttributeFloat reads it but rounded once, straight to
// float. 0 when absent or when nothing reads ("nan" and "inf" do not); beyond the float
// range it saturates at FLT_MAX.
float ExactNumber(const CXMLNode& element, const char* attribute)
{
    const CXMLAttribute* found = element.FindAttribute(attribute);
    float number = 0.0f;
    if (!found || !ParseNumber(found->value.CStr(), number))
        return 0.0f;
    return std::clamp(number, -FLT_MAX, FLT_MAX);
}

template <size_t N>
void ApplyValues(const CXMLNode& element, CVoiceModel& voice, const ValueAttribute (&values)[N], bool exact)
{
    for (const ValueAttribute& entry : values) {
        if (exact)
            voice.SetTyped(entry.value, ExactNumber(element, entry.attribute));
        else
            voice.SetSlider(entry.value, entry.scale * element.GetAttributeFloat(entry.attribute));
    }
}

} // namespace

void BeginProjectDocument(CXMLDocument& doc, const String& name)
{
    doc.Clear();
    doc.name = "project";
    doc.AddAttribute("format", String::Format("%d", kProjectFormat));
    CXMLNode nameNode("name");
    nameNode.SetText(name);
    doc.AddChild(std::move(nameNode));
}

void AppendVoiceElement(CXMLNode& project, const CVoiceModel& voice)
{
    CXMLNode element("oscilloscope");
    auto flag = [&](const char* attribute, bool on) {
        CXMLAttribute a(attribute, String());
        a.SetBool(on);
        element.AddAttribute(a);
    };
    element.AddAttribute("type", String::Format("%d", voice.GetWaveType()));
    AppendValues(element, voice, kMainValues);
    element.AddAttribute("typeCarrier", String::Format("%d", voice.GetCarrierType()));
    element.AddAttribute("modCarrier", String::Format("%d", static_cast<int>(voice.GetModulation())));
    AppendValues(element, voice, kCarrierValues);
    flag("envelope", voice.IsEnvelopeOn());
    flag("carrier", voice.IsCarrierOn());
    flag("loop", voice.IsLoopOn());
    flag("mute", voice.IsMuted());
    element.AddAttribute("seed", String::Format("%u", voice.GetSeed()));
    project.AddChild(std::move(element));
}

bool ParseSeed(const String& text, uint32_t& seed)
{
    const char* s = text.CStr();
    if (!s || *s == '\0')
        return false;
    uint64_t value = 0;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(*s - '0');
        if (value > UINT32_MAX)
            return false;
    }
    seed = static_cast<uint32_t>(value);
    return true;
}

void ApplyVoiceElement(const CXMLNode& element, CVoiceModel& voice, int32_t format)
{
    const bool exact = format >= kProjectFormat;
    voice.SetWaveType(element.GetAttributeInt("type"));
    ApplyValues(element, voice, kMainValues, exact);
    voice.SetCarrierType(element.GetAttributeInt("typeCarrier"));
    voice.SetModulation(element.GetAttributeInt("modCarrier"));
    ApplyValues(element, voice, kCarrierValues, exact);
    voice.SetEnvelopeOn(element.GetAttributeBool("envelope"));
    voice.SetCarrierOn(element.GetAttributeBool("carrier"));
    voice.SetLoop(element.GetAttributeBool("loop"));
    voice.SetMute(element.GetAttributeBool("mute"));
    uint32_t seed = 0;
    if (!ParseSeed(element.GetAttributeString("seed"), seed))
        seed = 0;
    voice.SetSeed(seed);
}

String ApplyProjectDocument(const CXMLNode& project, const std::function<CVoiceModel*()>& addVoice)
{
    const int32_t format = ProjectFormat(project);
    for (uint32_t i = 0; i < project.GetChildCount(); ++i) {
        const CXMLNode* child = project.GetChild(i);
        if (child->name != "oscilloscope")
            continue;
        if (CVoiceModel* voice = addVoice ? addVoice() : nullptr)
            ApplyVoiceElement(*child, *voice, format);
    }
    return project.GetChildText("name");
}

int32_t ProjectFormat(const CXMLNode& project)
{
    const int32_t format = project.GetAttributeInt("format");
    return format > 1 ? format : 1;
}

String ProjectSavePath(const String& chosen)
{
    if (chosen.IsEmpty())
        return String();
    const int32_t n = chosen.Length();
    bool hasExtension = n >= 4 && chosen[n - 4] == '.';
    for (int32_t i = 0; i < 3 && hasExtension; ++i)
        hasExtension = (chosen[n - 3 + i] | 0x20) == "xml"[i];
    return hasExtension ? chosen : chosen + ".xml";
}

namespace {

// The mix's samples: 16-bit, in the host's order, as the renderer made them.
const int16_t* MixSamples(const CSound& mix, size_t& frames)
{
    frames = mix.GetData() ? mix.GetDataSize() / (kMixBits / 8) / kMixChannels : 0;
    return reinterpret_cast<const int16_t*>(mix.GetData());
}

} // namespace

bool WriteMixFile(const String& path, SoundFileFormat format, const CSound& mix, int* error)
{
    size_t frames = 0;
    const int16_t* samples = MixSamples(mix, frames);
    return WriteSoundFile(path, format, kMixChannels, kMixRate, samples, frames, error);
}

bool WriteMixWav(const String& path, const CSound& mix, int* error)
{
    return WriteMixFile(path, SoundFileFormat::Wav, mix, error);
}

bool EncodeMix(SoundFileFormat format, const CSound& mix, std::string& bytes, int* error)
{
    size_t frames = 0;
    const int16_t* samples = MixSamples(mix, frames);
    return EncodeSoundFile(format, kMixChannels, kMixRate, samples, frames, bytes, error);
}

bool ReadProjectFile(const String& path, CXMLDocument& doc, String& reason)
{
    reason = String();
    // The system's reason for a file that cannot be opened at all, in its own words.
    std::FILE* file = std::fopen(path.CStr(), "rb");
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    std::fclose(file);
    try {
        if (doc.Load(path)) {
            // Another program's XML file: loading it would replace the voices with nothing.
            if (doc.name == "project" || doc.FindChild("oscilloscope"))
                return true;
            reason = "not a Quillwave project";
            return false;
        }
    } catch (const std::bad_alloc&) {
        reason = "not enough memory to load it";
        return false;
    }
    const std::string error = doc.GetError().CStr();
    const std::string unreadable = "cannot read the file: ";
    if (error.compare(0, unreadable.size(), unreadable) == 0)
        reason = error.substr(unreadable.size()).c_str(); // a folder, for instance
    else if (error.find("out of memory") != std::string::npos)
        reason = "not enough memory to load it";
    else if (error.find("larger than") != std::string::npos)
        reason = error.c_str();
    else
        reason = error.empty() ? "not a well-formed project file"
                               : ("not a well-formed project file (" + error + ")").c_str();
    return false;
}

std::string ProjectDocumentText(const CXMLDocument& doc)
{
    std::string text = "<?xml version=\"1.0\"?>\n\n";
    doc.SerializeTo(text, 0);
    return text;
}

bool WriteProjectDocument(const String& path, const CXMLDocument& doc, int* error)
{
    if (path.IsEmpty()) {
        if (error)
            *error = ENOENT;
        return false;
    }
    const std::string text = ProjectDocumentText(doc);
    return WriteFileAtomically(path.CStr(), text.data(), text.size(), error);
}
