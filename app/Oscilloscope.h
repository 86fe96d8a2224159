// COscilloscope: the on-screen editor of one voice (CVoiceModel). The panel shows its model in
// its controls (the fifteen values, the shapes and switches, and three areas of stages: Pitch,
// Tone and Filter) and three traces and writes every edit into it; every control names itself
// in a tooltip; it keeps nothing about the voice
// that the model does not hold, and follows changes made to the model from elsewhere. It views
// a model it does not own (which must outlive it) or, made without one, a model of its own.
// Construction and Setup need no OpenGL context; only Render draws. The panel listens to the
// process-wide mouse signal itself; an owner that shows it in part (a scrolled area) gives it
// a clip rectangle, outside which it neither draws nor takes presses. Main thread only.
#pragma once

#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Scroll.h"
#include "app/ControlNames.h"
#include "synth/VoiceModel.h"

#include <cstdint>
#include <memory>
#include <vector>

class CGUIManager;
class CInputMap;
class CTooltip;

// A line strip through points (x, y, 0); the owner scales and places it.
class CTrace : public CShape {
public:
    explicit CTrace(uint32_t points);
    // Reallocates when the count differs (the points are then all 0).
    void SetPointCount(uint32_t points);
    // Ignored past the point count.
    void SetPoint(uint32_t index, float x, float y);
    float PointX(uint32_t index) const { return index < vertexCount ? positions[3 * index] : 0.0f; }
    float PointY(uint32_t index) const { return index < vertexCount ? positions[3 * index + 1] : 0.0f; }
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
    const CCheckBox* noise = nullptr;
    const CCheckBox* loop = nullptr;
    const CCheckBox* envelope = nullptr;
    const CCheckBox* carrier = nullptr;
    const CCheckBox* mute = nullptr;
    const CCheckBox* am = nullptr;
    const CCheckBox* fm = nullptr;
    const CCheckBox* pm = nullptr;
    const CCheckBox* groups[StageGroupCount] = {}; // the Pitch, Tone and Filter switches
    const CCheckBox* linear = nullptr;             // the glide's shape
    const CCheckBox* clean = nullptr;              // band-limited shapes
};

// The templates of a GUI description, found by their names (scroll, scrollFont, btnClose,
// chkSinWave, ...). False when scroll or scrollFont is missing or of another class.
bool FindPanelTemplates(const CGUIManager& gui, PanelTemplates& templates);

// Sprite-less templates with the sizes of the main scene's description, for panels made
// without a screen (tests, benchmarks).
class CStockTemplates {
public:
    CStockTemplates();
    const PanelTemplates& Get() const { return m_templates; }

private:
    CScroll m_slider;
    CFont m_text;
    CButton m_close;
    // sine, triangle, sawtooth, square, loop, envelope, carrier, mute, AM, FM, PM, noise, then
    // Pitch, Tone, Filter, Linear, Clean
    CCheckBox m_boxes[17];
    PanelTemplates m_templates;
};

class COscilloscope : public CGUI {
public:
    static constexpr float kWidth = 400.0f;
    static constexpr float kMaxWidth = 4000.0f;
    // The main rows (90) and, below them, the row of the areas' switches.
    static constexpr float kPanelHeight = 108.0f;
    static constexpr float kCarrierHeight = 90.0f;
    static constexpr float kEnvelopeHeight = 76.0f;
    static constexpr int32_t kShapes = 5; // sine, triangle, sawtooth, square, noise: types 0 to 4
    // The screens: the voice's output (carrier and envelope applied), the bare carrier, and
    // the envelope's gain, each over its whole length (the voice's and the carrier's periods,
    // the envelope's length) across the screen's width: one column a pixel, at least
    // kScreenColumns (a wider panel, SetWidth, has wider screens). Each trace is an outline
    // with two points per column (x the column's middle in seconds, y the least and the
    // greatest value over the column's span, app/TraceOutline.h). A voice or carrier screen
    // shows ±1 from top to bottom, or ±peak when its trace reaches past 1, with "±peak" in its
    // top right corner.
    static constexpr uint32_t kScreenColumns = 180;

    // All controls as constructed, the panel 400 × 90 at (0, 0) with depth 10, listening to
    // the mouse signal and to the model. The first views a new voice of its own; the second
    // views model, which must outlive the panel.
    COscilloscope();
    explicit COscilloscope(CVoiceModel& model);
    COscilloscope(const COscilloscope&) = delete;
    COscilloscope& operator=(const COscilloscope&) = delete;

    // Copies the templates' looks, lays the controls out, sets the ranges and shows the model.
    // Call once, right after construction.
    void Setup(const PanelTemplates& templates);

    // The panel, its areas and controls, then the traces (clipped to their screens).
    void Render() override;
    // Mouse events: the hover of the one control under the pointer (CGUI::SetPointerHover)
    // while no element holds the pointer; a press on a control gives it the focus and the
    // pointer until the release; moves and the release go to the focused control; a wheel
    // turn only when TakesWheelAt the pointer. Points a router in front claimed
    // (CInputMap::handled) are over no control; a control hit claims the event.
    virtual void ProcessInput(CInputMap& event);
    // Appends the controls the keyboard reaches (value boxes, sliders, check boxes, the close
    // button) that are shown, in reading order: row by row from the top, left to right.
    void GetTabStops(std::vector<CGUI*>& stops);
    // Takes the focus from the focused control (its value box colours too); later mouse
    // events still go to it.
    void DropFocus();
    // The window rectangle (client pixels, y down) outside which the panel draws nothing and
    // a press is a press elsewhere, as if its controls were not there; unbounded until set.
    void SetClip(float x, float y, float width, float height);
    // Whether a wheel turn with the pointer at (x, y) is the panel's: its focused slider lies
    // there (inside the clip). Elsewhere the panel leaves the wheel alone.
    bool TakesWheelAt(int32_t x, int32_t y) const;

    // The panel's width, kWidth to kMaxWidth (a smaller or NaN width gives kWidth): the screens
    // take what is added and everything right of them moves with its right edge. Any time,
    // before or after Setup; the height does not change, so resized is not emitted.
    void SetWidth(float width);

    // kPanelHeight, plus 90 while the carrier area shows, plus 76 while the envelope area
    // shows, plus each stage area's height (StageAreaHeight) while it is open.
    float GetHeight() const;
    // A stage area: 4 pixels plus 13 a row (Pitch 6 rows, Tone 4, Filter 5).
    static float StageAreaHeight(int32_t group);

    // --- the areas of stages. An area opens and closes with its switch, which changes nothing
    // heard: its stages keep their values while it is closed. It opens by itself when the
    // model, set from anywhere (a load, undo, Mutate, a generator), starts to use one of its
    // stages (one away from its default).
    void SetStageAreaOpen(int32_t group, bool open);
    bool IsStageAreaOpen(int32_t group) const;
    // Whether the model uses a stage of the group (one differs from its default).
    bool UsesStageGroup(int32_t group) const;

    // The rate the sound is made at (44100 until set): a frequency box whose value lies above
    // half of it turns the warning colour, and its tooltip says that the tone folds back.
    void SetSampleRate(uint32_t rate);
    uint32_t GetSampleRate() const { return m_sampleRate; }
    // Whether a frequency box (ValueFrequency, ValueCarrierFrequency) or the end frequency's
    // box shows a value that folds back at the sample rate.
    bool IsFolding(const CGUI* box) const;
    // The tip every control shows on (the scene's, gui/GUIManager.h); null: no tips.
    void SetTipBox(CTooltip* tip) { m_tipBox = tip; }

    CVoiceModel& Model() { return *m_model; }
    const CVoiceModel& Model() const { return *m_model; }

    // The playing position: a thin vertical line on each screen at seconds into the voice (at
    // each screen's own pace), wrapped by the voice's length when wrap (a looping mix) and
    // that length is positive. Hidden for a negative or non-finite time, and on a screen whose
    // length the time lies past (everywhere past every shown screen's). True when the line
    // appears, goes or moves by a pixel column of the voice's screen: the caller then asks for
    // a redraw.
    bool SetPlayhead(double seconds, bool wrap);
    // The playhead's time on the screens in seconds (after wrapping); negative while hidden.
    double GetPlayhead() const { return m_playhead; }

    // --- the model's values and switches, for callers holding the panel
    bool IsMuted() const { return m_model->IsMuted(); }
    float GetLength() const { return m_model->GetLength(); }
    double SampleVoice(double t) const { return m_model->SampleVoice(t); }
    float GetShown(int32_t value) const { return m_model->GetShown(value); }
    // Moves the slider as a drag to position would (positions are the value × 100,
    // frequencies in hertz); the box then shows the slider's format.
    void SetSlider(int32_t value, float position);
    int32_t GetWaveType() const { return m_model->GetWaveType(); }
    int32_t GetCarrierType() const { return m_model->GetCarrierType(); }
    void SetWaveType(int32_t type) { m_model->SetWaveType(type); }
    void SetCarrierType(int32_t type) { m_model->SetCarrierType(type); }
    ModulationMode GetModulation() const { return m_model->GetModulation(); }
    void SetModulation(int32_t mode) { m_model->SetModulation(mode); }
    bool IsEnvelopeOn() const { return m_model->IsEnvelopeOn(); }
    bool IsCarrierOn() const { return m_model->IsCarrierOn(); }
    bool IsLoopOn() const { return m_model->IsLoopOn(); }
    void SetEnvelopeOn(bool on) { m_model->SetEnvelopeOn(on); }
    void SetCarrierOn(bool on) { m_model->SetCarrierOn(on); }
    void SetMute(bool on) { m_model->SetMute(on); }
    void SetLoop(bool on) { m_model->SetLoop(on); }
    const Waveform& GetWave() const { return m_model->GetWave(); }
    const Waveform& GetCarrier() const { return m_model->GetCarrier(); }
    const Envelope& GetEnvelope() const { return m_model->GetEnvelope(); }

    // --- controls, for the scene and tests
    CEdit& ValueBox(int32_t value) { return m_boxes[ClampValue(value)]; }
    CScroll& Slider(int32_t value) { return m_sliders[ClampValue(value)]; }
    // The shape box of a type (0 to 4); any other type gives the sine's.
    CCheckBox& WaveBox(int32_t type) { return m_waveBoxes[ClampShape(type)]; }
    CCheckBox& CarrierWaveBox(int32_t type) { return m_carrierBoxes[ClampShape(type)]; }
    CCheckBox& ModulationBox(int32_t mode) { return m_modeBoxes[mode < 0 || mode > 2 ? 1 : mode]; }
    CCheckBox& LoopBox() { return m_loop; }
    CCheckBox& EnvelopeBox() { return m_envelopeBox; }
    CCheckBox& CarrierBox() { return m_carrierBox; }
    CCheckBox& MuteBox() { return m_mute; }
    CButton& CloseButton() { return m_close; }
    CGUI& CarrierArea() { return m_carrierArea; }
    CGUI& EnvelopeArea() { return m_envelopeArea; }
    CGUI& StageArea(int32_t group) { return m_stageAreas[ClampGroup(group)]; }
    CCheckBox& StageAreaBox(int32_t group) { return m_groupBoxes[ClampGroup(group)]; }
    CEdit& StageBox(int32_t stage) { return m_stageBoxes[ClampStage(stage)]; }
    CScroll& StageSlider(int32_t stage) { return m_stageSliders[ClampStage(stage)]; }
    const CFont& StageLabelText(int32_t stage) const { return m_stageLabels[ClampStage(stage)]; }
    const CFont& ValueLabel(int32_t value) const { return m_labels[ClampValue(value)]; }
    CCheckBox& LinearGlideBox() { return m_linearBox; }
    CCheckBox& CleanBox() { return m_cleanBox; }
    // The control whose tooltip shows with the pointer at (x, y): a control, or a label,
    // under it on the shown panel; null elsewhere.
    const CGUI* TipAt(int32_t x, int32_t y) const;
    // The traces as the screens show the model now (outlines are computed when first needed
    // after a change: a panel out of sight costs nothing).
    const CTrace& VoiceTrace() const { RefreshTraces(); return m_voiceTrace; }
    const CTrace& CarrierTrace() const { RefreshTraces(); return m_carrierTrace; }
    const CTrace& EnvelopeTrace() const { RefreshTraces(); return m_envelopeTrace; }
    // The scale labels of the voice and the carrier screens: "±peak" (one decimal below 10,
    // e.g. "±3.5") while the trace reaches past ±1, empty otherwise.
    const CFont& VoiceScaleLabel() const { RefreshTraces(); return m_scaleLabels[0]; }
    const CFont& CarrierScaleLabel() const { RefreshTraces(); return m_scaleLabels[1]; }
    CGUI* GetFocusedChild() const { return m_focused; }
    uint32_t GetChildCount() const { return m_childCount; }
    CGUI* GetChild(uint32_t index) const { return index < m_childCount ? m_children[index] : nullptr; }

    CSignal<> changed;  // the sound changed (once per change of the model that is heard; a Loop click)
    CSignal<> closed;   // the close button was clicked
    CSignal<> resized;  // an area was shown or hidden: GetHeight changed
    CSignal<> selected; // a value box took the focus

private:
    static int32_t ClampValue(int32_t value) { return value < 0 || value >= VoiceValueCount ? 0 : value; }
    static int32_t ClampShape(int32_t type) { return type < 0 || type >= kShapes ? 0 : type; }
    static int32_t ClampGroup(int32_t group) { return group < 0 || group >= StageGroupCount ? 0 : group; }
    static int32_t ClampStage(int32_t stage) { return stage < 0 || stage >= StageValueCount ? 0 : stage; }
    void Connect();
    void OnModelChanged(VoiceChange change);
    // Shows the model: boxes that do not read as the value shown (all with force), sliders,
    // check boxes, areas (relayout when one appears or goes), traces.
    void ShowModel(bool force);
    void OnSlider(float position, CScroll* slider);
    void OnValueBox(const String& text, CEdit* box);
    void OnStageSlider(float position, CScroll* slider);
    void OnStageBox(const String& text, CEdit* box);
    // Lays out the stage areas' rows and switches (part of Setup).
    void SetupStages(const PanelTemplates& templates);
    // The tooltips of every control, and the frequency boxes' warning colours.
    void NameControls();
    void ShowFolding();
    void OnClick(CButton* button);
    void Relayout();
    // The traces are stale: the next RefreshTraces recomputes them.
    void UpdateTraces() { m_tracesStale = true; }
    void RefreshTraces() const;
    // Adds extra to the screens' width and moves what stands right of them by it.
    void Widen(float extra);
    bool InClip(int32_t x, int32_t y) const;
    // Whether (x, y) lies on the visible panel (areas included) inside the clip.
    bool OverPanel(int32_t x, int32_t y) const;
    // The first control hit at (x, y); null when none is.
    CGUI* ChildAt(int32_t x, int32_t y) const;
    // Sets the range the screen shows (±range) and the label's text, from the trace's peak.
    static void ShowScale(double peak, double& range, CFont& label);
    // range > 0: the trace centred, ±range filling the screen's height, clipped to it; 0: the
    // envelope's, 0 at the bottom and 1 at the top, unclipped.
    void RenderTrace(CTrace& trace, const CGUI& screen, float pixelsPerSecond, double range);
    // The playhead on screen, at pixelsPerSecond, clipped to it; nothing past span seconds or
    // the screen's right edge.
    void RenderPlayhead(const CGUI& screen, float pixelsPerSecond, double span);
    // The scale label of screen 0 (voice) or 1 (carrier) on its back, when it has a text.
    void RenderScaleLabel(int32_t screen);
    void SetBoxFocusColours(CGUI* child, bool focused);
    void FillChildren();

    static constexpr uint32_t kChildren = 128;
    CGUI* m_children[kChildren] = {};
    uint32_t m_childCount = 0;
    CGUI* m_focused = nullptr; // not owned: one of the children
    CGUI* m_hovered = nullptr; // the child this panel last made the pointer's hover
    bool m_showing = false;    // the panel is setting its controls from the model: do not write back

    std::unique_ptr<CVoiceModel> m_ownModel; // only for a panel made without a model
    CVoiceModel* m_model;                    // the voice shown; never null

    CGUI m_voiceScreen, m_carrierScreen, m_envelopeScreen;
    CGUI m_carrierArea, m_envelopeArea;
    CGUI m_stageAreas[StageGroupCount];
    CCheckBox m_groupBoxes[StageGroupCount];
    CCheckBox m_linearBox, m_cleanBox;
    CFont m_stageLabels[StageValueCount];
    CEdit m_stageBoxes[StageValueCount];
    CScroll m_stageSliders[StageValueCount];
    bool m_groupUsed[StageGroupCount] = {}; // as last shown: an area opens when its group starts to be used
    uint32_t m_sampleRate = 44100;
    CTooltip* m_tipBox = nullptr;
    // A drawing cache of the model, hence mutable.
    mutable CTrace m_voiceTrace{0}, m_carrierTrace{0}, m_envelopeTrace{0};
    mutable bool m_tracesStale = true;
    static constexpr float kScaleLabelWidth = 40.0f;
    static constexpr float kScaleBackWidth = 28.0f;
    CGUI m_scaleBacks[2]; // black, behind the scale labels; not children
    mutable double m_voiceRange = 1.0, m_carrierRange = 1.0; // what the screens show: ±range
    mutable double m_pace[3] = {180.0, 180.0, 180.0}; // columns a second: voice, carrier, envelope
    mutable double m_span[3] = {0.0, 0.0, 0.0};       // the seconds each screen shows
    mutable CFont m_scaleLabels[2];                         // voice, carrier; not children
    double m_playhead = -1.0;        // seconds; negative: hidden
    int64_t m_playheadColumn = -1;   // its column on the voice's screen; -1: hidden
    CTrace m_playheadLine{2};        // (0, 0) to (0, 1), scaled to a screen's height
    bool m_clipped = false;
    bool m_laidOut = false;   // Setup has placed the controls (for kWidth)
    float m_width = kWidth;
    float m_clip[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // x, y, width, height
    CCheckBox m_loop, m_carrierBox, m_envelopeBox, m_mute;
    CFont m_labels[VoiceValueCount]; // main A O f T P, carrier A O f T P, envelope A D S H R
    CEdit m_boxes[VoiceValueCount];
    CScroll m_sliders[VoiceValueCount];
    CButton m_close;
    CCheckBox m_waveBoxes[kShapes]; // sine, triangle, sawtooth, square, noise
    CCheckBox m_carrierBoxes[kShapes];
    CCheckBox m_modeBoxes[3];    // AM, FM, PM
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
