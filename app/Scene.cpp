// Index: [SECTION] Scene  [SECTION] Generic scene  [SECTION] Scene manager
#include "app/Scene.h"

#include "events/FrameTick.h"
#include "gui/GUI.h"
#include "media/Model.h"

#include <algorithm>
#include <ctime>

namespace {

// Adds every sound and stream of resources to set.
void AddSounds(CResourceManager& resources, CSoundBufferSet& set)
{
    for (uint32_t i = 0; i < resources.GetCount(); ++i) {
        CResource* resource = resources.Get(i);
        if (resource && (resource->kind == ResourceSound || resource->kind == ResourceStream))
            set.Add(static_cast<CSound*>(resource));
    }
}

} // namespace

// [SECTION] Scene

CScene::CScene(const String& name, const String& resourcesFile, const String& guiFile)
    : m_name(name), m_resourcesFile(resourcesFile), m_guiFile(guiFile)
{
}

CScene::~CScene()
{
    left.Emit();
    if (m_manager)
        m_manager->Forget(this);
}

void CScene::Enter()
{
    if (m_resources.GetCount() == 0 && !m_resourcesFile.IsEmpty())
        m_resources.Load(m_resourcesFile);
    if (m_manager)
        for (CResourceManager* shared : m_manager->GetSharedResources())
            m_resources.Link(shared);
    if (m_gui.GetElementCount() == 0 && !m_guiFile.IsEmpty())
        m_gui.LoadDescription(m_guiFile, m_resources);
    if (m_buffers.Count() == 0) {
        EnsureDevice();
        AddSounds(m_resources, m_buffers);
    }
    if (m_manager)
        for (uint32_t i = 0; i < m_manager->GetSharedSetCount(); ++i)
            m_buffers.Link(m_manager->GetSharedSet(i));
    entered.Emit();
}

void CScene::Leave()
{
    m_resources.Clear();
    m_gui.DeleteAll();
    m_buffers.Clear();
    left.Emit();
}

void CScene::Update() { m_gui.RenderAll(); }

// [SECTION] Generic scene

uint32_t CSceneGeneric::DateTimeSeed()
{
    std::time_t now = std::time(nullptr);
    std::tm utc{}, local{};
    gmtime_r(&now, &utc);
    localtime_r(&now, &local);
    const uint64_t hours = static_cast<uint64_t>(utc.tm_hour) + (local.tm_isdst > 0 ? 1 : 0);
    const uint64_t days = static_cast<uint64_t>(utc.tm_year + 1900 - 1970) * 365 + static_cast<uint64_t>(utc.tm_yday);
    const uint64_t seconds = ((days * 24 + hours) * 60 + static_cast<uint64_t>(utc.tm_min)) * 60 +
                             static_cast<uint64_t>(utc.tm_sec);
    return static_cast<uint32_t>(seconds);
}

CSceneGeneric::CSceneGeneric(const String& name, const String& resourcesFile, const String& guiFile)
    : CScene(name, resourcesFile, guiFile), m_random(std::make_unique<CMersenneTwister>())
{
    m_random->Seed(DateTimeSeed());
}

CSceneGeneric::~CSceneGeneric()
{
    m_random.reset();
    DeleteItems();
}

void CSceneGeneric::DeleteItems()
{
    for (CGUI* item : sprites)
        delete item;
    for (CModel* item : models)
        delete item;
    for (CSteppedDraw* item : stepped)
        delete item;
    sprites.clear();
    models.clear();
    stepped.clear();
}

void CSceneGeneric::Leave()
{
    DeleteItems();
    CScene::Leave();
}

void CSceneGeneric::SetPendingScene(const String& name)
{
    m_pendingScene = name;
    RequestRedraw(); // the switch happens in the next frame's Update
}

void CSceneGeneric::Update()
{
    bool animated = !stepped.empty(); // stepped items move on every frame
    for (CGUI* element : sprites) {
        CSprite& sprite = element->GetSprite();
        sprite.Animate(AppTime());
        animated = animated || sprite.FrameCount() > 1;
        element->Render();
    }
    for (CModel* model : models)
        model->shape.Draw();
    for (CSteppedDraw* item : stepped) {
        item->Step(30.0f);
        item->Draw();
    }
    if (animated)
        RequestRedraw();
    CScene::Update();
    if (!m_pendingScene.IsEmpty()) {
        if (GetManager())
            GetManager()->SelectScene(m_pendingScene);
        m_pendingScene.Clear();
    }
}

// [SECTION] Scene manager

CSceneManager::~CSceneManager()
{
    if (m_current)
        m_current->Leave();
    for (CScene* scene : m_scenes)
        scene->m_manager = nullptr;
}

void CSceneManager::Forget(CScene* scene)
{
    auto it = std::find(m_scenes.begin(), m_scenes.end(), scene);
    if (it == m_scenes.end())
        return;
    const int32_t index = static_cast<int32_t>(it - m_scenes.begin());
    m_scenes.erase(it);
    if (m_current == scene)
        m_current = nullptr;
    if (m_pending == index)
        m_pending = -1;
    else if (m_pending > index)
        --m_pending;
}

void CSceneManager::RegisterResources(CResourceManager* resources)
{
    if (!resources)
        return;
    m_sharedResources.push_back(resources);
    m_sharedSets.push_back(std::make_unique<CSoundBufferSet>());
    EnsureDevice();
    AddSounds(*resources, *m_sharedSets.back());
}

void CSceneManager::AddScene(CScene* scene)
{
    if (!scene)
        return;
    scene->m_manager = this;
    m_scenes.push_back(scene);
}

void CSceneManager::SelectScene(uint32_t index)
{
    if (index < m_scenes.size()) {
        m_pending = static_cast<int32_t>(index);
        RequestRedraw(); // the switch happens in the next frame's Step
    }
}

void CSceneManager::SelectScene(const String& name)
{
    for (size_t i = 0; i < m_scenes.size(); ++i)
        if (m_scenes[i]->GetName() == name) {
            SelectScene(static_cast<uint32_t>(i));
            return;
        }
}

CSoundBufferSet* CSceneManager::GetSharedSet(uint32_t index) const
{
    return index < m_sharedSets.size() ? m_sharedSets[index].get() : nullptr;
}

void CSceneManager::Step()
{
    if (m_pending >= 0 && static_cast<size_t>(m_pending) < m_scenes.size()) {
        if (m_current)
            m_current->Leave();
        m_current = m_scenes[static_cast<size_t>(m_pending)];
        m_pending = -1;
        m_current->Enter();
        sceneChanged.Emit(m_current->GetName());
    }
    if (m_current)
        m_current->Update();
}
