// CVoiceArea: the part of the main scene's window below the control bar where the voice
// panels stand. It stacks the panels in columns, as many columns as fit the window's width,
// and scrolls them vertically when they do not fit: the wheel anywhere over the area, or the
// scroll bar at the area's right edge (a CScroll: drag the thumb, click the track to page).
// Panels are clipped to the area, for drawing and for presses, so that one scrolled under the
// control bar neither covers nor takes its clicks. The area reads the scene's panel list and
// owns none of them; the list must outlive it. Needs no OpenGL context except to Render.
// Main thread only.
#pragma once

#include "app/Oscilloscope.h"
#include "gui/Scroll.h"

#include <cstdint>
#include <memory>
#include <vector>

class CGUIManager;

class CVoiceArea {
public:
    using PanelList = std::vector<std::unique_ptr<COscilloscope>>;

    static constexpr float kLeft = 10.0f;      // the first column's x
    static constexpr float kGap = 10.0f;       // between panels, between columns, below the last
    static constexpr float kBarWidth = 14.0f;  // the scroll bar, always kept free of panels
    static constexpr float kMinThumb = 24.0f;  // the thumb's least height
    static constexpr float kWheelStep = 48.0f; // pixels per wheel notch (120 units)
    static constexpr float kUnbounded = 1.0e6f; // a side without a window
    static constexpr float kMaxPanelWidth = 1000.0f; // the widest a panel grows

    // Listens to the mouse signal from now on; unbounded, no panels placed yet.
    explicit CVoiceArea(const PanelList& panels);
    CVoiceArea(const CVoiceArea&) = delete;
    CVoiceArea& operator=(const CVoiceArea&) = delete;

    // The area runs from top (the control bar's bottom) to the window's height, across the
    // window's width; the first row of panels stands at firstRow when not scrolled. The bar
    // and the panels' clips follow at once; the columns at the next Layout.
    void SetBounds(float top, float firstRow, float width, float height);
    // Stacks the panels in list order down a column from firstRow, 10 apart, and starts the
    // next column when a panel would pass the window's bottom, from x = 10, 10 between
    // columns, as many columns of COscilloscope::kWidth as fit left of the bar (at least one).
    // Panels left over then make every column taller, as little as lets them all fit, and the
    // area scrolls. The panels then widen (COscilloscope::SetWidth, at most kMaxPanelWidth) to
    // share the width left of the bar between the columns used. Keeps the scroll position
    // (clamped) and shows the bar only when there is something to scroll.
    void Layout();

    // Scrolls to offset pixels (clamped to 0 .. GetMaxScroll) and moves the panels.
    void ScrollTo(float offset);
    // The least scroll that shows panel index whole (its top when it is taller than the
    // area); nothing for an index past the list.
    void ShowPanel(size_t index);
    float GetScroll() const { return m_scroll; }
    float GetMaxScroll() const { return m_maxScroll; }
    uint32_t GetColumnCount() const { return m_columns; }
    CScroll& GetBar() { return m_bar; }
    // The rectangle the panels are clipped to (client pixels): x, y, width, height.
    void GetPanelClip(float clip[4]) const;

    // Every panel's playhead at seconds into the mix (COscilloscope::SetPlayhead; negative
    // hides them). True when one moved on screen.
    bool ShowPlayhead(double seconds, bool wrap);

    // Scrolls by the wheel turns heard since the last call. A turn is only recorded when it
    // happens: it is applied here, after every listener has seen the pointer where it was.
    void ApplyWheel();
    // ApplyWheel, then the panels that reach into the area, then the bar.
    void Render();

    // The smallest window that shows every element of the description standing in the
    // control bar (from y = 0 to barBottom; controlBar and other plain backgrounds aside), 10 to spare, and one
    // row of panels below firstRow.
    static void MinimumWindowSize(const CGUIManager& gui, const CGUI* controlBar, float barBottom, float firstRow,
                                  int32_t& width, int32_t& height);

private:
    // Places the panels for limit (a column's bottom edge); the number of columns used.
    uint32_t Stack(float limit, bool place);
    void PlacePanels();
    void PlaceBar();
    void OnMouse(CInputMap& event);
    void OnBarValue(float value);
    bool InArea(int32_t x, int32_t y) const;

    const PanelList& m_panels;
    std::vector<CVector> m_places; // each panel's place when not scrolled (x, y)
    float m_top = 0.0f, m_firstRow = 0.0f, m_width = kUnbounded, m_height = kUnbounded;
    float m_scroll = 0.0f;
    float m_maxScroll = 0.0f;
    float m_contentBottom = 0.0f; // the lowest panel bottom, not scrolled
    uint32_t m_columns = 0;
    int32_t m_pendingWheel = 0;   // wheel units not yet applied
    bool m_settingBar = false;    // the area moves the bar: its value is not a request
    CScroll m_bar;
    CSlotList m_slots;
};
