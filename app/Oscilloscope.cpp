// Index:
//   [SECTION] Traces and templates
//   [SECTION] Construction and set-up
//   [SECTION] Showing the model
//   [SECTION] Slider, value box and click handlers
//   [SECTION] Height and slider
//   [SECTION] Mouse input and focus
//   [SECTION] Drawing
#include "app/Oscilloscope.h"

#include "app/App.h"
#include "app/TraceOutline.h"
#include "events/Input.h"
#include "gui/GUIManager.h"
#include "gui/Tooltip.h"
#include "media/DrawState.h"
#include "media/GL.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

// [SECTION] Traces and templates

CTrace::CTrace(uint32_t points)
{
    mode = GL_LINE_STRIP;
    SetVertexCount(points);
}

void CTrace::SetPointCount(uint32_t points)
{
    if (points != vertexCount)
        SetVertexCount(points);
}

void CTrace::SetPoint(uint32_t index, float x, float y)
{
    if (index >= vertexCount)
        return;
    positions[3 * index] = x;
    positions[3 * index + 1] = y;
    positions[3 * index + 2] = 0.0f;
}

namespace {

template <class T>
const T* FindAs(const CGUIManager& gui, const char* name)
{
    return dynamic_cast<const T*>(gui.FindElement(name));
}

} // namespace

bool FindPanelTemplates(const CGUIManager& gui, PanelTemplates& t)
{
    t = PanelTemplates();
    t.slider = FindAs<CScroll>(gui, "scroll");
    t.text = FindAs<CFont>(gui, "scrollFont");
    if (!t.slider || !t.text)
        return false;
    t.close = FindAs<CButton>(gui, "btnClose");
    const struct {
        const char* name;
        const CCheckBox** box;
    } boxes[] = {{"chkSinWave", &t.sine},   {"chkTriangleWave", &t.triangle}, {"chkSawtoothWave", &t.sawtooth},
                 {"chkSquareWave", &t.square}, {"chkLoop", &t.loop},         {"chkEnvelope", &t.envelope},
                 {"chkCarrier", &t.carrier},   {"chkMute", &t.mute},         {"chkAM", &t.am},
                 {"chkFM", &t.fm},             {"chkPM", &t.pm},             {"chkNoiseWave", &t.noise}};
    for (const auto& entry : boxes)
        *entry.box = FindAs<CCheckBox>(gui, entry.name);
    const char* const groups[StageGroupCount] = {"chkPitch", "chkTone", "chkFilter"};
    for (int32_t i = 0; i < StageGroupCount; ++i)
        t.groups[i] = FindAs<CCheckBox>(gui, groups[i]);
    t.linear = FindAs<CCheckBox>(gui, "chkLinear");
    t.clean = FindAs<CCheckBox>(gui, "chkClean");
    return true;
}

CStockTemplates::CStockTemplates()
{
    // The sizes of resources/gui_main.xml; the templates lie off-screen, as there.
    m_slider.SetVertical(false);
    m_slider.SetPosition(-1000.0f, -1000.0f);
    m_slider.SetSize(148.0f, 11.0f);
    m_slider.SetRange(0.0f, 100.0f);
    m_slider.SetIncrement(1.0f);
    m_text.SetSize(10.0f, 11.0f);
    m_text.SetAlign(4);
    m_text.SetVisible(false);
    m_close.SetPosition(-1000.0f, -1000.0f);
    m_close.SetSize(16.0f, 16.0f);
    for (uint32_t i = 0; i < 17; ++i) {
        m_boxes[i].SetPosition(-1000.0f, -1000.0f);
        m_boxes[i].SetSize(i >= 12 ? 40.0f : i >= 8 && i < 11 ? 28.0f : 19.0f, 16.0f);
    }
    m_templates.slider = &m_slider;
    m_templates.text = &m_text;
    m_templates.close = &m_close;
    const CCheckBox** boxes[12] = {&m_templates.sine, &m_templates.triangle, &m_templates.sawtooth,
                                   &m_templates.square, &m_templates.loop, &m_templates.envelope,
                                   &m_templates.carrier, &m_templates.mute, &m_templates.am,
                                   &m_templates.fm, &m_templates.pm, &m_templates.noise};
    for (uint32_t i = 0; i < 12; ++i)
        *boxes[i] = &m_boxes[i];
    for (int32_t i = 0; i < StageGroupCount; ++i)
        m_templates.groups[i] = &m_boxes[12 + i];
    m_templates.linear = &m_boxes[15];
    m_templates.clean = &m_boxes[16];
}

// [SECTION] Construction and set-up

namespace {

constexpr float kFocusEmission[4] = {0.3f, 0.8f, 0.3f, 0.0f};
constexpr float kFocusDiffuse[4] = {0.4f, 0.8f, 0.4f, 1.0f};
constexpr float kBoxEmission[4] = {1.0f, 1.0f, 1.0f, 0.0f};
constexpr float kBoxDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
// A value that folds back: the box glows amber.
constexpr float kWarnEmission[4] = {1.0f, 0.62f, 0.25f, 0.0f};
constexpr float kWarnDiffuse[4] = {0.9f, 0.55f, 0.2f, 1.0f};

void SetColour(float target[4], const float colour[4]) { std::copy(colour, colour + 4, target); }

void SetEmission(CShape& shape, float r, float g, float b, float a)
{
    const float colour[4] = {r, g, b, a};
    SetColour(shape.material.emission, colour);
}

} // namespace

COscilloscope::COscilloscope() : m_ownModel(std::make_unique<CVoiceModel>()), m_model(m_ownModel.get())
{
    Connect();
}

COscilloscope::COscilloscope(CVoiceModel& model) : m_model(&model) { Connect(); }

void COscilloscope::Connect()
{
    m_enabled = true; // the controls are enabled only through their panel
    SetSize(kWidth, kPanelHeight);
    SetEmission(*this, 0.0f, 0.0f, 0.0f, 0.0f);
    SetGradient(true);
    SetVertexColour(0, 32, 32, 32, 255);
    SetVertexColour(3, 32, 32, 32, 255);
    SetVertexColour(1, 90, 90, 90, 255);
    SetVertexColour(2, 90, 90, 90, 255);
    // The screens are black whatever the light: no emission and no reflected colour.
    constexpr float kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (CGUI* screen : {&m_voiceScreen, &m_carrierScreen, &m_envelopeScreen, &m_scaleBacks[0], &m_scaleBacks[1]}) {
        SetEmission(*screen, 0.0f, 0.0f, 0.0f, 0.0f);
        SetColour(screen->material.diffuse, kBlack);
        SetColour(screen->material.ambient, kBlack);
    }
    // The voice's own trace glows light grey, so that it shows on its black screen as the
    // red carrier and green envelope traces do on theirs.
    SetEmission(m_voiceTrace, 0.85f, 0.85f, 0.85f, 0.0f);
    SetEmission(m_carrierTrace, 0.8f, 0.2f, 0.2f, 0.0f);
    SetEmission(m_envelopeTrace, 0.2f, 0.8f, 0.2f, 0.0f);
    SetEmission(m_playheadLine, 1.0f, 0.55f, 0.0f, 0.0f); // orange: apart from every trace and band
    m_playheadLine.SetPoint(1, 0.0f, 1.0f);

    m_slots.Connect(m_model->changed, this, &COscilloscope::OnModelChanged);
    for (uint32_t i = 0; i < VoiceValueCount; ++i) {
        m_slots.ConnectUser(m_sliders[i].onValue, this, &COscilloscope::OnSlider, &m_sliders[i]);
        m_slots.ConnectUser(m_boxes[i].onChange, this, &COscilloscope::OnValueBox, &m_boxes[i]);
    }
    for (uint32_t i = 0; i < StageValueCount; ++i) {
        m_slots.ConnectUser(m_stageSliders[i].onValue, this, &COscilloscope::OnStageSlider, &m_stageSliders[i]);
        m_slots.ConnectUser(m_stageBoxes[i].onChange, this, &COscilloscope::OnStageBox, &m_stageBoxes[i]);
    }
    CButton* clickable[] = {&m_close, &m_loop, &m_carrierBox, &m_envelopeBox, &m_mute,
                            &m_modeBoxes[0], &m_modeBoxes[1], &m_modeBoxes[2], &m_groupBoxes[0],
                            &m_groupBoxes[1], &m_groupBoxes[2], &m_linearBox, &m_cleanBox};
    for (CButton* button : clickable)
        m_slots.ConnectUser(button->onRelease, this, &COscilloscope::OnClick, button);
    for (int32_t i = 0; i < kShapes; ++i) {
        m_slots.ConnectUser(m_waveBoxes[i].onRelease, this, &COscilloscope::OnClick, static_cast<CButton*>(&m_waveBoxes[i]));
        m_slots.ConnectUser(m_carrierBoxes[i].onRelease, this, &COscilloscope::OnClick,
                            static_cast<CButton*>(&m_carrierBoxes[i]));
    }
    m_slots.Connect(GetMouseSignal(), this, &COscilloscope::ProcessInput);

    FillChildren();
    SetPosition(0.0f, 0.0f);
    SetZ(10.0f);
}

void COscilloscope::FillChildren()
{
    auto add = [this](CGUI& child) { m_children[m_childCount++] = &child; };
    add(m_voiceScreen);
    add(m_carrierScreen);
    add(m_envelopeScreen);
    add(m_loop);
    add(m_carrierBox);
    add(m_envelopeBox);
    add(m_mute);
    for (CFont& label : m_labels)
        add(label);
    for (int32_t i = ValueAmplitude; i <= ValueRelease; ++i) {
        add(m_boxes[i]);
        add(m_sliders[i]);
    }
    add(m_close);
    for (CCheckBox& box : m_waveBoxes)
        add(box);
    for (CCheckBox& box : m_carrierBoxes)
        add(box);
    for (CCheckBox& box : m_modeBoxes)
        add(box);
    for (int32_t i = ValueCarrierAmplitude; i < VoiceValueCount; ++i) {
        add(m_boxes[i]);
        add(m_sliders[i]);
    }
    for (CCheckBox& box : m_groupBoxes)
        add(box);
    add(m_linearBox);
    add(m_cleanBox);
    for (int32_t i = 0; i < StageValueCount; ++i) {
        add(m_stageLabels[i]);
        add(m_stageBoxes[i]);
        add(m_stageSliders[i]);
    }
}

void COscilloscope::Setup(const PanelTemplates& t)
{
    // Copying looks and setting ranges moves the sliders: none of that is an edit.
    m_showing = true;
    static const char* const kLetters[VoiceValueCount] = {"A", "O", "f", "T", "P", "A", "O", "f",
                                                          "T", "P", "A", "D", "S", "H", "R"};
    // Labels and value box text. The text template may be hidden: the copies are shown.
    for (uint32_t i = 0; i < VoiceValueCount; ++i) {
        CFont& label = m_labels[i];
        if (t.text) {
            label.Assign(*t.text);
            label.SetVisible(true);
        }
        label.SetText(kLetters[i]);
        SetEmission(label, 1.0f, 1.0f, 1.0f, 0.0f);
    }
    for (CFont& label : m_scaleLabels) {
        if (t.text)
            label.Assign(*t.text);
        label.SetVisible(true);
        label.SetAlign(2); // right-aligned, from the top
        label.SetSize(kScaleLabelWidth, 11.0f);
        label.SetText(String());
        SetEmission(label, 0.95f, 0.85f, 0.3f, 0.0f);
    }
    for (CEdit& box : m_boxes) {
        if (t.text) {
            box.SetFont(t.text);
            box.GetTextElement().SetVisible(true);
        }
        box.SetNumber(true);
        box.SetLimit(5);
    }

    for (uint32_t i = 0; i < VoiceValueCount; ++i) {
        if (t.slider)
            m_sliders[i].Assign(*t.slider);
        float min, max;
        CVoiceModel::GetRange(static_cast<int32_t>(i), min, max);
        m_sliders[i].SetRange(min, max);
    }

    if (t.close)
        m_close.Assign(*t.close);
    const CCheckBox* shapes[kShapes] = {t.sine, t.triangle, t.sawtooth, t.square, t.noise};
    for (int32_t i = 0; i < kShapes; ++i)
        if (shapes[i]) {
            m_waveBoxes[i].Assign(*shapes[i]);
            m_carrierBoxes[i].Assign(*shapes[i]);
        }
    const CCheckBox* switches[7] = {t.loop, t.envelope, t.carrier, t.mute, t.am, t.fm, t.pm};
    CCheckBox* boxes[7] = {&m_loop, &m_envelopeBox, &m_carrierBox, &m_mute,
                           &m_modeBoxes[0], &m_modeBoxes[1], &m_modeBoxes[2]};
    for (uint32_t i = 0; i < 7; ++i)
        if (switches[i])
            boxes[i]->Assign(*switches[i]);

    // Layout, relative to the panel (or to an area), one step in front of the panel.
    const float z = GetZ() + 1.0f;
    auto place = [z](CGUI& control, float x, float y) {
        control.SetPosition(x, y);
        control.SetZ(z);
    };
    place(m_close, kWidth - 2.0f - m_close.GetWidth(), 2.0f);
    // The top rows: the shape boxes from just right of the screens, 2 apart, then 8 further
    // the switches (or, on the carrier's row, the modulation boxes, 6 apart).
    constexpr float kShapesLeft = 186.0f, kBoxGap = 2.0f, kGroupGap = 8.0f, kModeGap = 6.0f;
    float x = kShapesLeft;
    for (CCheckBox& box : m_waveBoxes) {
        place(box, x, 1.0f);
        x += box.GetWidth() + kBoxGap;
    }
    x += kGroupGap - kBoxGap;
    for (CCheckBox* box : {&m_loop, &m_carrierBox, &m_envelopeBox, &m_mute}) {
        place(*box, x, 1.0f);
        x += box->GetWidth() + kBoxGap;
    }

    // Slider rows: main and carrier rows start 3 below the close button, envelope rows at 2.
    auto layoutRows = [&](int32_t first, float y) {
        for (int32_t i = first; i < first + 5; ++i) {
            CScroll& slider = m_sliders[i];
            place(slider, 250.0f, y);
            place(m_boxes[i], 250.0f - 53.0f, y);
            m_boxes[i].SetSize(50.0f, slider.CGUI::GetHeight());
            y += slider.CGUI::GetHeight() + 2.0f;
        }
    };
    const float firstRow = m_close.GetY() + m_close.CGUI::GetHeight() + 3.0f;
    layoutRows(ValueAmplitude, firstRow);
    layoutRows(ValueCarrierAmplitude, firstRow);
    layoutRows(ValueAttack, 2.0f);

    x = kShapesLeft;
    for (CCheckBox& box : m_carrierBoxes) {
        place(box, x, 1.0f);
        x += box.GetWidth() + kBoxGap;
    }
    x += kGroupGap - kBoxGap;
    for (CCheckBox& box : m_modeBoxes) {
        place(box, x, m_close.GetY());
        x += box.GetWidth() + kModeGap;
    }

    auto bottom = [](CGUI& c) { return c.GetY() + c.CGUI::GetHeight(); };
    place(m_voiceScreen, 2.0f, 2.0f);
    m_voiceScreen.SetSize(180.0f, bottom(m_sliders[ValuePhase]) - 2.0f);
    place(m_carrierScreen, 2.0f, m_sliders[ValueAttack].GetY());
    m_carrierScreen.SetSize(180.0f, m_voiceScreen.CGUI::GetHeight());
    place(m_envelopeScreen, 2.0f, m_sliders[ValueAttack].GetY());
    m_envelopeScreen.SetSize(180.0f, bottom(m_sliders[ValueRelease]) - m_envelopeScreen.GetY());

    const int32_t labelRows[VoiceValueCount] = {ValueAmplitude, ValueOffset, ValueFrequency, ValuePeriod, ValuePhase,
                                                ValueCarrierAmplitude, ValueCarrierOffset, ValueCarrierFrequency,
                                                ValueCarrierPeriod, ValueCarrierPhase, ValueAttack, ValueDecay,
                                                ValueSustain, ValueHold, ValueRelease};
    for (uint32_t i = 0; i < VoiceValueCount; ++i) {
        const CGUI& screen = i < 5 ? m_voiceScreen : (i < 10 ? m_carrierScreen : m_envelopeScreen);
        place(m_labels[i], screen.GetX() + screen.CGUI::GetWidth() + 3.0f, m_sliders[labelRows[i]].GetY());
    }

    // The scale labels stand in their screens' top right corners, in front of the traces, on
    // black backs of their own, so that a full band does not hide them.
    const CGUI* scaled[2] = {&m_voiceScreen, &m_carrierScreen};
    for (int32_t i = 0; i < 2; ++i) {
        const float right = scaled[i]->GetX() + scaled[i]->CGUI::GetWidth(), top = scaled[i]->GetY();
        m_scaleBacks[i].SetPosition(right - kScaleBackWidth, top);
        m_scaleBacks[i].SetSize(kScaleBackWidth, 13.0f);
        m_scaleBacks[i].SetZ(scaled[i]->GetZ() + 1.75f);
        m_scaleLabels[i].SetPosition(right - kScaleLabelWidth - 1.0f, top + 1.0f);
        m_scaleLabels[i].SetZ(scaled[i]->GetZ() + 2.0f);
    }

    for (CGUI* area : {&m_carrierArea, &m_envelopeArea}) {
        area->CopyFrom(*this);
        area->SetName(String());
        area->SetVisible(false);
    }
    m_carrierArea.SetSize(kWidth, kCarrierHeight);
    m_envelopeArea.SetSize(kWidth, kEnvelopeHeight);
    m_carrierArea.SetPosition(0.0f, kPanelHeight);
    m_envelopeArea.SetPosition(0.0f, kPanelHeight);

    for (uint32_t i = 0; i < m_childCount; ++i)
        m_children[i]->SetParent(this);
    m_carrierArea.SetParent(this);
    m_envelopeArea.SetParent(this);
    for (uint32_t i = 5; i < 10; ++i)
        m_labels[i].SetParent(&m_carrierArea);
    for (uint32_t i = 10; i < 15; ++i)
        m_labels[i].SetParent(&m_envelopeArea);
    m_carrierScreen.SetParent(&m_carrierArea);
    m_envelopeScreen.SetParent(&m_envelopeArea);
    m_scaleLabels[0].SetParent(this);
    m_scaleLabels[1].SetParent(&m_carrierArea);
    m_scaleBacks[0].SetParent(this);
    m_scaleBacks[1].SetParent(&m_carrierArea);
    for (CCheckBox& box : m_carrierBoxes)
        box.SetParent(&m_carrierArea);
    for (CCheckBox& box : m_modeBoxes)
        box.SetParent(&m_carrierArea);
    for (int32_t i = ValueCarrierAmplitude; i < VoiceValueCount; ++i) {
        m_boxes[i].SetParent(&m_carrierArea);
        m_sliders[i].SetParent(&m_carrierArea);
    }
    for (int32_t i = ValueAttack; i <= ValueRelease; ++i) {
        m_boxes[i].SetParent(&m_envelopeArea);
        m_sliders[i].SetParent(&m_envelopeArea);
    }
    SetupStages(t);
    NameControls();

    m_laidOut = true;
    Widen(m_width - kWidth);
    m_showing = false;
    ShowModel(true);
}

namespace {

constexpr float kStageRowHeight = 13.0f; // a slider (11) and 2 below it
constexpr float kStageTop = 2.0f;         // the first row's y in its area
constexpr float kStageSwitchX = 140.0f;   // a row's switch (Linear, Clean), left of the screens' edge

// The stages of a group, in the order of their rows: a group's stages are consecutive.
int32_t FirstStage(int32_t group)
{
    static const int32_t kFirst[StageGroupCount + 1] = {StageFrequencyEnd, StageDuty, StageLowpass, StageValueCount};
    return kFirst[group];
}
int32_t EndStage(int32_t group) { return FirstStage(group + 1); }

} // namespace

float COscilloscope::StageAreaHeight(int32_t group)
{
    group = ClampGroup(group);
    return 2.0f * kStageTop + kStageRowHeight * static_cast<float>(EndStage(group) - FirstStage(group));
}

void COscilloscope::SetupStages(const PanelTemplates& t)
{
    const float z = GetZ() + 1.0f;
    auto place = [z](CGUI& control, CGUI* parent, float x, float y) {
        control.SetPosition(x, y);
        control.SetZ(z);
        control.SetParent(parent);
    };
    // The areas' switches stand in a row below the main rows, from the left.
    float x = 2.0f;
    for (int32_t g = 0; g < StageGroupCount; ++g) {
        if (t.groups[g])
            m_groupBoxes[g].Assign(*t.groups[g]);
        place(m_groupBoxes[g], this, x, 90.0f + 1.0f);
        x += m_groupBoxes[g].GetWidth() + 2.0f;

        CGUI& area = m_stageAreas[g];
        area.CopyFrom(*this);
        area.SetName(String());
        area.SetVisible(false);
        area.SetParent(this);
        area.SetSize(kWidth, StageAreaHeight(g));
        area.SetPosition(0.0f, kPanelHeight);
        float y = kStageTop;
        for (int32_t stage = FirstStage(g); stage < EndStage(g); ++stage) {
            CFont& label = m_stageLabels[stage];
            if (t.text) {
                label.Assign(*t.text);
                label.SetVisible(true);
            }
            label.SetAlign(3); // left, centred on the row
            label.SetSize(kStageSwitchX - 10.0f, 11.0f);
            label.SetText(StageLabel(stage));
            SetEmission(label, 1.0f, 1.0f, 1.0f, 0.0f);
            place(label, &area, 6.0f, y);

            CScroll& slider = m_stageSliders[stage];
            if (t.slider)
                slider.Assign(*t.slider);
            float min, max;
            StageSliderRange(stage, min, max);
            slider.SetRange(min, max);
            place(slider, &area, 250.0f, y);
            CEdit& box = m_stageBoxes[stage];
            if (t.text) {
                box.SetFont(t.text);
                box.GetTextElement().SetVisible(true);
            }
            box.SetNumber(true);
            box.SetLimit(6); // "-24.00" or "20000"
            box.SetSize(50.0f, slider.CGUI::GetHeight());
            place(box, &area, 250.0f - 53.0f, y);
            y += kStageRowHeight;
        }
    }
    if (t.linear)
        m_linearBox.Assign(*t.linear);
    if (t.clean)
        m_cleanBox.Assign(*t.clean);
    place(m_linearBox, &m_stageAreas[GroupPitch], kStageSwitchX, 0.0f);
    place(m_cleanBox, &m_stageAreas[GroupTone], kStageSwitchX, 0.0f);
}

void COscilloscope::NameControls()
{
    for (int32_t i = 0; i < VoiceValueCount; ++i) {
        const String name = ValueName(i);
        m_labels[i].SetTooltip(name);
        m_sliders[i].SetTooltip(name);
        m_boxes[i].SetTooltip(name);
    }
    for (int32_t i = 0; i < StageValueCount; ++i) {
        const String name = StageName(i);
        m_stageLabels[i].SetTooltip(name);
        m_stageSliders[i].SetTooltip(name);
        m_stageBoxes[i].SetTooltip(name);
    }
    static const char* const kShapeNames[kShapes] = {"sine", "triangle", "sawtooth", "square", "noise"};
    for (int32_t i = 0; i < kShapes; ++i) {
        m_waveBoxes[i].SetTooltip(String("Shape: ") + kShapeNames[i]);
        m_carrierBoxes[i].SetTooltip(String("Carrier shape: ") + kShapeNames[i]);
    }
    m_loop.SetTooltip("Loop: kept in the project file for other tools; changes nothing you hear");
    m_carrierBox.SetTooltip("Carrier: a second oscillator that modulates the voice (AM, FM or PM)");
    m_envelopeBox.SetTooltip("Envelope: the level over time (attack, decay, sustain, hold, release)");
    m_mute.SetTooltip("Mute: leave the voice out of the mix");
    m_modeBoxes[0].SetTooltip("AM: the carrier changes the voice's amplitude");
    m_modeBoxes[1].SetTooltip("FM: the carrier changes the voice's frequency");
    m_modeBoxes[2].SetTooltip("PM: the carrier changes the voice's phase");
    m_close.SetTooltip("Close: remove the voice (Ctrl+Z brings it back)");
    m_groupBoxes[GroupPitch].SetTooltip("Pitch: end frequency and glide, vibrato, arpeggio, repeat");
    m_groupBoxes[GroupTone].SetTooltip("Tone: duty and its end, clean shapes, tremolo");
    m_groupBoxes[GroupFilter].SetTooltip("Filter: low-pass and its end, resonance, high-pass and its end");
    m_linearBox.SetTooltip("Linear glide: the frequency moves evenly in hertz (off: evenly in pitch)");
    m_cleanBox.SetTooltip("Clean shapes: sawtooth, square and triangle without aliasing");
}

void COscilloscope::SetWidth(float width)
{
    width = width > kWidth ? std::min(width, kMaxWidth) : kWidth; // NaN too
    const float extra = width - m_width;
    m_width = width;
    if (m_laidOut)
        Widen(extra);
}

void COscilloscope::Widen(float extra)
{
    if (extra == 0.0f)
        return;
    // Everything right of the screens moves; the screens take the width.
    const float right = m_voiceScreen.GetX() + m_voiceScreen.CGUI::GetWidth();
    for (uint32_t i = 0; i < m_childCount; ++i) {
        CGUI& child = *m_children[i];
        if (&child == &m_voiceScreen || &child == &m_carrierScreen || &child == &m_envelopeScreen)
            child.SetSize(child.CGUI::GetWidth() + extra, child.CGUI::GetHeight());
        else if (child.GetX() >= right)
            child.SetPosition(child.GetX() + extra, child.GetY());
    }
    for (CGUI* corner : {static_cast<CGUI*>(&m_scaleLabels[0]), static_cast<CGUI*>(&m_scaleLabels[1]),
                         &m_scaleBacks[0], &m_scaleBacks[1]})
        corner->SetPosition(corner->GetX() + extra, corner->GetY());
    SetSize(m_width, kPanelHeight);
    m_carrierArea.SetSize(m_width, kCarrierHeight);
    m_envelopeArea.SetSize(m_width, kEnvelopeHeight);
    for (int32_t g = 0; g < StageGroupCount; ++g)
        m_stageAreas[g].SetSize(m_width, StageAreaHeight(g));
    UpdateTraces();
}

// [SECTION] Showing the model

void COscilloscope::OnModelChanged(VoiceChange change)
{
    ShowModel(false);
    if (change == VoiceChange::Sound)
        changed.Emit();
}

void COscilloscope::ShowModel(bool force)
{
    const CVoiceModel& model = *m_model;
    const bool wasShowing = m_showing;
    m_showing = true;
    for (int32_t i = 0; i < VoiceValueCount; ++i) {
        // A box that already reads as the value keeps its text: what the user typed stands.
        if (force || ReadShownNumber(m_boxes[i].GetText()) != model.GetShown(i))
            m_boxes[i].SetText(model.GetShownText(i));
        if (m_sliders[i].GetValue() != model.GetPosition(i))
            m_sliders[i].SetValue(model.GetPosition(i));
    }
    m_loop.SetDown(model.IsLoopOn());
    m_envelopeBox.SetDown(model.IsEnvelopeOn());
    m_carrierBox.SetDown(model.IsCarrierOn());
    m_mute.SetDown(model.IsMuted());
    for (int32_t i = 0; i < kShapes; ++i) {
        m_waveBoxes[i].SetDown(model.GetWaveType() == i);
        m_carrierBoxes[i].SetDown(model.GetCarrierType() == i);
    }
    for (int32_t i = 0; i < 3; ++i)
        m_modeBoxes[i].SetDown(model.GetModulationChoice() == i);
    for (int32_t i = 0; i < StageValueCount; ++i) {
        const float value = model.GetStage(i);
        if (force || ReadShownNumber(m_stageBoxes[i].GetText()) != value)
            m_stageBoxes[i].SetText(StageText(i, value));
        const float position = StageSliderPosition(i, value);
        if (m_stageSliders[i].GetValue() != position)
            m_stageSliders[i].SetValue(position);
    }
    m_linearBox.SetDown(model.GetGlide() == GlideLinear);
    m_cleanBox.SetDown(model.IsBandLimited());

    bool relayout = false;
    for (auto [area, shown] : {std::pair<CGUI*, bool>{&m_carrierArea, model.IsCarrierOn()},
                               std::pair<CGUI*, bool>{&m_envelopeArea, model.IsEnvelopeOn()}}) {
        if (area->GetVisibleFlag() != shown) {
            area->SetVisible(shown);
            relayout = true;
        }
    }
    for (int32_t g = 0; g < StageGroupCount; ++g) {
        const bool used = UsesStageGroup(g);
        if (used && !m_groupUsed[g] && !m_stageAreas[g].GetVisibleFlag()) {
            m_stageAreas[g].SetVisible(true);
            relayout = true;
        }
        m_groupUsed[g] = used;
        m_groupBoxes[g].SetDown(m_stageAreas[g].GetVisibleFlag());
    }
    ShowFolding();
    UpdateTraces();
    m_showing = wasShowing;
    if (relayout)
        Relayout();
}

bool COscilloscope::UsesStageGroup(int32_t group) const
{
    group = ClampGroup(group);
    for (int32_t stage = FirstStage(group); stage < EndStage(group); ++stage)
        if (m_model->GetStage(stage) != CVoiceModel::GetStageDefault(stage))
            return true;
    return false;
}

void COscilloscope::SetStageAreaOpen(int32_t group, bool open)
{
    CGUI& area = m_stageAreas[ClampGroup(group)];
    m_groupBoxes[ClampGroup(group)].SetDown(open);
    if (area.GetVisibleFlag() == open)
        return;
    area.SetVisible(open);
    Relayout();
}

bool COscilloscope::IsStageAreaOpen(int32_t group) const { return m_stageAreas[ClampGroup(group)].GetVisibleFlag(); }

void COscilloscope::SetSampleRate(uint32_t rate)
{
    if (rate == 0 || rate == m_sampleRate)
        return;
    m_sampleRate = rate;
    ShowFolding();
}

bool COscilloscope::IsFolding(const CGUI* box) const
{
    float value = 0.0f;
    if (box == &m_boxes[ValueFrequency] || box == &m_boxes[ValueCarrierFrequency])
        value = m_model->GetShown(box == &m_boxes[ValueFrequency] ? ValueFrequency : ValueCarrierFrequency);
    else if (box == &m_stageBoxes[StageFrequencyEnd])
        value = m_model->GetStage(StageFrequencyEnd);
    else
        return false;
    return std::fabs(static_cast<double>(value)) > FoldingFrequency(m_sampleRate);
}

void COscilloscope::ShowFolding()
{
    CEdit* boxes[3] = {&m_boxes[ValueFrequency], &m_boxes[ValueCarrierFrequency], &m_stageBoxes[StageFrequencyEnd]};
    const String names[3] = {ValueName(ValueFrequency), ValueName(ValueCarrierFrequency), StageName(StageFrequencyEnd)};
    for (int32_t i = 0; i < 3; ++i) {
        const bool folds = IsFolding(boxes[i]);
        boxes[i]->SetTooltip(folds ? names[i] + String::Format(": above half the sample rate (%.0f Hz) the tone folds "
                                                               "back and is heard lower",
                                                               FoldingFrequency(m_sampleRate))
                                   : names[i]);
        SetBoxFocusColours(boxes[i], boxes[i] == m_focused && boxes[i]->HasFocus());
    }
}

// [SECTION] Slider, value box and click handlers

void COscilloscope::OnStageSlider(float position, CScroll* slider)
{
    if (m_showing)
        return;
    const int32_t stage = static_cast<int32_t>(slider - m_stageSliders);
    m_model->SetStage(stage, StageFromSlider(stage, position));
    m_stageBoxes[stage].SetText(StageText(stage, m_model->GetStage(stage)));
}

void COscilloscope::OnStageBox(const String& text, CEdit* box)
{
    if (m_showing)
        return;
    // Out of range the model takes the limit; the box is then rewritten with it.
    m_model->SetStage(static_cast<int32_t>(box - m_stageBoxes), ReadShownNumber(text));
    ShowModel(false);
}

void COscilloscope::OnSlider(float position, CScroll* slider)
{
    if (m_showing)
        return;
    const int32_t value = static_cast<int32_t>(slider - m_sliders);
    m_model->SetSlider(value, position);
    // A moved slider always rewrites its box, even over typed text that reads the same.
    m_boxes[value].SetText(m_model->GetShownText(value));
}

void COscilloscope::OnValueBox(const String& text, CEdit* box)
{
    if (m_showing)
        return;
    // Out of range, the model takes the limit and the box is rewritten with it.
    m_model->SetTyped(static_cast<int32_t>(box - m_boxes), ReadShownNumber(text));
}

void COscilloscope::OnClick(CButton* button)
{
    if (button == &m_close) {
        closed.Emit(); // the scene may schedule this panel's deletion: touch nothing after
        return;
    }
    // The box has toggled itself; the model decides what every box shows afterwards, so a
    // click on the checked box of a group keeps it checked.
    CVoiceModel& model = *m_model;
    for (int32_t i = 0; i < kShapes; ++i) {
        if (button == &m_waveBoxes[i])
            model.SetWaveType(i);
        if (button == &m_carrierBoxes[i])
            model.SetCarrierType(i);
    }
    for (int32_t i = 0; i < 3; ++i)
        if (button == &m_modeBoxes[i])
            model.SetModulation(i);
    if (button == &m_mute)
        model.SetMute(m_mute.IsDown());
    if (button == &m_carrierBox)
        model.SetCarrierOn(m_carrierBox.IsDown());
    if (button == &m_envelopeBox)
        model.SetEnvelopeOn(m_envelopeBox.IsDown());
    if (button == &m_loop) {
        model.SetLoop(m_loop.IsDown());
        changed.Emit(); // the loop is not heard, but a click on the switch is a change
    }
    if (button == &m_linearBox)
        model.SetGlide(m_linearBox.IsDown() ? GlideLinear : GlideExponential);
    if (button == &m_cleanBox)
        model.SetBandLimited(m_cleanBox.IsDown());
    for (int32_t g = 0; g < StageGroupCount; ++g)
        if (button == &m_groupBoxes[g])
            SetStageAreaOpen(g, m_groupBoxes[g].IsDown());
    // A click that changed nothing (the checked box of a group) made the model announce
    // nothing: the boxes show it again.
    ShowModel(false);
}

void COscilloscope::Relayout()
{
    // The shown areas stack below the main rows: carrier, envelope, Pitch, Tone, Filter.
    float y = kPanelHeight;
    auto stack = [&y](CGUI& area, float height) {
        if (!area.GetVisibleFlag())
            return;
        area.SetPosition(0.0f, y);
        y += height;
    };
    stack(m_carrierArea, kCarrierHeight);
    stack(m_envelopeArea, kEnvelopeHeight);
    for (int32_t g = 0; g < StageGroupCount; ++g)
        stack(m_stageAreas[g], StageAreaHeight(g));
    resized.Emit();
}

namespace {

// Two points per column, a vertical stroke from the least to the greatest value, entered at
// the end nearer to where the previous stroke left off: the strip then joins neighbouring
// columns along the curve instead of crossing the band.
void FillOutline(CTrace& trace, const std::vector<OutlineColumn>& columns, double columnsPerSecond)
{
    trace.SetPointCount(static_cast<uint32_t>(2 * columns.size()));
    double last = 0.0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const OutlineColumn& c = columns[i];
        const bool lowFirst = i == 0 || std::fabs(last - c.low) <= std::fabs(last - c.high);
        const double first = lowFirst ? c.low : c.high, second = lowFirst ? c.high : c.low;
        const float x = static_cast<float>((static_cast<double>(i) + 0.5) / columnsPerSecond);
        trace.SetPoint(static_cast<uint32_t>(2 * i), x, static_cast<float>(first));
        trace.SetPoint(static_cast<uint32_t>(2 * i + 1), x, static_cast<float>(second));
        last = second;
    }
}

// One column a pixel of the screen's width, at least kScreenColumns.
uint32_t ScreenColumns(const CGUI& screen)
{
    const float width = screen.CGUI::GetWidth();
    return width > COscilloscope::kScreenColumns ? static_cast<uint32_t>(width) : COscilloscope::kScreenColumns;
}

// "±range" (one decimal below 10), empty for a range of 1 or less.
String ScaleText(double range)
{
    return range > 1.0 ? String::Format(range < 9.95 ? "\xC2\xB1%.1f" : "\xC2\xB1%.0f", range) : String();
}

} // namespace

void COscilloscope::ShowScale(double peak, double& range, CFont& label)
{
    range = peak > 1.0 ? peak : 1.0;
    label.SetText(ScaleText(range));
}

void COscilloscope::RefreshTraces() const
{
    if (!m_tracesStale)
        return;
    m_tracesStale = false;
    const VoiceParams voice = m_model->GetParams();
    const CGUI* screens[3] = {&m_voiceScreen, &m_carrierScreen, &m_envelopeScreen};
    const double lengths[3] = {voice.wave.period, voice.carrier.period, EnvelopeLength(voice.envelope)};
    uint32_t columns[3];
    for (int32_t i = 0; i < 3; ++i) {
        columns[i] = ScreenColumns(*screens[i]);
        m_span[i] = lengths[i] > 0.0 && std::isfinite(lengths[i]) ? lengths[i] : 0.0;
        // A length no one would type (a denormal) must not give a pace a float cannot hold.
        m_pace[i] = m_span[i] > 0.0 ? std::min(columns[i] / m_span[i], 1.0e12) : kScreenColumns;
    }
    const std::vector<OutlineColumn> voiceColumns = OutlineVoice(voice, lengths[0], m_pace[0], columns[0]);
    const std::vector<OutlineColumn> carrierColumns = OutlineWave(voice.carrier, lengths[1], m_pace[1], columns[1]);
    FillOutline(m_voiceTrace, voiceColumns, m_pace[0]);
    FillOutline(m_carrierTrace, carrierColumns, m_pace[1]);
    ShowScale(OutlinePeak(voiceColumns), m_voiceRange, m_scaleLabels[0]);
    ShowScale(OutlinePeak(carrierColumns), m_carrierRange, m_scaleLabels[1]);
    FillOutline(m_envelopeTrace, OutlineEnvelope(voice.envelope, lengths[2], m_pace[2], columns[2]), m_pace[2]);
}

bool COscilloscope::SetPlayhead(double seconds, bool wrap)
{
    const double length = GetLength();
    if (wrap && length > 0.0 && seconds >= 0.0)
        seconds = std::fmod(seconds, length);
    RefreshTraces();
    double screenSeconds = m_span[0];
    if (m_carrierArea.GetVisibleFlag())
        screenSeconds = std::max(screenSeconds, m_span[1]);
    if (m_envelopeArea.GetVisibleFlag())
        screenSeconds = std::max(screenSeconds, m_span[2]);
    const bool shown = seconds >= 0.0 && seconds < screenSeconds; // false for NaN
    m_playhead = shown ? seconds : -1.0;
    const int64_t column = shown ? static_cast<int64_t>(std::min(seconds * m_pace[0], 1.0e9)) : -1;
    if (column == m_playheadColumn)
        return false;
    m_playheadColumn = column;
    return true;
}

// [SECTION] Height and slider

float COscilloscope::GetHeight() const
{
    float height = kPanelHeight;
    if (m_carrierArea.GetVisibleFlag())
        height += kCarrierHeight;
    if (m_envelopeArea.GetVisibleFlag())
        height += kEnvelopeHeight;
    for (int32_t g = 0; g < StageGroupCount; ++g)
        if (m_stageAreas[g].GetVisibleFlag())
            height += StageAreaHeight(g);
    return height;
}

void COscilloscope::SetSlider(int32_t value, float position)
{
    if (value >= 0 && value < VoiceValueCount)
        m_sliders[value].SetValue(position);
}

// [SECTION] Mouse input and focus

void COscilloscope::SetBoxFocusColours(CGUI* child, bool focused)
{
    if (!child || child->GetKind() != GUIEdit)
        return;
    const bool folds = !focused && IsFolding(child);
    SetColour(child->material.emission, focused ? kFocusEmission : folds ? kWarnEmission : kBoxEmission);
    SetColour(child->material.diffuse, focused ? kFocusDiffuse : folds ? kWarnDiffuse : kBoxDiffuse);
}

void COscilloscope::SetClip(float x, float y, float width, float height)
{
    m_clipped = true;
    m_clip[0] = x;
    m_clip[1] = y;
    m_clip[2] = width;
    m_clip[3] = height;
}

bool COscilloscope::InClip(int32_t x, int32_t y) const
{
    if (!m_clipped)
        return true;
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    return fx >= m_clip[0] && fx < m_clip[0] + m_clip[2] && fy >= m_clip[1] && fy < m_clip[1] + m_clip[3];
}

bool COscilloscope::TakesWheelAt(int32_t x, int32_t y) const
{
    return m_focused && m_focused->HasFocus() && m_focused->GetKind() == GUIScroll && InClip(x, y) &&
           m_focused->HitTest(x, y);
}

bool COscilloscope::OverPanel(int32_t x, int32_t y) const
{
    if (!IsVisible() || !InClip(x, y))
        return false;
    const CVector at = GetAbsolutePosition();
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    return fx >= at.x && fx <= at.x + m_width && fy >= at.y && fy <= at.y + GetHeight();
}

CGUI* COscilloscope::ChildAt(int32_t x, int32_t y) const
{
    for (uint32_t i = 0; i < m_childCount; ++i)
        if (m_children[i]->HitTest(x, y))
            return m_children[i];
    return nullptr;
}

const CGUI* COscilloscope::TipAt(int32_t x, int32_t y) const
{
    if (!OverPanel(x, y))
        return nullptr;
    if (const CGUI* hit = ChildAt(x, y))
        return hit;
    // Labels take no presses, but they name their rows.
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    for (uint32_t i = 0; i < m_childCount; ++i) {
        const CGUI& child = *m_children[i];
        if (child.GetKind() != GUIText || child.GetTooltip().IsEmpty() || !child.IsVisible())
            continue;
        const CVector at = child.GetAbsolutePosition();
        if (fx >= at.x && fx < at.x + child.GetWidth() && fy >= at.y && fy < at.y + child.GetHeight())
            return &child;
    }
    return nullptr;
}

void COscilloscope::ProcessInput(CInputMap& event)
{
    // A wheel turn carries no position: it happens where the pointer is.
    const CVector at = event.action == InputWheel ? GetMousePosition() : event.position;
    const int32_t x = PixelOf(at.x), y = PixelOf(at.y);
    CGUI* focused = m_focused && m_focused->HasFocus() ? m_focused : nullptr;
    switch (event.action) {
    case InputPress:
    case InputDoubleClick: {
        // Outside the clip, or where a router in front took the press, the controls are out
        // of reach: it is a press elsewhere.
        CGUI* hit = !event.handled && OverPanel(x, y) ? ChildAt(x, y) : nullptr;
        if (!hit) {
            DropFocus();
            return;
        }
        event.handled = true;
        if (hit != m_focused) {
            DropFocus();
            m_focused = hit;
            if (hit->GetKind() == GUIEdit) {
                SetBoxFocusColours(hit, true);
                selected.Emit();
            }
        } else if (hit->GetKind() == GUIEdit) {
            SetBoxFocusColours(hit, true);
        }
        SetPointerCapture(hit);
        hit->RouteInput(event); // the focus, onPress, and the press for the control's parts
        return;
    }
    case InputRelease:
        if (m_focused && GetPointerCapture() == m_focused)
            SetPointerCapture(nullptr);
        if (focused)
            focused->RouteInput(event);
        return;
    case InputWheel:
        // The focused slider takes the wheel only under the pointer; elsewhere the wheel is
        // the owner's (it scrolls the panels).
        if (focused && TakesWheelAt(x, y))
            focused->RouteInput(event);
        return;
    case InputMove:
        if (focused)
            focused->RouteInput(event); // drags the focused control's thumb
        break;
    default:
        return;
    }
    if (GetPointerCapture())
        return; // a held button keeps every hover as it is
    if (m_tipBox) {
        const CGUI* tipped = event.handled ? nullptr : TipAt(x, y);
        const CGUI* target = m_tipBox->GetTarget();
        if (tipped || std::find(m_children, m_children + m_childCount, target) != m_children + m_childCount)
            m_tipBox->Track(tipped, tipped ? tipped->GetTooltip() : String(), x, y);
    }
    CGUI* hover = !event.handled && OverPanel(x, y) ? ChildAt(x, y) : nullptr;
    if (hover) {
        event.handled = true;
        m_hovered = hover;
        SetPointerHover(hover);
    } else if (m_hovered) {
        if (GetPointerHover() == m_hovered)
            SetPointerHover(nullptr);
        m_hovered = nullptr;
    }
}

void COscilloscope::GetTabStops(std::vector<CGUI*>& stops)
{
    const size_t first = stops.size();
    for (uint32_t i = 0; i < m_childCount; ++i) {
        CGUI* child = m_children[i];
        const int32_t kind = child->GetKind();
        const bool takesKeys = kind == GUIButton || kind == GUICheckBox || kind == GUIEdit || kind == GUIScroll;
        if (takesKeys && child->IsEnabled() && child->IsVisible())
            stops.push_back(child);
    }
    // Rows 8 pixels apart: a value box and its slider, the close button and the boxes beside
    // it, stand on one row each.
    auto row = [this](CGUI* c) { return static_cast<int32_t>((c->GetAbsolutePosition().y - GetY() + 4.0f) / 8.0f); };
    std::stable_sort(stops.begin() + static_cast<std::ptrdiff_t>(first), stops.end(), [&](CGUI* a, CGUI* b) {
        const int32_t ra = row(a), rb = row(b);
        return ra != rb ? ra < rb : a->GetAbsolutePosition().x < b->GetAbsolutePosition().x;
    });
}

void COscilloscope::DropFocus()
{
    if (!m_focused)
        return;
    m_focused->SetFocus(false);
    SetBoxFocusColours(m_focused, false);
}

// [SECTION] Drawing

void COscilloscope::RenderTrace(CTrace& trace, const CGUI& screen, float pixelsPerSecond, double range)
{
    const CVector origin = screen.GetAbsolutePosition();
    const float screenHeight = screen.CGUI::GetHeight();
    const bool clip = range > 0.0;
    const float y = clip ? origin.y + 0.5f * screenHeight : origin.y + screenHeight;
    trace.SetScale(pixelsPerSecond, clip ? static_cast<float>(-0.5 * screenHeight / range) : -screenHeight, 1.0f);
    trace.SetPosition(origin.x, y, screen.GetZ() + 1.0f);
    if (!clip) {
        trace.Draw();
        return;
    }
    // Within the panel's own clip, when it has one.
    CClipScope scope(origin.x, origin.y, screen.CGUI::GetWidth(), screenHeight);
    trace.Draw();
}

void COscilloscope::RenderScaleLabel(int32_t screen)
{
    if (m_scaleLabels[screen].GetText().IsEmpty())
        return;
    m_scaleBacks[screen].Render();
    m_scaleLabels[screen].Render();
}

void COscilloscope::RenderPlayhead(const CGUI& screen, float pixelsPerSecond, double span)
{
    const float x = static_cast<float>(std::floor(m_playhead * pixelsPerSecond)) + 0.5f;
    const float width = screen.CGUI::GetWidth(), height = screen.CGUI::GetHeight();
    if (m_playhead < 0.0 || !(m_playhead <= span) || !(x < width))
        return;
    const CVector origin = screen.GetAbsolutePosition();
    m_playheadLine.SetScale(1.0f, height, 1.0f);
    m_playheadLine.SetPosition(origin.x + x, origin.y, screen.GetZ() + 1.5f);
    CClipScope scope(origin.x, origin.y, width, height);
    m_playheadLine.Draw();
}

void COscilloscope::Render()
{
    if (!IsVisible())
        return;
    RefreshTraces();
    if (m_clipped)
        PushClip(m_clip[0], m_clip[1], m_clip[2], m_clip[3]);
    CGUI::Render();
    m_carrierArea.Render();
    m_envelopeArea.Render();
    for (CGUI& area : m_stageAreas)
        area.Render();
    for (uint32_t i = 0; i < m_childCount; ++i)
        m_children[i]->Render();
    const float pace[3] = {static_cast<float>(m_pace[0]), static_cast<float>(m_pace[1]), static_cast<float>(m_pace[2])};
    RenderTrace(m_voiceTrace, m_voiceScreen, pace[0], m_voiceRange);
    RenderScaleLabel(0);
    if (m_carrierArea.GetVisibleFlag()) {
        RenderTrace(m_carrierTrace, m_carrierScreen, pace[1], m_carrierRange);
        RenderScaleLabel(1);
    }
    if (m_envelopeArea.GetVisibleFlag())
        RenderTrace(m_envelopeTrace, m_envelopeScreen, pace[2], 0.0);
    RenderPlayhead(m_voiceScreen, pace[0], m_span[0]);
    if (m_carrierArea.GetVisibleFlag())
        RenderPlayhead(m_carrierScreen, pace[1], m_span[1]);
    if (m_envelopeArea.GetVisibleFlag())
        RenderPlayhead(m_envelopeScreen, pace[2], m_span[2]);
    if (m_clipped)
        PopClip();
}
