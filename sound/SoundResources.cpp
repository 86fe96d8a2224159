#include "sound/SoundResources.h"

#include "media/ResourceManager.h"
#include "sound/Sound.h"
#include "sound/SoundStream.h"
#include "sound/Wav.h"

namespace {

CResource* BuildDecodedSound(const String& file, bool)
{
    auto* sound = new CSound;
    DecodeWhole(file, *sound);
    return sound;
}

CResource* BuildWavSound(const String& file, bool)
{
    auto* sound = new CSound;
    WavInfo info;
    if (uint8_t* block = ReadWav(info, file))
        sound->Adopt(block, static_cast<uint32_t>(info.dataSize), static_cast<uint32_t>(info.channels),
                     static_cast<uint32_t>(info.sampleRate), static_cast<uint32_t>(info.bitsPerSample));
    return sound;
}

CResource* BuildStream(const String& file, uint32_t sizeMs)
{
    auto* stream = new CSoundStream;
    stream->OpenStream(file, sizeMs);
    return stream;
}

} // namespace

void RegisterSoundResources()
{
    CResourceManager::RegisterFileKind(".ogg", &BuildDecodedSound);
    CResourceManager::RegisterFileKind(".wav", &BuildWavSound);
    CResourceManager::RegisterStreamBuilder(".ogg", &BuildStream);
}
