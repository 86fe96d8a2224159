// What the composite-widget tests share: resources holding the made-up glyph font
// ("glyphs") and a 16-pixel scroll bar sprite ("bar": the track, then 16 × 16 frames), a
// manager loaded from description text, and the mouse driven through the process-wide signal.
#pragma once

#include "GlyphSprite.h"

#include "events/Input.h"
#include "gui/GUIManager.h"
#include "media/ResourceManager.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

class WidgetKit {
public:
    WidgetKit()
    {
        auto* texture = new CTexture;
        texture->name = "glyph picture";
        resources.Add(texture);
        resources.Add(NewGlyphSprite(texture, "glyphs"));
        auto* bar = new CSprite;
        bar->name = "bar";
        bar->AddFrame("", 0, 0, 16, 100, 0, nullptr);
        for (int i = 0; i < 16; ++i)
            bar->AddFrame("", 0, 0, 16, 16, 0, nullptr);
        resources.Add(bar);
    }

    // Loads the elements of description text; false when the text does not parse.
    bool Load(const char* text)
    {
        CXMLDocument document;
        if (!document.Parse(text))
            return false;
        manager.LoadElements(document, resources);
        return true;
    }

    template <class T>
    T* Find(const char* name)
    {
        return dynamic_cast<T*>(manager.FindElement(name));
    }

    static void Move(int32_t x, int32_t y) { EmitMouseMove(x, y); }
    static void Press(int32_t x, int32_t y)
    {
        EmitMouseMove(x, y);
        EmitMouseButton(MouseLeft, InputPress);
    }
    static void Release(int32_t x, int32_t y)
    {
        EmitMouseMove(x, y);
        EmitMouseButton(MouseLeft, InputRelease);
    }
    static void Click(int32_t x, int32_t y)
    {
        Press(x, y);
        EmitMouseButton(MouseLeft, InputRelease);
    }

    CResourceManager resources;
    CGUIManager manager;
};
