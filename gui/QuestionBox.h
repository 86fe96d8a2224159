// The question box: the program asks the user to choose between a few buttons (save the
// changes, recover an autosave) in a window of its own look, centred over the application and
// laid over it with a dimming layer. While a view exists it listens to the mouse and the
// keyboard like every GUI manager, so whoever shows it opens an input capture (CInputCapture)
// first (RunQuestion in app/QuestionLoop.h does, with the modal loop). Drawing goes through media/;
// geometry is in client pixels.
#pragma once

#include "events/Signal.h"
#include "util/String.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CButton;
class CFont;
class CGUI;
class CGUIManager;
class CInputMap;
class CSprite;
class CWindow;

struct QuestionRequest {
    String title;                // the window's title, e.g. "Unsaved changes"
    String text;                 // e.g. "Save changes to Laser 1234?"; '\n' starts a new line
    std::vector<String> buttons; // left to right, e.g. {"Save", "Don't Save", "Cancel"}; none: "OK"
    int32_t defaultButton = 0;   // focused at the start, so Enter chooses it; out of range: 0
    int32_t cancelButton = -1;   // Escape and the close button; −1 or out of range: the last one
};

// How the program asks: returns the index of the chosen button (the cancel button's index when
// the question cannot be shown at all). Tests and scripted runs replace the real box.
using QuestionRunner = std::function<int32_t(const QuestionRequest& request)>;

// The request as the box uses it: texts with malformed UTF-8 bytes replaced by U+FFFD, at
// least one button ("OK" when none is given), and both indices within the buttons.
QuestionRequest NormaliseQuestion(const QuestionRequest& request);

// The box on screen. Texts are UTF-8 and written byte for byte. The text wraps at spaces within the box; a word wider than a line (a long project
// name) is shortened in its middle, keeping its start and end around an ellipsis, and a text
// that would still take more than kMaxLines lines loses its middle the same way. The ellipsis
// is "…" when the font has that glyph and "..." otherwise. Labels too wide for their button
// are shortened likewise.
//
// One button has the keyboard focus, shown by a ring around it: at first the default button.
// Tab and Shift+Tab move the focus to the next and previous button, round the row; Right and
// Left move it too, stopping at the ends. Enter and Space choose the focused button (the
// default one until the focus moves), Escape and the window's close button choose the cancel
// button, and a click chooses the button clicked. The auto-repeat of a held Enter or Escape
// chooses nothing, so that a key held from before the box appeared cannot answer it.
class CQuestionView {
public:
    static constexpr float kWidth = 400.0f;
    static constexpr int32_t kMaxLines = 8;

    // Builds the box for the request; font is the glyph sprite its texts are written with
    // (null: texts undrawn, every text then measures 0 wide). The sprite must outlive the view.
    CQuestionView(const QuestionRequest& request, const CSprite* font);
    ~CQuestionView();
    CQuestionView(const CQuestionView&) = delete;
    CQuestionView& operator=(const CQuestionView&) = delete;

    // Centres the box in a client area of that size (its corner never above or left of
    // (0, 0)); the dimming layer covers the area.
    void Place(int32_t clientWidth, int32_t clientHeight);
    // Draws the dimming layer and the box with the current GL state and projection.
    void Render();
    // Render over whatever is drawn already, in an overlay pass (media/DrawState.h).
    void DrawOverlay();

    bool IsDone() const { return m_choice >= 0; }
    // The chosen button's index, or −1 while the question is open.
    int32_t GetChoice() const { return m_choice; }
    // Chooses a button as a click on it does (an index out of range, or a second choice,
    // changes nothing).
    void Choose(int32_t button);
    // The focused button's index.
    int32_t GetFocus() const { return m_focus; }
    // The request as normalised (NormaliseQuestion).
    const QuestionRequest& GetRequest() const { return m_request; }

    // A mouse button went down while the view listened and has not come up yet.
    bool IsButtonHeld() const { return m_buttonsHeld > 0; }
    // The box's size in pixels: kWidth wide, as high as its text needs.
    float GetHeight() const;
    CWindow& GetWindow() { return *m_window; }
    // The text element: the question as shown (wrapped, possibly shortened).
    CFont& GetText() { return *m_text; }
    int32_t GetButtonCount() const { return static_cast<int32_t>(m_buttons.size()); }
    CButton& GetButton(int32_t index) { return *m_buttons[static_cast<size_t>(index)]; }
    // The ring drawn around the focused button.
    CGUI& GetFocusRing() { return *m_ring; }

private:
    void OnKey(CInputMap& event);
    void OnMouse(CInputMap& event);
    // Moves the focus to button (clamped to the row) and the ring with it.
    void SetFocus(int32_t button);
    // Lays the text and the buttons out; returns the box's height.
    float Build(const CFont& look);

    QuestionRequest m_request;
    std::unique_ptr<CGUIManager> m_manager; // owns the widgets below
    std::unique_ptr<CGUI> m_dim;            // the layer over the application, outside the manager
    CWindow* m_window = nullptr;
    CFont* m_text = nullptr;
    CGUI* m_ring = nullptr;
    std::vector<CButton*> m_buttons;
    int32_t m_focus = 0;
    int32_t m_choice = -1;
    int32_t m_buttonsHeld = 0;
    CSlotList m_slots;
};
