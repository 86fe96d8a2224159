// COscilloscope: one voice of a project and its on-screen editor. The panel owns the voice's
// parameters (wave, carrier, envelope), its 64 controls and three traces; the check boxes are
// the only store of its switches. Construction and Setup need no OpenGL context; only Render
// draws. The panel listens to the process-wide mouse signal itself. Main thread only.
#pragma once

#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Scroll.h"
#include "synth/Voice.h"

#include <cstdint>

class CGUIManager;
class CInputMap;

// A line strip through points (x, y, 0); the owner scales and places it.
class CTrace : public CShape {
public:
    explicit CTrace(uint32_t points);
    // Ignored past the point count.
    void SetPoint(uint32_t index, float x, float y);
    float PointX(uint32_t index) const { return index < vertexCount ? positions[3 * index] : 0.0f; }
    float PointY(uint32_t index) const { return index < vertexCount ? positions[3 * index + 1] : 0.0f; }
};

// The fifteen slider-driven values, in the order of the panel's value box and slider pairs.
enum PanelValue : int32_t {
    ValueAmplitude = 0,
    ValueOffset,
    ValueFrequency,
    ValuePeriod,
    ValuePhase,
    ValueAttack,
    ValueDecay,
    ValueSustain,
    ValueHold,
    ValueRelease,
    ValueCarrierAmplitude,
    ValueCarrierOffset,
    ValueCarrierFrequency,
    ValueCarrierPeriod,
    ValueCarrierPhase,
    PanelValueCount,
};

// The controls a panel copies its look from (not owned). slider and text are required by
// Setup's callers; any other may be null, which leaves that control as constructed.
struct PanelTemplates {
    const CScroll* slider = nullptr;
    const CFont* text = nullptr;
    const CButton* close = nullptr;
    const CCheckBox* sine = nullptr;
    const CCheckBox* triangle = nullptr;
    const CCheckBox* sawtooth = nullptr;
    const CCheckBox* square = nullptr;
    const CCheckBox* loop = nullptr;
    const CCheckBox* envelope = nullptr;
    const CCheckBox* carrier = nullptr;
    const CCheckBox* mute = nullptr;
    const CCheckBox* am = nullptr;
    const CCheckBox* fm = nullptr;
    const CCheckBox* pm = nullptr;
};

// The templates of a GUI description, found by their names (scroll, scrollFont, btnClose,
// chkSinWave, ...). False when scroll or scrollFont is missing or of another class.
bool FindPanelTemplates(const CGUIManager& gui, PanelTemplates& templates);

// Sprite-less templates with the sizes of the main scene's description, for panels made
// without a screen (the command-line renderer, tests).
class CStockTemplates {
public:
    CStockTemplates();
    const PanelTemplates& Get() const { return m_templates; }

private:
    CScroll m_slider;
    CFont m_text;
    CButton m_close;
    CCheckBox m_boxes[11]; // sine, triangle, sawtooth, square, loop, envelope, carrier, mute, AM, FM, PM
    PanelTemplates m_templates;
};

class COscilloscope : public CGUI, public CVoice {
public:
    static constexpr float kWidth = 400.0f;
    static constexpr float kPanelHeight = 90.0f;
    static constexpr float kCarrierHeight = 90.0f;
    static constexpr float kEnvelopeHeight = 76.0f;
    static constexpr uint32_t kTracePoints = 100;

    // All controls as constructed, the panel 400 × 90 at (0, 0) with depth 10, listening to
    // the mouse signal.
    COscilloscope();
    COscilloscope(const COscilloscope&) = delete;
    COscilloscope& operator=(const COscilloscope&) = delete;
    ~COscilloscope() override;

    // Copies the templates' looks, lays the controls out, sets the ranges and the defaults of
    // a new voice. Call once, right after construction.
    void Setup(const PanelTemplates& templates);

    // The panel, its areas and controls, then the traces (clipped to their screens).
    void Render() override;
    // Mouse events: hover for every control, focus to the control under a press, and the
    // event routed to the focused control.
    virtual void ProcessInput(CInputMap& event);
    // Takes the focus from the focused control (its value box colours too); later mouse
    // events still go to it.
    void DropFocus();

    // 90, plus 90 while the carrier area shows, plus 76 while the envelope area shows.
    float GetHeight() const;

    // --- CVoice
    bool IsMuted() const override { return m_mute.IsDown(); }
    float GetLength() const override;
    VoiceParams GetParams() const override;

    // --- values and switches
    // The value box's text read as a decimal number (0 when it does not read as one).
    float GetShown(PanelValue value) const;
    // Sets the slider as a drag to position would: clamped to its range, the box and the
    // parameter updated (positions are the value × 100, frequencies in hertz).
    void SetSlider(PanelValue value, float position);
    int32_t GetWaveType() const { return wave.type; }
    int32_t GetCarrierType() const { return carrier.type; }
    // Stores the type and checks its shape box alone (none for a type outside 0 to 3).
    void SetWaveType(int32_t type);
    void SetCarrierType(int32_t type);
    // AM when its box is checked; else PM when FM is not and PM is; else FM.
    ModulationMode GetModulation() const;
    // Checks AM (0), FM (1) or PM (2) alone; no box for any other value.
    void SetModulation(int32_t mode);
    bool IsEnvelopeOn() const { return m_envelopeBox.IsDown(); }
    bool IsCarrierOn() const { return m_carrierBox.IsDown(); }
    bool IsLoopOn() const { return m_loop.IsDown(); }
    // Each sets its box, then handles it as a click would; the loop setter only sets the box.
    void SetEnvelopeOn(bool on);
    void SetCarrierOn(bool on);
    void SetMute(bool on);
    void SetLoop(bool on) { m_loop.SetDown(on); }

    const Waveform& GetWave() const { return wave; }
    const Waveform& GetCarrier() const { return carrier; }
    const Envelope& GetEnvelope() const { return envelope; }

    // --- controls, for the scene and tests
    CEdit& ValueBox(PanelValue value) { return m_boxes[value]; }
    CScroll& Slider(PanelValue value) { return m_sliders[value]; }
    CCheckBox& WaveBox(int32_t type) { return m_waveBoxes[type & 3]; }
    CCheckBox& CarrierWaveBox(int32_t type) { return m_carrierBoxes[type & 3]; }
    CCheckBox& ModulationBox(int32_t mode) { return m_modeBoxes[mode < 0 || mode > 2 ? 1 : mode]; }
    CCheckBox& LoopBox() { return m_loop; }
    CCheckBox& EnvelopeBox() { return m_envelopeBox; }
    CCheckBox& CarrierBox() { return m_carrierBox; }
    CCheckBox& MuteBox() { return m_mute; }
    CButton& CloseButton() { return m_close; }
    CGUI& CarrierArea() { return m_carrierArea; }
    CGUI& EnvelopeArea() { return m_envelopeArea; }
    const CTrace& VoiceTrace() const { return m_voiceTrace; }
    const CTrace& CarrierTrace() const { return m_carrierTrace; }
    const CTrace& EnvelopeTrace() const { return m_envelopeTrace; }
    CGUI* GetFocusedChild() const { return m_focused; }
    uint32_t GetChildCount() const { return m_childCount; }
    CGUI* GetChild(uint32_t index) const { return index < m_childCount ? m_children[index] : nullptr; }

    CSignal<> changed;  // the sound changed
    CSignal<> closed;   // the close button was clicked
    CSignal<> resized;  // an area was shown or hidden: GetHeight changed
    CSignal<> selected; // a value box took the focus

protected:
    // The voice's parameters. Frequencies are as typed; the rest follow their sliders.
    Waveform wave;
    Waveform carrier = {Sine, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    Envelope envelope;

private:
    void OnSlider(float position, CScroll* slider);
    void OnValueBox(const String& text, CEdit* box);
    void OnClick(CButton* button);
    void Relayout();
    void UpdateTraces();
    void UpdateEnvelopeTrace();
    void RenderTrace(CTrace& trace, const CGUI& screen, bool clip);
    void SetBoxFocusColours(CGUI* child, bool focused);
    void FillChildren();

    static constexpr uint32_t kChildren = 64;
    CGUI* m_children[kChildren] = {};
    uint32_t m_childCount = 0;
    CGUI* m_focused = nullptr; // not owned: one of the children
    bool m_editing = false;    // a value box is driving its slider: do not rewrite the box

    CGUI m_voiceScreen, m_carrierScreen, m_envelopeScreen;
    CGUI m_carrierArea, m_envelopeArea;
    CTrace m_voiceTrace{kTracePoints}, m_carrierTrace{kTracePoints}, m_envelopeTrace{5};
    CCheckBox m_loop, m_carrierBox, m_envelopeBox, m_mute;
    CFont m_labels[PanelValueCount]; // main A O f T P, carrier A O f T P, envelope A D S H R
    CEdit m_boxes[PanelValueCount];
    CScroll m_sliders[PanelValueCount];
    CButton m_close;
    CCheckBox m_waveBoxes[4];    // sine, triangle, sawtooth, square
    CCheckBox m_carrierBoxes[4];
    CCheckBox m_modeBoxes[3];    // AM, FM, PM
};

// A decimal number as a value box shows it: optional blanks and sign, digits with one point,
// an optional exponent; reading stops at the first other character; 0 when nothing reads.
float ReadShownNumber(const String& text);
