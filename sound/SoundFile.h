// Sound files by format: 16-bit PCM written as WAV (our own writer, sound/Wav.h), FLAC
// (lossless: it decodes to exactly the samples given) or Ogg Vorbis (lossy, quality 0.6),
// the format chosen from the file's ending. FLAC and Ogg are encoded in memory first and then
// written in one step (util/FileWrite.h), as WAV files are: a failed write leaves an existing
// file as it was. Encoding is deterministic (the same samples give the same bytes, whichever
// thread encodes them). Independent calls may run on different threads at once.
#pragma once

#include "util/String.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class SoundFileFormat { Wav, Flac, Ogg };

// The format path's file name ends with: ".wav", ".flac" or ".ogg" in any letter case; a name
// with no extension at all (no "." after its first character) is WAV. False, with format left
// alone, for any other ending.
bool SoundFileFormatFromPath(const String& path, SoundFileFormat& format);
// "wav", "flac" or "ogg" (lower case, as a command line names them); false for anything else.
bool SoundFileFormatFromName(const char* name, SoundFileFormat& format);
// ".wav", ".flac" or ".ogg".
const char* SoundFileExtension(SoundFileFormat format);

// The bytes of a file in format that holds frames frames of channels interleaved 16-bit
// samples at rate Hz (samples may be null only when frames is 0; zero frames give a valid
// file with no sound). False, with *error (when given) set to an errno value (ENOMEM when
// memory ran out, EINVAL for a layout the format cannot hold, EIO otherwise), and bytes
// empty, when the encoder fails.
bool EncodeSoundFile(SoundFileFormat format, uint32_t channels, uint32_t rate, const int16_t* samples,
                     size_t frames, std::string& bytes, int* error = nullptr);

// Encodes the samples as EncodeSoundFile does and replaces path's contents with them in one
// step; a WAV file is byte for byte what WriteWav writes. False, with *error (when given) set
// to the errno value that says why, when encoding or writing failed; the previous file then
// stays as it was.
bool WriteSoundFile(const String& path, SoundFileFormat format, uint32_t channels, uint32_t rate,
                    const int16_t* samples, size_t frames, int* error = nullptr);
