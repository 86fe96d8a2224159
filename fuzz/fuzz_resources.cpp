// Fuzz target for resources files: the bytes are a resources file, built into a manager with
// texture uploads off (no OpenGL context). The target works in a scratch folder holding a few
// small media files that entries can name by relative path (sheet.png, pic.bmp, pic.tga,
// tone.wav, tone.ogg, font.ttf); absolute paths reach the rest of the system, except the
// device and kernel folders, whose files never end as resources do. Checks, beyond memory
// safety:
// - `loading` announces every entry once, in order, with the right count;
// - every resource is found by its name (the first of that name), and frames point at
//   textures the manager owns;
// - no sprite holds more than kMaxSpriteFrames frames.
#include "media/ResourceManager.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "sound/SoundResources.h"
#include "sound/Wav.h"
#include "tests/support/PngWriter.h"
#include "xml/XMLDocument.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void WriteBytes(const char* path, const void* data, size_t size)
{
    if (FILE* file = std::fopen(path, "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
}

// A BMP of 24 bits, bottom-up, rows padded to 4 bytes.
std::vector<uint8_t> MakeBmp(uint32_t width, uint32_t height)
{
    const uint32_t row = (width * 3 + 3) & ~3u, image = row * height;
    std::vector<uint8_t> file(54 + image, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    file[26] = 1;
    file[28] = 24;
    put32(34, image);
    for (uint32_t i = 0; i < image; ++i)
        file[54 + i] = static_cast<uint8_t>(i * 7);
    return file;
}

// An uncompressed 32-bit TGA.
std::vector<uint8_t> MakeTga(uint8_t width, uint8_t height)
{
    std::vector<uint8_t> file(18 + static_cast<size_t>(width) * height * 4, 0x80);
    std::memset(file.data(), 0, 18);
    file[2] = 2;
    file[12] = width;
    file[14] = height;
    file[16] = 32;
    return file;
}

// The scratch folder with its media, made once; the process works inside it.
bool PrepareFolder()
{
    char pattern[] = "/tmp/quillwave-fuzz-resources-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0)
        return false;
    std::vector<uint8_t> rows(64 * 32 * 4);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<uint8_t>(i * 13);
    const std::vector<uint8_t> png = pngwriter::Encode(rows.data(), 64, 32, pngwriter::Options());
    WriteBytes("sheet.png", png.data(), png.size());
    const std::vector<uint8_t> bmp = MakeBmp(16, 16), tga = MakeTga(8, 8);
    WriteBytes("pic.bmp", bmp.data(), bmp.size());
    WriteBytes("pic.tga", tga.data(), tga.size());
    std::vector<uint8_t> pcm(800);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<uint8_t>(128 + (i % 16) * 4);
    WriteWav("tone.wav", 1, 8000, 8, static_cast<uint32_t>(pcm.size()), pcm.data());
    std::error_code ignored;
    std::filesystem::copy_file(QW_SOURCE_DIR "/fuzz/corpus/fuzz_ogg/mono.ogg", "tone.ogg", ignored);
    std::filesystem::create_symlink("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "font.ttf", ignored);
    return true;
}

struct Announcements {
    void OnLoading(CXMLNode&, unsigned index, unsigned count)
    {
        Check(index == next && count == expected);
        ++next;
    }
    unsigned next = 0;
    unsigned expected = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = (RegisterSoundResources(), true);
    (void)registered;
    static const bool ready = PrepareFolder();
    if (!ready)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* folder : {"/dev", "/proc", "/sys"})
        if (text.find(folder) != std::string::npos)
            return 0;

    CXMLDocument document;
    document.Parse(text.data(), text.size());
    CResourceManager manager;
    manager.SetUploadTextures(false);
    Announcements announcements;
    announcements.expected = document.GetChildCount();
    CSlotList slots;
    slots.Connect(manager.loading, &announcements, &Announcements::OnLoading);
    manager.LoadEntries(document);
    Check(announcements.next == document.GetChildCount());

    std::unordered_set<const CResource*> owned;
    for (uint32_t i = 0; i < manager.GetCount(); ++i)
        owned.insert(manager.Get(i));
    for (uint32_t i = 0; i < manager.GetCount(); ++i) {
        const CResource* resource = manager.Get(i);
        const CResource* found = manager.Find(resource->name);
        Check(found && found->name == resource->name);
        if (const auto* sprite = dynamic_cast<const CSprite*>(resource)) {
            Check(sprite->FrameCount() <= CResourceManager::kMaxSpriteFrames);
            for (const CSpriteFrame& frame : sprite->frames)
                Check(owned.count(frame.texture) == 1);
        }
    }

    // Linked lookups, and a cycle of links.
    CResourceManager other;
    other.Link(&manager);
    manager.Link(&other);
    for (uint32_t i = 0; i < manager.GetCount(); ++i)
        Check(other.Find(manager.Get(i)->name) != nullptr);
    Check(other.Find("\x01 no such resource") == nullptr);
    manager.Clear();
    return 0;
}
