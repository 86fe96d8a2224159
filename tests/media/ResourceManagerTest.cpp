// The resource manager: resources files with textures, sprites, sounds and streams, lookup
// through links, and hostile values. Textures are not uploaded here (no OpenGL context is
// needed); uploads and texture coordinates are checked in ResourceManagerFontTest.cpp.
#include "media/ResourceManager.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "sound/Sound.h"
#include "sound/SoundStream.h"
#include "support/OggWriter.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"
#include "sound/Wav.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ResourcesFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager.SetUploadTextures(false);
        picture = dir.File("sheet.png");
        WriteSolidPng(picture, 128, 32, 0xFF0000FF);
    }

    // Loads the entries of a resources document given as text.
    void Load(const std::string& text)
    {
        CXMLDocument document;
        ASSERT_TRUE(document.Parse(text.c_str())) << text;
        manager.LoadEntries(document);
    }

    CSprite* Sprite(const char* name) { return dynamic_cast<CSprite*>(manager.Find(name)); }

    TempDir dir;
    std::string picture;
    CResourceManager manager;
};

void ExpectFrame(const CSpriteFrame& frame, int32_t x, int32_t y, int32_t w, int32_t h)
{
    EXPECT_EQ(frame.x, x);
    EXPECT_EQ(frame.y, y);
    EXPECT_EQ(frame.w, w);
    EXPECT_EQ(frame.h, h);
}

TEST_F(ResourcesFile, SpriteWithoutChildrenSpansItsWholeTexture)
{
    Load("<r><sprite name='all' file='" + picture + "'/></r>");
    ASSERT_EQ(manager.GetCount(), 2u);
    auto* texture = dynamic_cast<CTexture*>(manager.Get(0)); // the texture comes first
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->name, String(picture.c_str()));
    EXPECT_EQ(texture->width, 128u);
    CSprite* sprite = Sprite("all");
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(sprite->FrameCount(), 1u);
    ExpectFrame(sprite->frames[0], 0, 0, 128, 32);
    EXPECT_EQ(sprite->frames[0].texture, texture);
    EXPECT_TRUE(sprite->frames[0].name.IsEmpty());
}

TEST_F(ResourcesFile, FramesGridsAndDefaults)
{
    Load("<r><sprite name='s' file='" + picture +
         "'>"
         "<frame name='idle' x='5' y='6' w='7' h='8'/>"
         "<grid array='4,2' w='32' h='16'/>"
         "<whole/>"
         "<none array='4,0' w='8' h='8'/>"
         "<norows array='4' w='8' h='8'/>"
         "<negative array='-4,-2' w='8' h='8'/>"
         "<huge array='100000,100000' w='1' h='1'/>"
         "</sprite></r>");
    CSprite* sprite = Sprite("s");
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(sprite->FrameCount(), 10u);
    EXPECT_EQ(sprite->frames[0].name, "idle");
    ExpectFrame(sprite->frames[0], 5, 6, 7, 8);
    const int32_t grid[8][2] = {{0, 0}, {32, 0}, {64, 0}, {96, 0}, {0, 16}, {32, 16}, {64, 16}, {96, 16}};
    for (int i = 0; i < 8; ++i) {
        ExpectFrame(sprite->frames[1 + i], grid[i][0], grid[i][1], 32, 16);
        EXPECT_TRUE(sprite->frames[1 + i].name.IsEmpty());
    }
    ExpectFrame(sprite->frames[9], 0, 0, 128, 32); // w and h default to the texture's
}

TEST_F(ResourcesFile, ASpriteHoldsAtMostItsFrameLimit)
{
    Load("<r><sprite name='s' file='" + picture +
         "'><g array='128,128' w='1' h='1'/><g array='128,128' w='1' h='1'/><g array='128,128' w='1' h='1'/>"
         "<g array='127,128' w='1' h='1'/><g array='2,65' w='1' h='1'/><g array='1,127' w='1' h='1'/>"
         "<one/><two w='2'/></sprite></r>");
    // Five grids and one frame fill it; what would overflow it adds nothing.
    EXPECT_EQ(Sprite("s")->FrameCount(), CResourceManager::kMaxSpriteFrames);
    EXPECT_EQ(Sprite("s")->frames.back().w, 128);
}

TEST_F(ResourcesFile, FpsGivesFramesWithoutDelayTheirShare)
{
    Load("<r><sprite name='fast' fps='25' file='" + picture +
         "'><a/><b delay='100'/><c array='2,1' w='1' h='1'/></sprite>"
         "<sprite name='still' file='" + picture + "'><a/></sprite>"
         "<sprite name='backwards' fps='-5' file='" + picture + "'><a delay='-3'/></sprite></r>");
    CSprite* fast = Sprite("fast");
    ASSERT_NE(fast, nullptr);
    ASSERT_EQ(fast->FrameCount(), 4u);
    EXPECT_EQ(fast->fps, 25u);
    EXPECT_EQ(fast->frames[0].delay, 40u);
    EXPECT_EQ(fast->frames[1].delay, 100u);
    EXPECT_EQ(fast->frames[3].delay, 40u);
    EXPECT_EQ(Sprite("still")->frames[0].delay, 0u);
    EXPECT_EQ(Sprite("backwards")->fps, 0u);
    EXPECT_EQ(Sprite("backwards")->frames[0].delay, 0u);
}

TEST_F(ResourcesFile, SpritesOverOneFileShareOneTextureNamedByThePath)
{
    Load("<r><sprite name='a' file='" + picture + "'/><sprite name='b' file='" + picture + "'/></r>");
    ASSERT_EQ(manager.GetCount(), 3u);
    CResource* texture = manager.Find(picture.c_str());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Sprite("a")->frames[0].texture, texture);
    EXPECT_EQ(Sprite("b")->frames[0].texture, texture);
}

TEST_F(ResourcesFile, SpriteWithoutATextureHasNoFrames)
{
    WriteFileBytes(dir.File("sheet.gif"), "GIF89a");
    // A sound named like the picture's path: the sprite must not take it for its texture.
    const std::string clash = dir.File("clash.png");
    WriteSolidPng(clash, 4, 4, 0xFFFFFFFF);
    auto* sound = new CSound;
    sound->name = clash.c_str();
    manager.Add(sound);
    Load("<r><sprite name='gif' file='" + dir.File("sheet.gif") + "'><f w='2' h='2'/></sprite>"
         "<sprite name='clash' file='" + clash + "'/></r>");
    ASSERT_NE(Sprite("gif"), nullptr);
    EXPECT_EQ(Sprite("gif")->FrameCount(), 0u);
    // The texture was made from the file even though its name is taken: the sprite uses it.
    ASSERT_EQ(Sprite("clash")->FrameCount(), 1u);
    EXPECT_NE(dynamic_cast<CTexture*>(Sprite("clash")->frames[0].texture), nullptr);
}

TEST_F(ResourcesFile, GenericEntriesByFileEnding)
{
    WriteSolidPng(dir.File("upper.BMP"), 2, 2, 0);
    WriteFileBytes(dir.File("broken.png"), "not a picture");
    const std::string wav = dir.File("tone.wav");
    const std::vector<uint8_t> pcm(400, 0x80);
    ASSERT_TRUE(WriteWav(wav.c_str(), 1, 8000, 8, static_cast<uint32_t>(pcm.size()), pcm.data()));
    const std::string ogg = dir.File("tone.ogg");
    ASSERT_TRUE(WriteOggVorbis(ogg, ToneSamples(4410, 2, 44100, 440.0), 2, 44100));

    std::vector<unsigned> announced;
    struct Counter {
        void OnLoading(CXMLNode&, unsigned index, unsigned count) { seen->push_back(index * 100 + count); }
        std::vector<unsigned>* seen;
    } counter{&announced};
    CSlotList slots;
    slots.Connect(manager.loading, &counter, &Counter::OnLoading);

    Load("<r><picture name='pic' file='" + picture + "'/><again name='dup' file='" + picture +
         "'/><x name='caps' file='" + dir.File("upper.BMP") + "'/><x name='nofile'/>"
         "<x name='broken' file='" + dir.File("broken.png") + "'/><x name='wav' file='" + wav +
         "'/><x name='ogg' file='" + ogg + "'/><x name='txt' file='notes.txt'/></r>");
    EXPECT_EQ(announced, (std::vector<unsigned>{8, 108, 208, 308, 408, 508, 608, 708}));
    EXPECT_EQ(manager.GetCount(), 4u);
    EXPECT_NE(dynamic_cast<CTexture*>(manager.Find("pic")), nullptr);
    EXPECT_EQ(manager.Find("dup"), nullptr); // the file was loaded already
    EXPECT_EQ(manager.Find("caps"), nullptr); // endings are case-sensitive
    auto* broken = dynamic_cast<CTexture*>(manager.Find("broken"));
    ASSERT_NE(broken, nullptr); // found, but empty
    EXPECT_EQ(broken->pixels, nullptr);
    EXPECT_EQ(broken->glName, 0u);
    auto* tone = dynamic_cast<CSound*>(manager.Find("wav"));
    ASSERT_NE(tone, nullptr);
    EXPECT_EQ(tone->GetDataSize(), 400u);
    EXPECT_EQ(tone->GetSamplesPerSec(), 8000u);
    auto* decoded = dynamic_cast<CSound*>(manager.Find("ogg"));
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->kind, ResourceSound);
    EXPECT_EQ(decoded->GetDataSize(), 4410u * 2 * 2);
}

TEST_F(ResourcesFile, StreamsOpenOggFilesWithTheirRingSize)
{
    const std::string ogg = dir.File("music.ogg");
    ASSERT_TRUE(WriteOggVorbis(ogg, ToneSamples(4410, 1, 44100, 440.0), 1, 44100));
    Load("<r><stream name='default' file='" + ogg + "'/><stream name='short' size='100' file='" + ogg +
         "'/><stream name='huge' size='2000000000' file='" + ogg + "'/><stream name='wav' file='" + picture +
         "'/><heightmap name='ground' file='" + picture + "'/></r>");
    EXPECT_EQ(manager.GetCount(), 4u); // the .png stream made nothing; the heightmap a model
    auto* normal = dynamic_cast<CSoundStream*>(manager.Find("default"));
    ASSERT_NE(normal, nullptr);
    EXPECT_TRUE(normal->HasDecoder());
    EXPECT_EQ(normal->GetDataSize(), 44100u * 500 * 16 / 1000);
    EXPECT_EQ(dynamic_cast<CSoundStream*>(manager.Find("short"))->GetDataSize(), 44100u * 100 * 16 / 1000);
    EXPECT_EQ(dynamic_cast<CSoundStream*>(manager.Find("huge"))->GetDataSize(),
              44100ull * CResourceManager::kMaxStreamSize * 16 / 1000);
}

TEST(ResourceManager, FindSearchesItsOwnResourcesThenItsLinksInOrder)
{
    CResourceManager app, shared, scene;
    auto make = [](CResourceManager& owner, const char* name) {
        auto* sound = new CSound;
        sound->name = name;
        owner.Add(sound);
        return sound;
    };
    CSound* own = make(scene, "click");
    make(app, "click");
    CSound* fromApp = make(app, "music");
    make(shared, "music");
    CSound* deep = make(shared, "wind");
    scene.Link(&app);
    scene.Link(&shared);
    scene.Link(&scene); // ignored
    app.Link(&shared);
    shared.Link(&scene); // a cycle: searched once
    EXPECT_EQ(scene.GetLinkCount(), 2u);
    EXPECT_EQ(scene.Find("click"), own);
    EXPECT_EQ(scene.Find("music"), fromApp);
    EXPECT_EQ(app.Find("wind"), deep);
    EXPECT_EQ(scene.Find("nothing"), nullptr);
    EXPECT_EQ(scene.Find("Click"), nullptr);

    scene.Clear();
    EXPECT_EQ(scene.GetCount(), 0u);
    EXPECT_EQ(scene.Find("music"), nullptr); // links forgotten
    EXPECT_EQ(app.Find("music"), fromApp);   // linked managers untouched
}

TEST(ResourceManager, MissingOrDamagedFilesLoadWhatTheyHold)
{
    TempDir dir;
    CResourceManager manager;
    manager.SetUploadTextures(false);
    manager.Load(dir.File("absent.xml").c_str());
    EXPECT_EQ(manager.GetCount(), 0u);
    const std::string picture = dir.File("p.png");
    WriteSolidPng(picture, 2, 2, 0xFFFFFFFF);
    WriteFileBytes(dir.File("cut.xml"), "<r><x name='p' file='" + picture + "'/><x name='q' fi");
    manager.Load(dir.File("cut.xml").c_str());
    EXPECT_NE(manager.Find("p"), nullptr);
}

} // namespace
