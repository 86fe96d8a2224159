// CResourceManager: builds the textures, sprites, fonts, sounds and streams a resources file
// lists, owns them and hands them out by name, searching linked managers after its own.
// Loading uploads textures: keep the OpenGL context current unless uploads are off. Whatever
// points at a resource (elements, sprites, playback buffers) must not outlive Clear or the
// manager. Main thread only. Kinds of file that layers above this one build (sounds, streams)
// are registered by those layers (RegisterFileKind, RegisterStreamBuilder) before loading;
// until then such entries build nothing.
#pragma once

#include "events/Signal.h"
#include "media/Resource.h"
#include "util/String.h"

#include <cstdint>
#include <vector>

class CXMLNode;
class CTexture;

// Builds a resource from a file (upload: textures may upload to OpenGL). Never null.
using FileBuilder = CResource* (*)(const String& file, bool upload);
// Builds a stream over a file with a ring of sizeMs milliseconds. Never null.
using StreamBuilder = CResource* (*)(const String& file, uint32_t sizeMs);

class CResourceManager {
public:
    // Process-wide: files ending in `ending` (case-sensitive, e.g. ".wav") are built by build
    // from now on; registering an ending again replaces its builder. Main thread, before
    // loading.
    static void RegisterFileKind(const char* ending, FileBuilder build);
    // Process-wide: how "stream" entries over files ending in `ending` are built.
    static void RegisterStreamBuilder(const char* ending, StreamBuilder build);

    // Limits on what a resources file may ask for: larger stream sizes are clamped, larger
    // grids refused, frames beyond the sprite limit left out.
    static constexpr int32_t kDefaultStreamSize = 500;   // "size" of a stream entry
    static constexpr int32_t kMaxStreamSize = 10000;     // a stream ring of at most 10 s
    static constexpr int32_t kDefaultFontHeight = 12;    // "height" of a font entry
    static constexpr uint32_t kMaxGridFrames = 16384;    // frames of one "array" grid
    static constexpr uint32_t kMaxSpriteFrames = 65536;  // frames of one sprite entry

    CResourceManager() = default;
    // Clear.
    ~CResourceManager();
    CResourceManager(const CResourceManager&) = delete;
    CResourceManager& operator=(const CResourceManager&) = delete;

    // Reads a resources file and builds its entries in document order (LoadEntries on the
    // root). A missing or malformed file builds what the tree holds, possibly nothing.
    void Load(const String& path);
    // Builds one resource per child of root; the root's own name is not examined. Each
    // child is announced on `loading` (child, index, count) before it is built. Entries:
    //   "sprite"    frames cut from the texture of "file" (see LoadSprite)
    //   "stream"    a stream over a file of a registered stream kind (".ogg" once sounds
    //               are registered), ring "size" ms (default 500)
    //   "font"      glyphs of a font file rendered into one texture: the code points
    //               "start" (default 0) to "end" (default 255) at pixel "height" (default
    //               12), plus the replacement glyph; one sprite frame per glyph, named by
    //               its character in UTF-8 (media/GlyphImage.h)
    //   "heightmap" a model whose shape is a heightmap of the image in "file"
    //   any other   LoadFile(name, file)
    // An entry without "file" is skipped.
    void LoadEntries(CXMLNode& root);

    // The first own resource named exactly name, else the first match in the linked managers
    // in link order (and through their links); null when none. A link cycle is searched
    // once.
    CResource* Find(const String& name) const;
    // Appends a resource; the manager owns it from now on (null is ignored).
    void Add(CResource* resource);
    // Destroys every resource (textures delete their OpenGL names: keep the context current)
    // and forgets the links; the linked managers themselves are untouched.
    void Clear();
    // Builds a resource from a file by its ending, compared case-sensitively: ".bmp", ".jpg",
    // ".png", ".tga" a texture (uploaded; without pixels when the file cannot be read);
    // ".obj" and ".3ds" a model (empty when the file cannot be read, still added); a
    // registered kind (".ogg" and ".wav" sounds once sounds are registered) by its builder;
    // anything else nothing.
    // Nothing either when one of this manager's own resources already came from that file.
    void LoadFile(const String& name, const String& file);

    // Makes Find search other after this manager's own resources; not owned. Linking a
    // manager to itself or twice changes nothing.
    void Link(CResourceManager* other);
    uint32_t GetLinkCount() const { return static_cast<uint32_t>(m_links.size()); }

    uint32_t GetCount() const { return static_cast<uint32_t>(m_resources.size()); }
    // Null past the end.
    CResource* Get(uint32_t index) const { return index < m_resources.size() ? m_resources[index] : nullptr; }

    // On by default. Off, textures (font glyph images included) keep their pixels and get no
    // OpenGL name, and frames keep zero texture coordinates: for tools and checks that run
    // without an OpenGL context.
    void SetUploadTextures(bool upload) { m_upload = upload; }

    // Emitted for every entry of a resources file before it is built: (entry, its index, the
    // number of entries). Slots may read the entry; they must not remove entries.
    CSignal<CXMLNode&, unsigned int, unsigned int> loading;

private:
    // Entry builders, by element name.
    void LoadSprite(const CXMLNode& entry, const String& name, const String& file);
    void LoadStream(const CXMLNode& entry, const String& name, const String& file);
    void LoadFont(const CXMLNode& entry, const String& name, const String& file);
    void LoadHeightmap(const CXMLNode& entry, const String& name, const String& file);

    // The texture made for a sprite's image file: this manager's own texture read from it,
    // else a texture found by the path as a name; null when there is none.
    CTexture* FindTexture(const String& file) const;
    void Upload(CTexture& texture) const;

    std::vector<CResource*> m_resources; // owned, in creation order
    std::vector<CResourceManager*> m_links; // not owned
    bool m_upload = true;
    mutable bool m_searching = false; // set while Find runs, so that link cycles end
};
