// Index: [SECTION] Layout  [SECTION] Scrolling  [SECTION] Mouse  [SECTION] Drawing
#include "app/VoiceArea.h"

#include "events/Input.h"
#include "gui/GUIManager.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kBarDepth = 20.0f; // in front of the panels (depth 10 to 13)

// An untextured look lit only by its emission, as the window's backdrop is drawn.
void SetFlatColour(CShape& shape, float grey)
{
    const float emission[4] = {grey, grey, grey + 0.02f, 0.0f};
    const float none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::copy(emission, emission + 4, shape.material.emission);
    std::copy(none, none + 4, shape.material.ambient);
    std::copy(black, black + 4, shape.material.diffuse);
}

constexpr float kTrackGrey = 0.13f;
constexpr float kThumbGrey = 0.40f;
constexpr float kThumbHotGrey = 0.55f; // under the pointer or dragged

} // namespace

CVoiceArea::CVoiceArea(const PanelList& panels) : m_panels(panels)
{
    // A bare track and thumb: the arrows take no room and are never hit.
    for (CButton* arrow : {&m_bar.GetDecreaseButton(), &m_bar.GetIncreaseButton()}) {
        arrow->SetSize(kBarWidth, 0.0f);
        arrow->SetVisible(false);
    }
    SetFlatColour(m_bar, kTrackGrey);
    SetFlatColour(m_bar.GetThumb(), kThumbGrey);
    m_bar.SetZ(kBarDepth);
    m_bar.SetIncrement(kWheelStep);
    m_bar.SetVisible(false);
    m_slots.Connect(m_bar.onValue, this, &CVoiceArea::OnBarValue);
    m_slots.Connect(GetMouseSignal(), this, &CVoiceArea::OnMouse);
}

// [SECTION] Layout

void CVoiceArea::SetBounds(float top, float firstRow, float width, float height)
{
    m_top = top;
    m_firstRow = firstRow;
    m_width = width;
    m_height = height;
    m_maxScroll = std::max(0.0f, m_contentBottom + kGap - m_height);
    m_scroll = std::min(m_scroll, m_maxScroll);
    PlacePanels();
    PlaceBar();
}

uint32_t CVoiceArea::Stack(float limit, bool place)
{
    if (place)
        m_places.assign(m_panels.size(), CVector(0.0f, 0.0f));
    float x = kLeft, y = m_firstRow, bottom = m_firstRow;
    uint32_t columns = 0;
    bool columnEmpty = true;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        const COscilloscope& panel = *m_panels[i];
        const float height = panel.GetHeight();
        if (columns == 0) {
            columns = 1;
        } else if (!columnEmpty && limit < y + height) {
            x += panel.GetWidth() + kGap;
            y = m_firstRow;
            ++columns;
        }
        if (place) {
            m_places[i] = CVector(x, y);
            bottom = std::max(bottom, y + height);
        }
        y += height + kGap;
        columnEmpty = false;
    }
    if (place)
        m_contentBottom = bottom;
    return columns;
}

void CVoiceArea::Layout()
{
    m_columns = 0;
    if (m_panels.empty()) {
        m_places.clear();
        m_contentBottom = m_firstRow;
    } else {
        const float columnWidth = COscilloscope::kWidth + kGap;
        const float room = std::floor((m_width - kBarWidth - kLeft) / columnWidth);
        const uint32_t fit = room >= 1.0f ? static_cast<uint32_t>(std::min(room, 1.0e6f)) : 1u;
        float limit = m_height;
        if (Stack(limit, false) > fit) {
            // Taller columns never need more of them: search the least height that needs
            // no more than fit (one column holding everything always does).
            float low = limit, high = m_firstRow;
            for (const auto& panel : m_panels)
                high += panel->GetHeight() + kGap;
            high = std::max(high, low + 1.0f);
            while (high - low > 1.0f) {
                const float middle = std::floor((low + high) / 2.0f);
                if (middle <= low)
                    break;
                if (Stack(middle, false) > fit)
                    low = middle;
                else
                    high = middle;
            }
            limit = high;
        }
        // The columns share the width left of the bar: the panels widen to fill it.
        const float share = std::floor((m_width - kBarWidth - kLeft) / static_cast<float>(Stack(limit, false))) - kGap;
        for (const auto& panel : m_panels)
            panel->SetWidth(std::min(share, kMaxPanelWidth));
        m_columns = Stack(limit, true);
    }
    m_maxScroll = std::max(0.0f, m_contentBottom + kGap - m_height);
    m_scroll = std::min(m_scroll, m_maxScroll);
    PlacePanels();
    PlaceBar();
}

void CVoiceArea::GetPanelClip(float clip[4]) const
{
    clip[0] = 0.0f;
    clip[1] = m_top;
    clip[2] = std::max(0.0f, m_width - kBarWidth);
    clip[3] = std::max(0.0f, m_height - m_top);
}

void CVoiceArea::PlacePanels()
{
    float clip[4];
    GetPanelClip(clip);
    const size_t count = std::min(m_places.size(), m_panels.size());
    for (size_t i = 0; i < count; ++i) {
        COscilloscope& panel = *m_panels[i];
        panel.SetPosition(m_places[i].x, m_places[i].y - m_scroll);
        panel.SetClip(clip[0], clip[1], clip[2], clip[3]);
    }
}

void CVoiceArea::PlaceBar()
{
    m_settingBar = true;
    const float height = std::max(0.0f, m_height - m_top);
    m_bar.SetPosition(m_width - kBarWidth, m_top);
    m_bar.SetSize(kBarWidth, height);
    // The thumb is to the track what the area is to everything there is to see.
    const float shown = height / (height + m_maxScroll);
    m_bar.GetThumb().SetSize(kBarWidth, std::clamp(height * shown, std::min(kMinThumb, height), height));
    m_bar.SetRange(0.0f, m_maxScroll);
    m_bar.SetValue(m_scroll);
    m_bar.SetVisible(m_maxScroll > 0.0f);
    m_settingBar = false;
}

// [SECTION] Scrolling

void CVoiceArea::ScrollTo(float offset)
{
    const float scroll = std::clamp(std::round(offset), 0.0f, m_maxScroll);
    if (!(scroll == scroll))
        return;
    m_scroll = scroll;
    PlacePanels();
    m_settingBar = true;
    m_bar.SetValue(m_scroll);
    m_settingBar = false;
}

void CVoiceArea::ShowPanel(size_t index)
{
    if (index >= m_places.size() || index >= m_panels.size())
        return;
    const float top = m_places[index].y, bottom = top + m_panels[index]->GetHeight();
    float scroll = m_scroll;
    if (bottom + kGap - scroll > m_height)
        scroll = bottom + kGap - m_height;
    if (top - scroll < m_firstRow)
        scroll = top - m_firstRow;
    ScrollTo(scroll);
}

void CVoiceArea::ApplyWheel()
{
    if (m_pendingWheel == 0)
        return;
    // Away from the user (positive) shows what lies above.
    const float notches = static_cast<float>(m_pendingWheel) / 120.0f;
    m_pendingWheel = 0;
    ScrollTo(m_scroll - notches * kWheelStep);
}

void CVoiceArea::OnBarValue(float value)
{
    if (m_settingBar)
        return;
    const float scroll = std::clamp(std::round(value), 0.0f, m_maxScroll);
    if (scroll == scroll) {
        m_scroll = scroll;
        PlacePanels();
    }
}

// [SECTION] Mouse

bool CVoiceArea::InArea(int32_t x, int32_t y) const
{
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    return fx >= 0.0f && fx < m_width && fy >= m_top && fy < m_height;
}

void CVoiceArea::OnMouse(CInputMap& event)
{
    if (event.action == InputWheel) {
        const CVector at = GetMousePosition();
        const int32_t x = PixelOf(at.x), y = PixelOf(at.y);
        if (m_maxScroll <= 0.0f || !InArea(x, y))
            return;
        for (const auto& panel : m_panels)
            if (panel->TakesWheelAt(x, y))
                return; // a focused slider under the pointer takes it
        const int64_t pending = static_cast<int64_t>(m_pendingWheel) + event.value;
        m_pendingWheel = static_cast<int32_t>(std::clamp<int64_t>(pending, -1200000, 1200000));
        return;
    }
    const int32_t x = PixelOf(event.position.x), y = PixelOf(event.position.y);
    const bool press = event.action == InputPress || event.action == InputDoubleClick;
    if (press) {
        // The bar lies in front of the panels: a press on it is not theirs.
        const bool onBar = !event.handled && m_bar.IsVisible() && m_bar.HitTest(x, y);
        if (onBar) {
            event.handled = true;
            CGUI::SetPointerCapture(&m_bar);
        }
        m_bar.RouteInput(event); // the focus; the thumb's drag
        if (onBar && event.button == MouseLeft && !m_bar.GetThumb().HitTest(x, y)) {
            // A click on the track pages towards it.
            const float page = std::max(kWheelStep, m_height - m_top - kGap);
            const bool above = static_cast<float>(y) < m_bar.GetThumb().GetAbsolutePosition().y;
            ScrollTo(m_scroll + (above ? -page : page));
        }
        return;
    }
    if (event.action == InputRelease && CGUI::GetPointerCapture() == &m_bar)
        CGUI::SetPointerCapture(nullptr);
    if (!m_bar.HasFocus())
        return;
    // The bar's own routing: the thumb's drag. The wheel never steps it: that is the area's,
    // above.
    m_bar.RouteInput(event);
}

// [SECTION] Drawing

void CVoiceArea::Render()
{
    ApplyWheel();
    for (const auto& panel : m_panels) {
        const float y = panel->GetY();
        if (y + panel->GetHeight() > m_top && y < m_height && panel->GetX() < m_width)
            panel->Render();
    }
    if (!m_bar.GetVisibleFlag())
        return;
    CButton& thumb = m_bar.GetThumb();
    SetFlatColour(thumb, thumb.IsDragging() || thumb.IsMouseOver() ? kThumbHotGrey : kThumbGrey);
    m_bar.Render();
}

void CVoiceArea::MinimumWindowSize(const CGUIManager& gui, const CGUI* controlBar, float barBottom, float firstRow,
                                   int32_t& width, int32_t& height)
{
    float right = 0.0f;
    for (uint32_t i = 0; i < gui.GetElementCount(); ++i) {
        const CGUI* element = gui.GetElement(i);
        // Backgrounds (plain elements: the bar, the project strip) stretch with the window.
        if (!element || element == controlBar || element->GetKind() == GUIPlain || !element->IsVisible())
            continue;
        const CVector at = element->GetAbsolutePosition();
        if (at.x < 0.0f || at.y < 0.0f || at.y >= barBottom)
            continue; // templates off-screen, elements below the bar
        right = std::max(right, at.x + element->GetWidth());
    }
    const float oneColumn = kLeft + COscilloscope::kWidth + kGap + kBarWidth;
    width = static_cast<int32_t>(std::ceil(std::min(std::max(right + kGap, oneColumn), 16384.0f)));
    height = static_cast<int32_t>(std::ceil(std::clamp(firstRow, 0.0f, 8192.0f) + COscilloscope::kPanelHeight + kGap));
}

bool CVoiceArea::ShowPlayhead(double seconds, bool wrap)
{
    bool moved = false;
    for (const auto& panel : m_panels)
        moved = panel->SetPlayhead(seconds, wrap) || moved;
    return moved;
}
