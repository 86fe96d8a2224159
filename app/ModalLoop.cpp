#include "app/ModalLoop.h"

#include "media/ResourceManager.h"
#include "media/Sprite.h"

CModalInput::CModalInput()
{
    MoveConnections(GetMouseSignal(), m_mouse);
    MoveConnections(GetKeyboardSignal(), m_keys);
    MoveConnections(GetShortcutSignal(), m_shortcuts); // no command runs under the dialog
}

CModalInput::~CModalInput()
{
    MoveConnections(m_mouse, GetMouseSignal());
    MoveConnections(m_keys, GetKeyboardSignal());
    MoveConnections(m_shortcuts, GetShortcutSignal());
}

const CSprite* FindDialogFont(CResourceManager* resources)
{
    return resources ? dynamic_cast<const CSprite*>(resources->Find("font")) : nullptr;
}
