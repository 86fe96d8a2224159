// Scenes: one screen of the program with its own resources file, GUI description and
// playback buffers (CScene), the generic scene with lists of things to animate and draw and
// switching by name (CSceneGeneric), and the scene manager that owns the resources shared by
// all scenes and switches scenes at frame boundaries (CSceneManager).
// The manager does not own its scenes or the resource managers registered with it; it owns
// the shared playback buffer sets it makes. Main thread only.
#pragma once

#include "events/Signal.h"
#include "gui/GUIManager.h"
#include "media/Draw.h"
#include "media/Random.h"
#include "media/ResourceManager.h"
#include "sound/SoundBuffer.h"
#include "util/String.h"

#include <cstdint>
#include <memory>
#include <vector>

class CGUI;
class CModel;
class CSceneManager;

class CScene {
public:
    CScene(const String& name, const String& resourcesFile, const String& guiFile);
    // Emits left, leaves its manager (which then forgets it), then frees the members.
    virtual ~CScene();
    CScene(const CScene&) = delete;
    CScene& operator=(const CScene&) = delete;

    // Loads what an earlier Enter has not left in place (resources, GUI, buffers), links the
    // manager's shared resources and sets, then emits entered.
    virtual void Enter();
    // Empties the resources, the GUI and the buffers, then emits left.
    virtual void Leave();
    // The per-frame step: draws the scene's GUI.
    virtual void Update();

    const String& GetName() const { return m_name; }
    const String& GetResourcesFile() const { return m_resourcesFile; }
    const String& GetGuiFile() const { return m_guiFile; }
    CSceneManager* GetManager() const { return m_manager; }
    CResourceManager& GetResources() { return m_resources; }
    CGUIManager& GetGUI() { return m_gui; }
    CSoundBufferSet& GetBuffers() { return m_buffers; }

    CSignal<> entered;
    CSignal<> left;

private:
    friend class CSceneManager;

    String m_name;
    String m_resourcesFile;
    String m_guiFile;
    CSceneManager* m_manager = nullptr;
    CResourceManager m_resources;
    CGUIManager m_gui;
    CSoundBufferSet m_buffers;
};

// A drawable that is advanced by a step each frame before it is drawn.
class CSteppedDraw : public CDraw {
public:
    virtual void Step(float amount) = 0;
};

class CSceneGeneric : public CScene {
public:
    CSceneGeneric(const String& name, const String& resourcesFile, const String& guiFile);
    ~CSceneGeneric() override;

    // Deletes the three lists' items, then leaves.
    void Leave() override;
    // Animates and draws the lists, draws the GUI, then asks for the pending scene. While a
    // sprite has more than one frame or any stepped item exists, asks for the next frame.
    void Update() override;

    // The scene to switch to (empty: none), handed to the manager at the end of the next
    // Update, whose frame this asks for.
    void SetPendingScene(const String& name);
    CMersenneTwister& GetRandom() { return *m_random; }

    // Owned items, animated and drawn in every drawn frame, in these orders.
    std::vector<CGUI*> sprites;
    std::vector<CModel*> models;
    std::vector<CSteppedDraw*> stepped;

    // The seed made from the current date and time (UTC seconds since 1970 with 365-day
    // years, one hour added while daylight-saving time is in effect).
    static uint32_t DateTimeSeed();

private:
    void DeleteItems();

    String m_pendingScene;
    std::unique_ptr<CMersenneTwister> m_random;
};

class CSceneManager {
public:
    CSceneManager() = default;
    // Leaves the current scene; scenes that outlive the manager are detached from it.
    ~CSceneManager();
    CSceneManager(const CSceneManager&) = delete;
    CSceneManager& operator=(const CSceneManager&) = delete;

    // Shares resources with every scene, and makes a playback buffer set for its sounds.
    void RegisterResources(CResourceManager* resources);
    void AddScene(CScene* scene);
    // The switch happens at the next Step, whose frame is asked for; out of range or unknown
    // names change nothing.
    void SelectScene(uint32_t index);
    void SelectScene(const String& name);
    CSoundBufferSet* GetSharedSet(uint32_t index) const;
    // Once per frame: a pending switch (leave, enter, scene-changed), then the current
    // scene's Update.
    void Step();

    CScene* GetCurrentScene() const { return m_current; }
    uint32_t GetSceneCount() const { return static_cast<uint32_t>(m_scenes.size()); }
    const std::vector<CResourceManager*>& GetSharedResources() const { return m_sharedResources; }
    uint32_t GetSharedSetCount() const { return static_cast<uint32_t>(m_sharedSets.size()); }

    CSignal<const String&> sceneChanged;

private:
    friend class CScene;
    // A scene being destroyed: no longer listed, current or pending.
    void Forget(CScene* scene);

    std::vector<CResourceManager*> m_sharedResources;
    std::vector<std::unique_ptr<CSoundBufferSet>> m_sharedSets;
    std::vector<CScene*> m_scenes;
    CScene* m_current = nullptr;
    int32_t m_pending = -1;
};
