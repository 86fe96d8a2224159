// The progress box: a long task's window in the program's own look (gui/DialogLook.h), with a
// line of text, a progress bar and a Cancel button, centred over the application and laid over
// it with a dimming layer. It only shows what its owner sets and records Cancel; the owner
// runs the task and the modal loop (app/ExportLoop.h). While a view exists it listens to the
// mouse and the keyboard, so whoever shows it opens an input capture (CInputCapture) first. Geometry is
// in client pixels.
#pragma once

#include "events/Signal.h"
#include "util/String.h"

#include <cstdint>
#include <memory>

class CButton;
class CFont;
class CGUI;
class CGUIManager;
class CInputMap;
class CProgress;
class CSprite;
class CWindow;

// Cancel is chosen by a click on it, Enter, Space or Escape (not their auto-repeat, so that a
// key held from before the box appeared cannot cancel) and the window's close button.
class CProgressView {
public:
    static constexpr float kWidth = 400.0f;

    // font: the glyph sprite the texts are written with (null: undrawn); it must outlive the
    // view. text is one short line (it is not wrapped).
    CProgressView(const String& title, const String& text, const CSprite* font);
    ~CProgressView();
    CProgressView(const CProgressView&) = delete;
    CProgressView& operator=(const CProgressView&) = delete;

    // Centres the box in a client area of that size; the dimming layer covers the area.
    void Place(int32_t clientWidth, int32_t clientHeight);
    // The dimming layer and the box over whatever is drawn already (an overlay pass).
    void DrawOverlay();

    // The bar shows share (clamped to [0, 1]) of the task done.
    void SetProgress(float share);
    float GetProgress() const;
    void Cancel() { m_cancelled = true; }
    bool IsCancelled() const { return m_cancelled; }
    // A mouse button went down while the view listened and has not come up yet.
    bool IsButtonHeld() const { return m_buttonsHeld > 0; }

    CWindow& GetWindow() { return *m_window; }
    CFont& GetText() { return *m_text; }
    CProgress& GetBar() { return *m_bar; }
    CButton& GetCancelButton() { return *m_cancel; }

private:
    void OnKey(CInputMap& event);
    void OnMouse(CInputMap& event);

    std::unique_ptr<CGUIManager> m_manager; // owns the widgets below
    std::unique_ptr<CGUI> m_dim;
    CWindow* m_window = nullptr;
    CFont* m_text = nullptr;
    CProgress* m_bar = nullptr;
    CButton* m_cancel = nullptr;
    bool m_cancelled = false;
    int32_t m_buttonsHeld = 0;
    CSlotList m_slots;
};
