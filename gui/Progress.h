// CProgress: the progress bar. Its own quad is the background; a fill element in front grows
// from the left with the percent, showing the left part of its image rather than stretching
// it. The percent follows the value as value / (max − min), the limits compared unsigned.
// Needs no OpenGL context except to Render.
#pragma once

#include "gui/GUI.h"

#include <cstdint>

class CProgress : public CGUI {
public:
    // Enabled, range 0 to 0, value 0, percent 0.
    CProgress();
    CProgress(const CProgress& other);

    // The background, then the fill one step in front.
    void Render() override;
    // The common attributes, then "min" and "max" (ints; the value is clamped again); the
    // fill takes the bar's rotation.
    void LoadFromNode(CXMLNode& node) override;
    // The bar and the fill take the sprite; then SetFrame(0).
    void SetSprite(const CSprite& sprite) override;
    // Base frame b: the bar shows b, the fill b + 1.
    void SetFrame(uint32_t index) override;

    // CopyFrom, then the percent, the fill, the value and the range.
    void Assign(const CProgress& other);

    // percent is clamped to [0, 100] (NaN gives 0); the fill becomes that share of the bar's
    // width and, with a textured frame, of its image's width; onProgress(percent).
    void SetPercent(float percent);
    float GetPercent() const { return m_percent; }
    // value is clamped to [min, max], both compared unsigned (negative limits act as huge
    // numbers). Unless max equals min, the percent becomes value / (max − min) × 100, both
    // taken unsigned: the minimum is not subtracted from the value.
    void SetValue(uint32_t value);
    uint32_t GetValue() const { return m_value; }
    // Stores the limits, then SetValue(value).
    void SetRange(int32_t min, int32_t max);
    int32_t GetMin() const { return m_min; }
    int32_t GetMax() const { return m_max; }

    CGUI& GetFill() { return m_fill; }

    CSignal<float> onProgress; // after every SetPercent, with the percent

private:
    void OnResize(float width, float height);
    // The fill's texture shows the percent's share of its frame.
    void ScaleFillTexture();

    float m_percent = 0.0f;
    uint32_t m_value = 0;
    int32_t m_min = 0;
    int32_t m_max = 0;
    CGUI m_fill;
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
