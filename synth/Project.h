// Project files and the sound export (WAV, FLAC or Ogg Vorbis by the file's ending) shared by the main scene and the command-line renderer.
// A project document is the root "project" with a "name" child and one "oscilloscope"
// element of 23 attributes per voice (the noise seed last), then those of the voice's stages
// that are not off (docs/sound.md, "The stages"). Files are written in the exact
// format (format="2" on the root): every value is the shortest text that reads back as the
// same float, so a reopened project renders the same bytes; loading one sets each value as
// typed (CVoiceModel::SetTyped). A file without the mark is of the first format (values as
// shown, two decimals or whole hertz) and loads through the slider setters as it always has.
// The voice lists are any containers of pointers (plain or owning) to CVoiceModel. No widget
// is involved. Files are replaced in one step (util/FileWrite.h), so a failed save leaves the
// previous file as it was; failures carry the errno value that says why. Nothing here shows or
// logs anything.
#pragma once

#include "sound/SoundFile.h"
#include "synth/Master.h"
#include "synth/Render.h"
#include "synth/VoiceModel.h"
#include "xml/XMLDocument.h"

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

// The format every mix is rendered and saved in: mono, 44100 Hz, 16 bits. A sound may also
// be rendered at another of the render rates, never resampled: the voices are functions of
// time.
constexpr uint32_t kMixChannels = 1;
constexpr uint32_t kMixRate = 44100;
constexpr uint32_t kMixBits = 16;
constexpr uint32_t kRenderRates[] = {22050, 44100, 48000};
// True for one of kRenderRates.
bool IsRenderRate(uint32_t rate);

// --- project documents

// The format this writer marks its files with: 2, exact values. A root without "format" (or
// with a value below 2 or not a number) is of format 1. A number above 2, from a later
// writer, is read as format 2 as far as its attributes allow: values this reader knows are
// taken exactly, anything else is ignored.
constexpr int32_t kProjectFormat = 2;
// The format of a loaded document's root, by those rules.
int32_t ProjectFormat(const CXMLNode& project);

// Empties doc and makes it a project of that name with no voices, marked format="2", with
// the master settings that differ from their absent state as root attributes: gain (dB) and
// fade (ms) in the shortest text that reads back to the same float, normalize="true",
// mix="sum".
void BeginProjectDocument(CXMLDocument& doc, const String& name, const MixMaster& master = MixMaster());
// The master settings of a project root: gain and fade are numbers read as the voices' are
// (a text that does not start with one, nan and inf included, is absent) and clamped to
// their ranges; normalize is a switch read as the voices' are; mix is "sum" or "average" in
// any letter case. Anything absent or malformed takes the default, which is today's sound.
MixMaster ReadMasterAttributes(const CXMLNode& project);
// Appends the voice's "oscilloscope" element in the file's attribute order: type, the main
// oscillator's and envelope's values, carrier type and modulation ("%d"; a choice outside
// AM, FM and PM is saved as FM), the carrier's values, the switches ("true"/"false"), the
// seed, then each stage that is not off (dutyEnd only when it differs from duty), exactly.
// Each of the fifteen values is written as what the sound depends on, in the shortest
// text that reads back to the same float: the parameter (CVoiceModel::GetParameter), except
// the period, which is the number shown because it fixes the length.
void AppendVoiceElement(CXMLNode& project, const CVoiceModel& voice);

template <class VoiceList>
void BuildProjectDocument(CXMLDocument& doc, const String& name, const VoiceList& voices,
                          const MixMaster& master = MixMaster())
{
    BeginProjectDocument(doc, name, master);
    for (const auto& voice : voices)
        AppendVoiceElement(doc, *voice);
}

// Sets a voice from an "oscilloscope" element of a document of that format, in the loader's
// order: type, the main and envelope values, carrier type and modulation, the carrier values,
// the switches envelope, carrier, loop and mute, then the seed. Format 1 sets each value
// through its slider (number × 100, a frequency in hertz): clamped, rounded to two decimals
// or whole hertz as the panel would. Format 2 and above set each value exactly
// (CVoiceModel::SetTyped): a number is rounded once to the nearest float; outside a
// non-frequency value's range it is clamped; a frequency is taken as it is. Either way a
// missing attribute or one that does not start with a decimal number reads as 0 (so do "nan"
// and "inf"), a magnitude beyond the float range as FLT_MAX, a missing switch as false; a
// seed that is not a decimal number from 0 to 4294967295 reads as 0. The stages are read in
// any format: absent or not a number ("nan", "inf") leaves a stage off, a number is clamped
// to its range (CVoiceModel::SetStage), a missing dutyEnd equals duty.
void ApplyVoiceElement(const CXMLNode& element, CVoiceModel& voice, int32_t format = 1);

// A decimal number from 0 to 4294967295, digits only. False (seed unchanged) for anything else.
bool ParseSeed(const String& text, uint32_t& seed);

// Applies a loaded document: for every child element named "oscilloscope", in order,
// addVoice() supplies a new voice in its default state (null skips the element) and the
// element is applied to it in the root's format (ProjectFormat). There is no limit on the
// number: a voice costs less than its element in the document. The root's name is not
// checked here (ReadProjectFile refuses what is not a project). Returns the text of the
// first "name" child (empty when there is none).
String ApplyProjectDocument(const CXMLNode& project, const std::function<CVoiceModel*()>& addVoice);

// What a project file holds: its name, its voices in the file's order and its master
// settings (ReadMasterAttributes of the root).
struct ProjectContents {
    String name;
    std::vector<VoiceState> voices;
    MixMaster master;
};

// A file of any size may hold this many voices; beyond them, one per this many bytes of the
// file. A saved voice takes about 400 bytes, so no file the program writes comes near the
// limit, while a file of bare "oscilloscope" elements cannot make the voices (a few hundred
// bytes each in memory) take much more memory than the file's own size.
constexpr size_t kProjectVoicesAlways = 4096;
constexpr size_t kProjectBytesPerVoice = 256;
// The most voices a project file of that many bytes may hold.
size_t ProjectVoiceLimit(size_t bytes);

// Reads a project file as a stream, keeping no document tree: memory stays about the size of
// the voices (a few hundred bytes each) whatever else the file holds, and elements this reader
// does not know are skipped without being kept. The result is what ApplyProjectDocument gives
// for the same file's tree: each "oscilloscope" child of the root, in order, is applied in the
// root's format (ProjectFormat) to a voice in its default state; name is the text of the
// root's first "name" child (empty when there is none; a name that has child elements and
// only white space of its own is empty). False when the file cannot be read, is larger than
// CXMLDocument::kMaxFileSize, is not well-formed XML (a document type declaration with an
// internal subset included) or does not fit in memory; reason then says why in words for the
// user (the system's text for the errno value, or what is wrong with the contents). Also
// false, with reason "not a Quillwave project", for well-formed XML whose root is not
// "project" and has no "oscilloscope" child: another program's file, which would load as no
// voices. Also false, with reason "it holds more voices than a file of its size can", when
// the voices pass ProjectVoiceLimit of the file's size (of kXMLMaxFileSize for a pipe): then
// memory stays within about the file's size. A root "project" with no voices is a (silent) project; a root of another name with
// "oscilloscope" children loads as it always has. out changes only on success.
bool ReadProjectFile(const String& path, ProjectContents& out, String& reason);
// The same from a document in memory (length bytes; a zero byte among them is malformed).
bool ReadProjectText(const char* bytes, size_t length, ProjectContents& out, String& reason);

// The bytes a project document is saved as: the XML declaration, an empty line and the tree.
std::string ProjectDocumentText(const CXMLDocument& doc);
// Writes those bytes to path, replacing the file in one step. False, with *error (when
// given) set to the errno value, when the file could not be written.
bool WriteProjectDocument(const String& path, const CXMLDocument& doc, int* error = nullptr);

// The path a project is saved under: the chosen path, with ".xml" appended unless it already
// ends with it (in any letter case). Empty for an empty path.
String ProjectSavePath(const String& chosen);

// Builds the document and saves it under ProjectSavePath(chosen). False when the path is
// empty or the file could not be written, with *error (when given) set to the errno value.
template <class VoiceList>
bool SaveProjectFile(const String& chosen, const String& name, const VoiceList& voices, const MixMaster& master,
                     int* error = nullptr)
{
    CXMLDocument doc;
    BuildProjectDocument(doc, name, voices, master);
    return WriteProjectDocument(ProjectSavePath(chosen), doc, error);
}
// The same with the default master settings.
template <class VoiceList>
bool SaveProjectFile(const String& chosen, const String& name, const VoiceList& voices, int* error = nullptr)
{
    return SaveProjectFile(chosen, name, voices, MixMaster(), error);
}

// --- sound export

// Writes mix (in the mix format, at its own rate: kMixRate when it has none) as a sound file of that format (sound/SoundFile.h): WAV,
// FLAC or Ogg Vorbis; an empty mix (no unmuted voice) gives a valid file with no sound. False
// when the file could not be written in full, with *error (when given) set to the errno value;
// the previous file then stays as it was.
bool WriteMixFile(const String& path, SoundFileFormat format, const CSound& mix, int* error = nullptr);
// The same as a WAV file.
bool WriteMixWav(const String& path, const CSound& mix, int* error = nullptr);
// The bytes WriteMixFile would write (for a stream such as standard output). False, with
// *error (when given) set, when encoding failed.
bool EncodeMix(SoundFileFormat format, const CSound& mix, std::string& bytes, int* error = nullptr);

// Renders voices into mix in the mix format and writes it in format (WriteMixFile). An empty
// voice list renders silence rather than keeping the mix's previous data. *clipped (when
// given) receives how many values the render clamped. master and rate (one of
// kRenderRates) are the render's.
template <class VoiceList>
bool SaveSoundFile(const String& path, SoundFileFormat format, const VoiceList& voices, CSound& mix,
                   int* error = nullptr, uint64_t* clipped = nullptr, const MixMaster& master = MixMaster(),
                   uint32_t rate = kMixRate)
{
    if (voices.empty())
        mix.Release();
    RenderVoices(voices, mix, kMixChannels, rate, kMixBits, clipped, master);
    return WriteMixFile(path, format, mix, error);
}

// The same in the format path's ending names (SoundFileFormatFromPath: ".wav", ".flac",
// ".ogg", or WAV for a name without an extension). Another ending renders and writes nothing
// and gives false with *error set to EINVAL.
template <class VoiceList>
bool SaveSoundFile(const String& path, const VoiceList& voices, CSound& mix, int* error = nullptr,
                   uint64_t* clipped = nullptr)
{
    SoundFileFormat format;
    if (!SoundFileFormatFromPath(path, format)) {
        if (error)
            *error = EINVAL;
        return false;
    }
    return SaveSoundFile(path, format, voices, mix, error, clipped);
}
