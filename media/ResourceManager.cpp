// Index:
//   [SECTION] Files by ending
//   [SECTION] Ownership and lookup
//   [SECTION] Resources files
//   [SECTION] Sprites
//   [SECTION] Streams, fonts and heightmaps
#include "media/ResourceManager.h"

#include "media/Model.h"

#include "media/GlyphImage.h"
#include "media/GlyphTexture.h"
#include "media/ImageReaders.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// [SECTION] Files by ending

// Each builder makes the resource of one kind of file; a file that cannot be read gives an
// empty resource of that kind.

CResource* BuildTexture(const String& file, bool upload)
{
    auto* texture = new CTexture;
    AdoptImageFile(*texture, ReadImageFile(file));
    if (upload)
        texture->Upload();
    return texture;
}

CResource* BuildObjModel(const String& file, bool)
{
    auto* model = new CModel;
    ReadObj(*model, file); // an unreadable file leaves the model empty, still added
    model->ComputeBounds();
    return model;
}

CResource* Build3dsModel(const String& file, bool)
{
    auto* model = new CModel;
    Read3ds(*model, file);
    model->ComputeBounds();
    return model;
}

// First match wins; endings are case-sensitive.
const struct {
    const char* ending;
    FileBuilder build;
} kFileKinds[] = {
    {".bmp", &BuildTexture},  {".jpg", &BuildTexture},  {".png", &BuildTexture},
    {".tga", &BuildTexture},  {".3ds", &Build3dsModel}, {".obj", &BuildObjModel},
};

// The kinds registered by higher layers, in registration order.
template <class Builder>
struct Registered {
    std::string ending;
    Builder build;
};

std::vector<Registered<FileBuilder>>& RegisteredFileKinds()
{
    static std::vector<Registered<FileBuilder>> kinds;
    return kinds;
}

std::vector<Registered<StreamBuilder>>& RegisteredStreamKinds()
{
    static std::vector<Registered<StreamBuilder>> kinds;
    return kinds;
}

template <class Builder>
void Register(std::vector<Registered<Builder>>& kinds, const char* ending, Builder build)
{
    if (!ending || !build)
        return;
    for (auto& kind : kinds)
        if (kind.ending == ending) {
            kind.build = build;
            return;
        }
    kinds.push_back({ending, build});
}

template <class Builder>
Builder FindRegistered(const std::vector<Registered<Builder>>& kinds, const String& file)
{
    for (const auto& kind : kinds)
        if (file.EndsWith(kind.ending.c_str()))
            return kind.build;
    return nullptr;
}

// Frame rectangles are kept within ±2^24 pixels, where floats are exact: no texture comes
// near it, and the texture-coordinate arithmetic stays in range whatever a file says.
constexpr int64_t kMaxCoordinate = 1 << 24;

int32_t Coordinate(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, -kMaxCoordinate, kMaxCoordinate));
}

// Reads an optionally signed decimal integer at p (after blanks), saturating at the int32
// limits, and moves p past it; 0 when there are no digits.
int32_t ReadInteger(const char*& p)
{
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = std::min<int64_t>(value * 10 + (*p - '0'), int64_t(1) << 32);
    value = negative ? -value : value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// An integer attribute, or fallback when the attribute is absent.
int32_t IntOr(const CXMLNode& node, const char* attribute, int32_t fallback)
{
    return node.FindAttribute(attribute) ? node.GetAttributeInt(attribute) : fallback;
}

} // namespace

// [SECTION] Ownership and lookup

CResourceManager::~CResourceManager() { Clear(); }

CResource* CResourceManager::Find(const String& name) const
{
    if (m_searching)
        return nullptr;
    for (CResource* resource : m_resources)
        if (resource->name == name)
            return resource;
    m_searching = true;
    CResource* found = nullptr;
    for (size_t i = 0; i < m_links.size() && !found; ++i)
        found = m_links[i]->Find(name);
    m_searching = false;
    return found;
}

void CResourceManager::Add(CResource* resource)
{
    if (resource)
        m_resources.push_back(resource);
}

void CResourceManager::Clear()
{
    for (CResource* resource : m_resources)
        delete resource;
    m_resources.clear();
    m_resources.shrink_to_fit();
    m_links.clear();
    m_links.shrink_to_fit();
}

void CResourceManager::Link(CResourceManager* other)
{
    if (other && other != this && std::find(m_links.begin(), m_links.end(), other) == m_links.end())
        m_links.push_back(other);
}

void CResourceManager::RegisterFileKind(const char* ending, FileBuilder build)
{
    Register(RegisteredFileKinds(), ending, build);
}

void CResourceManager::RegisterStreamBuilder(const char* ending, StreamBuilder build)
{
    Register(RegisteredStreamKinds(), ending, build);
}

void CResourceManager::LoadFile(const String& name, const String& file)
{
    for (const CResource* resource : m_resources)
        if (resource->file == file)
            return;
    FileBuilder build = nullptr;
    for (const auto& kind : kFileKinds)
        if (file.EndsWith(kind.ending)) {
            build = kind.build;
            break;
        }
    if (!build)
        build = FindRegistered(RegisteredFileKinds(), file);
    if (!build)
        return;
    CResource* resource = build(file, m_upload);
    resource->name = name;
    resource->file = file;
    Add(resource);
}

CTexture* CResourceManager::FindTexture(const String& file) const
{
    for (CResource* resource : m_resources)
        if (resource->file == file)
            if (auto* texture = dynamic_cast<CTexture*>(resource))
                return texture;
    return dynamic_cast<CTexture*>(Find(file));
}

void CResourceManager::Upload(CTexture& texture) const
{
    if (m_upload)
        texture.Upload();
}

// [SECTION] Resources files

void CResourceManager::Load(const String& path)
{
    CXMLDocument document;
    document.Load(path); // a damaged file still gives the entries read before the damage
    LoadEntries(document);
}

void CResourceManager::LoadEntries(CXMLNode& root)
{
    using Builder = void (CResourceManager::*)(const CXMLNode&, const String&, const String&);
    static const struct {
        const char* element;
        Builder build;
    } kEntries[] = {
        {"sprite", &CResourceManager::LoadSprite},
        {"stream", &CResourceManager::LoadStream},
        {"font", &CResourceManager::LoadFont},
        {"heightmap", &CResourceManager::LoadHeightmap},
    };

    const uint32_t count = root.GetChildCount();
    for (uint32_t i = 0; i < count; ++i) {
        CXMLNode* entry = root.GetChild(i);
        if (!entry)
            break;
        loading.Emit(*entry, i, count);
        entry = root.GetChild(i);
        const CXMLAttribute* file = entry ? entry->FindAttribute("file") : nullptr;
        if (!file)
            continue;
        const String name = entry->GetAttributeString("name");
        const String path = file->value;
        Builder build = nullptr;
        for (const auto& kind : kEntries)
            if (entry->name == kind.element) {
                build = kind.build;
                break;
            }
        if (build)
            (this->*build)(*entry, name, path);
        else
            LoadFile(name, path);
    }
}

// [SECTION] Sprites

void CResourceManager::LoadSprite(const CXMLNode& entry, const String& name, const String& file)
{
    // The texture is shared by every sprite over the same file and named by its path.
    LoadFile(file, file);
    CTexture* texture = FindTexture(file);

    auto* sprite = new CSprite;
    sprite->name = name;
    sprite->file = file;
    const int32_t fps = entry.GetAttributeInt("fps");
    sprite->fps = fps > 0 ? static_cast<uint32_t>(fps) : 0;
    Add(sprite);
    // Without its texture a sprite has nothing to cut frames from, nor their default size.
    if (!texture)
        return;

    const int32_t textureWidth = static_cast<int32_t>(texture->width);
    const int32_t textureHeight = static_cast<int32_t>(texture->height);
    if (entry.GetChildCount() == 0) {
        sprite->AddFrame(String(), 0, 0, textureWidth, textureHeight, 0, texture);
        return;
    }
    const uint32_t defaultDelay = sprite->fps ? 1000 / sprite->fps : 0;
    for (uint32_t c = 0; c < entry.GetChildCount(); ++c) {
        const CXMLNode& frame = *entry.GetChild(c);
        const int32_t x = Coordinate(frame.GetAttributeInt("x"));
        const int32_t y = Coordinate(frame.GetAttributeInt("y"));
        const int32_t w = Coordinate(IntOr(frame, "w", textureWidth));
        const int32_t h = Coordinate(IntOr(frame, "h", textureHeight));
        const int32_t delayValue = IntOr(frame, "delay", static_cast<int32_t>(defaultDelay));
        const uint32_t delay = delayValue > 0 ? static_cast<uint32_t>(delayValue) : 0;

        const uint64_t room = kMaxSpriteFrames - sprite->FrameCount();
        const CXMLAttribute* array = frame.FindAttribute("array");
        if (!array) {
            if (room > 0)
                sprite->AddFrame(frame.GetAttributeString("name"), x, y, w, h, delay, texture);
            continue;
        }
        // "columns,rows": a grid cut row by row, left to right. Negative counts, grids of more
        // than kMaxGridFrames frames and grids that would take the sprite past
        // kMaxSpriteFrames add nothing.
        const char* p = array->value.CStr();
        const int64_t columns = ReadInteger(p);
        int64_t rows = 0;
        if (*p == ',')
            rows = ReadInteger(++p);
        if (rows <= 0 || columns <= 0 || static_cast<uint64_t>(rows * columns) > std::min<uint64_t>(kMaxGridFrames, room))
            continue;
        sprite->frames.reserve(sprite->frames.size() + static_cast<size_t>(rows * columns));
        for (int64_t row = 0; row < rows; ++row)
            for (int64_t column = 0; column < columns; ++column)
                sprite->AddFrame(String(), Coordinate(x + column * w), Coordinate(y + row * h), w, h, delay,
                                 texture);
    }
}

// [SECTION] Streams, fonts and heightmaps

void CResourceManager::LoadStream(const CXMLNode& entry, const String& name, const String& file)
{
    StreamBuilder build = FindRegistered(RegisteredStreamKinds(), file);
    if (!build)
        return;
    const int32_t size = std::clamp(IntOr(entry, "size", kDefaultStreamSize), 1, kMaxStreamSize);
    CResource* stream = build(file, static_cast<uint32_t>(size));
    stream->name = name;
    stream->file = file;
    Add(stream);
}

void CResourceManager::LoadFont(const CXMLNode& entry, const String& name, const String& file)
{
    auto* sprite = new CSprite;
    const int32_t height = IntOr(entry, "height", kDefaultFontHeight), first = IntOr(entry, "start", 0),
                  last = IntOr(entry, "end", 255);
    // The texture keeps how it was made, so that a zoomed display can have it made larger.
    auto texture = std::make_unique<CGlyphTexture>(file, height, first, last);
    std::vector<GlyphCell> cells;
    GlyphImageOptions options;
    if (RenderGlyphImage(file, height, first, last, *texture, cells, &options)) {
        texture->baseline = options.baseline;
        // The glyph picture is named by the font's path; the frames by their characters, in
        // UTF-8.
        texture->name = file;
        texture->file = file;
        for (const GlyphCell& cell : cells) {
            String character;
            Utf8Append(character, cell.code);
            sprite->AddFrame(character, cell.x, cell.y, cell.w, cell.h, 0, texture.get());
        }
        CTexture* glyphs = texture.release();
        Upload(*glyphs);
        Add(glyphs);
        sprite->ComputeTexCoords();
    }
    sprite->name = name;
    sprite->file = file;
    Add(sprite);
}

void CResourceManager::LoadHeightmap(const CXMLNode&, const String& name, const String& file)
{
    auto* model = new CModel;
    model->name = name;
    model->file = file;
    CImage image;
    AdoptImageFile(image, ReadImageFile(file));
    BuildHeightmap(*model, image); // no pixels: the model stays empty, still added
    model->ComputeBounds();
    Add(model);
}
