#include "app/ModalLoop.h"

#include "media/ResourceManager.h"
#include "media/Sprite.h"

const CSprite* FindDialogFont(CResourceManager* resources)
{
    return resources ? dynamic_cast<const CSprite*>(resources->Find("font")) : nullptr;
}
