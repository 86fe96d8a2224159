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
#include <strings.h>
#include <new>
#include <strings.h>
#include <sys/stat.h>
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

// The stages' numbers, in the file's order after the seed; each is written only while it is
// not at its default (CVoiceModel::GetStageDefault), dutyEnd only while it differs from duty.
struct StageAttribute {
    StageValue stage;
    const char* attribute;
};

const StageAttribute kStages[] = {
    {StageFrequencyEnd, "frequencyEnd"}, {StageVibratoDepth, "vibratoDepth"}, {StageVibratoRate, "vibratoRate"},
    {StageArpeggio, "arpeggio"},         {StageArpeggioTime, "arpeggioTime"}, {StageRepeat, "repeat"},
    {StageDuty, "duty"},                 {StageDutyEnd, "dutyEnd"},           {StageTremoloDepth, "tremoloDepth"},
    {StageTremoloRate, "tremoloRate"},   {StageLowpass, "lowpass"},           {StageLowpassEnd, "lowpassEnd"},
    {StageResonance, "resonance"},       {StageHighpass, "highpass"},         {StageHighpassEnd, "highpassEnd"}};

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

void BeginProjectDocument(CXMLDocument& doc, const String& name, const MixMaster& master)
{
    doc.Clear();
    doc.name = "project";
    doc.AddAttribute("format", String::Format("%d", kProjectFormat));
    if (master.gain != 0.0f)
        doc.AddAttribute("gain", ExactText(master.gain));
    if (master.normalize)
        doc.AddAttribute("normalize", "true");
    if (master.fade != 0.0f)
        doc.AddAttribute("fade", ExactText(master.fade));
    if (master.sum)
        doc.AddAttribute("mix", "sum");
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
    for (const StageAttribute& entry : kStages) {
        const float value = voice.GetStage(entry.stage);
        const float unwritten =
            entry.stage == StageDutyEnd ? voice.GetStage(StageDuty) : CVoiceModel::GetStageDefault(entry.stage);
        if (value != unwritten)
            element.AddAttribute(entry.attribute, ExactText(value));
        if (entry.stage == StageFrequencyEnd && voice.GetGlide() == GlideLinear)
            element.AddAttribute("glide", "linear");
        if (entry.stage == StageDutyEnd && voice.IsBandLimited())
            flag("bandLimited", true);
    }
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
    // The stages, in any format: an absent attribute, or one that does not start with a
    // number ("nan" and "inf" included), leaves the stage off (dutyEnd: equal to duty); a
    // number is clamped to the stage's range.
    for (const StageAttribute& entry : kStages) {
        const CXMLAttribute* found = element.FindAttribute(entry.attribute);
        float number = 0.0f;
        if (found && ParseNumber(found->value.CStr(), number))
            voice.SetStage(entry.stage, std::clamp(number, -FLT_MAX, FLT_MAX));
        else
            voice.SetStage(entry.stage, entry.stage == StageDutyEnd ? voice.GetStage(StageDuty)
                                                                     : CVoiceModel::GetStageDefault(entry.stage));
    }
    voice.SetGlide(strcasecmp(element.GetAttributeString("glide").CStr(), "linear") == 0 ? GlideLinear
                                                                                         : GlideExponential);
    voice.SetBandLimited(element.GetAttributeBool("bandLimited"));
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

MixMaster ReadMasterAttributes(const CXMLNode& project)
{
    MixMaster master;
    master.gain = ExactNumber(project, "gain");
    master.fade = ExactNumber(project, "fade");
    master.normalize = project.GetAttributeBool("normalize");
    const String mix = project.GetAttributeString("mix");
    master.sum = mix.CStr() && strcasecmp(mix.CStr(), "sum") == 0;
    return ClampMaster(master);
}

bool IsRenderRate(uint32_t rate)
{
    for (uint32_t r : kRenderRates)
        if (r == rate)
            return true;
    return false;
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

// The rate a mix was rendered at; kMixRate for an empty mix that has none.
uint32_t MixRate(const CSound& mix) { return mix.samplesPerSec ? mix.samplesPerSec : kMixRate; }

} // namespace

bool WriteMixFile(const String& path, SoundFileFormat format, const CSound& mix, int* error)
{
    size_t frames = 0;
    const int16_t* samples = MixSamples(mix, frames);
    return WriteSoundFile(path, format, kMixChannels, MixRate(mix), samples, frames, error);
}

bool WriteMixWav(const String& path, const CSound& mix, int* error)
{
    return WriteMixFile(path, SoundFileFormat::Wav, mix, error);
}

bool EncodeMix(SoundFileFormat format, const CSound& mix, std::string& bytes, int* error)
{
    size_t frames = 0;
    const int16_t* samples = MixSamples(mix, frames);
    return EncodeSoundFile(format, kMixChannels, MixRate(mix), samples, frames, bytes, error);
}

namespace {

const char kTooManyVoices[] = "it holds more voices than a file of its size can";

// Builds the voices of a project straight from a stream's events. Depth 1 is the root,
// depth 2 its children; anything deeper, and any child of the root other than the first
// "name" and the voices, costs nothing but the count.
class CProjectHandler : public CXMLHandler {
public:
    // voiceLimit: the most voices the file may hold (ProjectVoiceLimit of its size).
    explicit CProjectHandler(size_t voiceLimit) : m_defaultState(m_voice.GetState()), m_voiceLimit(voiceLimit) {}

    // After a successful stream: false for another program's file.
    bool IsProject() const { return m_isProject || !m_contents.voices.empty(); }
    // The contents read; the name is complete once the stream has ended.
    ProjectContents Take()
    {
        if (m_nameHasChildren && m_name.find_first_not_of(" \t\n\r") == std::string::npos)
            m_name.clear(); // only the indentation around child elements
        m_contents.name = String(m_name.data(), static_cast<int32_t>(m_name.size()));
        return std::move(m_contents);
    }

private:
    enum class NameState { Before, Inside, After };

    const char* StartElement(const char* name, const char** attributes) override
    {
        ++m_depth;
        if (m_depth == 1) {
            m_isProject = std::strcmp(name, "project") == 0;
            m_format = ProjectFormat(Element(name, attributes));
            m_contents.master = ReadMasterAttributes(m_element);
        } else if (m_depth == 2 && std::strcmp(name, "oscilloscope") == 0) {
            if (m_contents.voices.size() >= m_voiceLimit)
                return kTooManyVoices;
            // Past the first few, the room for every voice the file may hold is taken at once:
            // that is at most about its size again, where doubling would briefly hold three
            // times the voices read.
            if (m_contents.voices.size() == kProjectVoicesAlways)
                m_contents.voices.reserve(m_voiceLimit);
            m_voice.SetState(m_defaultState);
            ApplyVoiceElement(Element(name, attributes), m_voice, m_format);
            m_contents.voices.push_back(m_voice.GetState());
        } else if (m_depth == 2 && m_nameState == NameState::Before && std::strcmp(name, "name") == 0) {
            m_nameState = NameState::Inside;
        } else if (m_depth == 3 && m_nameState == NameState::Inside) {
            m_nameHasChildren = true;
        }
        return nullptr;
    }

    const char* EndElement() override
    {
        if (m_depth == 2 && m_nameState == NameState::Inside)
            m_nameState = NameState::After;
        --m_depth;
        return nullptr;
    }

    const char* Text(const char* s, size_t length) override
    {
        if (m_depth == 2 && m_nameState == NameState::Inside)
            m_name.append(s, length);
        return nullptr;
    }

    // The one element held at a time: its name and attributes, no children.
    const CXMLNode& Element(const char* name, const char** attributes)
    {
        m_element.Clear();
        m_element.name = name;
        for (size_t i = 0; attributes[i]; i += 2)
            m_element.AddAttribute(String(attributes[i]), String(attributes[i + 1]));
        return m_element;
    }

    CVoiceModel m_voice; // each voice is applied here, then kept as its state
    const VoiceState m_defaultState;
    const size_t m_voiceLimit;
    CXMLNode m_element;
    ProjectContents m_contents;
    std::string m_name;
    uint32_t m_depth = 0;
    int32_t m_format = 1;
    bool m_isProject = false;
    bool m_nameHasChildren = false;
    NameState m_nameState = NameState::Before;
};

// The user's words for a failed read.
String FailureReason(const XMLError& failure)
{
    if (failure.reason == kTooManyVoices)
        return kTooManyVoices; // no line: the place is not what is wrong
    const std::string error = failure.Text().CStr();
    for (const std::string system : {"cannot open the file: ", "cannot read the file: "})
        if (error.compare(0, system.size(), system) == 0)
            return error.substr(system.size()).c_str(); // a folder, for instance
    if (error.find("out of memory") != std::string::npos)
        return "not enough memory to load it";
    if (error.find("larger than") != std::string::npos)
        return error.c_str();
    return error.empty() ? "not a well-formed project file"
                         : ("not a well-formed project file (" + error + ")").c_str();
}

// Runs read (which streams a document into the handler and reports any failure) and takes
// the result.
template <typename Read>
bool ReadProject(size_t bytes, ProjectContents& out, String& reason, Read read)
{
    reason = String();
    try {
        CProjectHandler handler(ProjectVoiceLimit(bytes));
        XMLError failure;
        if (!read(handler, failure)) {
            reason = FailureReason(failure);
            return false;
        }
        // Another program's XML file: loading it would replace the voices with nothing.
        if (!handler.IsProject()) {
            reason = "not a Quillwave project";
            return false;
        }
        out = handler.Take();
    } catch (const std::bad_alloc&) {
        reason = "not enough memory to load it";
        return false;
    }
    return true;
}

} // namespace

size_t ProjectVoiceLimit(size_t bytes)
{
    return std::max(kProjectVoicesAlways, bytes / kProjectBytesPerVoice);
}

bool ReadProjectFile(const String& path, ProjectContents& out, String& reason)
{
    // The size read here only bounds the voices: the stream itself refuses a file that has
    // grown past the size limit since. A pipe's size is unknown, and so is the limit's.
    struct stat info;
    const bool sized = stat(path.CStr(), &info) == 0 && S_ISREG(info.st_mode);
    const size_t bytes = sized ? std::min<size_t>(static_cast<size_t>(info.st_size), kXMLMaxFileSize) : kXMLMaxFileSize;
    return ReadProject(bytes, out, reason, [&](CProjectHandler& handler, XMLError& failure) {
        return StreamXMLFile(path, handler, failure);
    });
}

bool ReadProjectText(const char* bytes, size_t length, ProjectContents& out, String& reason)
{
    return ReadProject(length, out, reason, [&](CProjectHandler& handler, XMLError& failure) {
        CXMLStream stream(handler);
        const bool ok = stream.Feed(bytes, length, true);
        failure = stream.Error();
        return ok;
    });
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
