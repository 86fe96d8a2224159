// CResource: the base of every loaded asset (images, textures, sprites, sounds, streams,
// models). Holds the lookup name, the file it came from and the kind number each derived
// class sets. Resource managers own resources and delete them through this base.
#pragma once

#include "util/String.h"

#include <cstdint>

enum ResourceKind : int32_t {
    ResourceNone = 0,
    ResourceImage = 1,   // CImage and CTexture
    ResourceSprite = 2,
    ResourceSound = 3,
    ResourceStream = 4,
    ResourceModel = 5,
};

class CResource {
public:
    virtual ~CResource() = default;

    String name;       // the lookup key
    String file;       // the path it was read from
    int32_t kind = ResourceNone;

protected:
    CResource() = default;
    CResource(const CResource&) = default;
    CResource& operator=(const CResource&) = default;
};
