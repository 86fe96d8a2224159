// A made-up font for widget tests: a sprite whose frames are named by their characters, with
// widths that are easy to add up, cut from one texture that is never uploaded (so no OpenGL
// context is needed). Cells are kGlyphHeight high; capitals are 6 wide, small letters 4
// (i is 2), digits 5, the space 4, '.' 2, '-' 3 and '*' 5. Other characters have no glyph.
#pragma once

#include "media/Sprite.h"
#include "media/Texture.h"

#include <cstdint>
#include <string>

constexpr int32_t kGlyphHeight = 10;

inline int32_t TestGlyphWidth(char c)
{
    if (c >= 'A' && c <= 'Z')
        return 6;
    if (c == 'i')
        return 2;
    if (c >= 'a' && c <= 'z')
        return 4;
    if (c >= '0' && c <= '9')
        return 5;
    switch (c) {
    case ' ': return 4;
    case '.': return 2;
    case '-': return 3;
    case '*': return 5;
    default: return 0;
    }
}

// The glyph sprite over texture (not owned), named name. Frame 0 is "A".
inline CSprite* NewGlyphSprite(CTexture* texture, const char* name = "glyphs")
{
    auto* sprite = new CSprite;
    sprite->name = name;
    std::string characters;
    for (int c = 'A'; c <= 'Z'; ++c)
        characters += static_cast<char>(c);
    characters += "abcdefghijklmnopqrstuvwxyz0123456789 .-*";
    int32_t x = 0;
    for (char c : characters) {
        sprite->AddFrame(String(&c, 1), x, 0, TestGlyphWidth(c), kGlyphHeight, 0, texture);
        x += TestGlyphWidth(c);
    }
    return sprite;
}
