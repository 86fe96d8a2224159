// The voice panel without a window: sliders and value boxes, clamping and write-back, radio
// groups, the envelope and carrier areas, the layout, focus across panels, and clipping.
#include "events/Input.h"
#include "media/GL.h"
#include "app/Oscilloscope.h"

#include "support/GLTestContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

struct Counter {
    explicit Counter(CSignal<>& signal) { slots.Connect(signal, this, &Counter::Count); }
    void Count() { ++count; }
    int count = 0;
    CSlotList slots;
};

// Types text into the box from the keyboard, as a user does after clicking it.
void Type(CEdit& box, const char* text)
{
    box.SetText("");
    box.SetFocus(true);
    for (const char* c = text; *c; ++c)
        EmitCharacter(static_cast<unsigned char>(*c));
    box.SetFocus(false);
}

void Click(CButton& button) { button.onRelease.Emit(); }

void PressAt(int32_t x, int32_t y)
{
    EmitMouseMove(x, y);
    EmitMouseButton(MouseLeft, InputPress);
    EmitMouseButton(MouseLeft, InputRelease);
}

std::string Text(CEdit& box) { return box.GetText().CStr(); }

class Panel : public ::testing::Test {
protected:
    void SetUp() override { panel.Setup(templates.Get()); }
    CStockTemplates templates;
    COscilloscope panel;
};

TEST_F(Panel, LaysItsControlsOutInsideThePanelAndAreas)
{
    ASSERT_EQ(panel.GetChildCount(), 116u);
    for (uint32_t i = 0; i < panel.GetChildCount(); ++i) {
        CGUI& child = *panel.GetChild(i);
        const float areaHeight = child.GetParent() == &panel ? COscilloscope::kPanelHeight : child.GetParent()->CGUI::GetHeight();
        EXPECT_GE(child.GetX(), 0.0f) << i;
        EXPECT_LE(child.GetX() + child.CGUI::GetWidth(), 400.0f) << i;
        EXPECT_LE(child.GetY() + child.CGUI::GetHeight(), areaHeight) << i;
        EXPECT_EQ(child.GetZ(), 11.0f) << i;
    }
    // Voice screen down to the phase slider's bottom; close button 2 from the corner.
    EXPECT_EQ(panel.GetChild(0)->CGUI::GetHeight(), 82.0f);
    EXPECT_EQ(panel.CloseButton().GetX(), 382.0f);
    EXPECT_EQ(panel.ValueBox(ValueAmplitude).GetX(), 197.0f);
    EXPECT_EQ(panel.Slider(ValueAmplitude).GetY(), 21.0f);
    EXPECT_EQ(panel.Slider(ValueCarrierPhase).GetParent(), &panel.CarrierArea());
    EXPECT_EQ(panel.Slider(ValueRelease).GetParent(), &panel.EnvelopeArea());
    EXPECT_EQ(panel.Slider(ValueOffset).GetMin(), -100.0f);
    EXPECT_EQ(panel.Slider(ValuePeriod).GetMax(), 1000.0f);
    EXPECT_EQ(panel.Slider(ValueCarrierPhase).GetMax(), 100.0f);
}

TEST_F(Panel, SliderSetsTheValueAndItsBox)
{
    Counter changed(panel.changed);
    panel.SetSlider(ValueAmplitude, 137.0f);
    EXPECT_EQ(panel.GetWave().amplitude, 1.37f);
    EXPECT_EQ(Text(panel.ValueBox(ValueAmplitude)), "1.37");
    panel.SetSlider(ValueCarrierFrequency, 2500.0f);
    EXPECT_EQ(panel.GetCarrier().frequency, 2000.0f);
    EXPECT_EQ(Text(panel.ValueBox(ValueCarrierFrequency)), "2000");
    EXPECT_EQ(changed.count, 2);
    // The 4 Hz voice's trace follows its curve: one short stroke per pixel column across the
    // period, through the wave at the column's middle.
    const CTrace& trace = panel.VoiceTrace();
    ASSERT_EQ(trace.VertexCount(), 360u);
    for (uint32_t i = 0; i < 180; ++i) {
        const float x = trace.PointX(2 * i);
        EXPECT_FLOAT_EQ(x, (i + 0.5f) / 180.0f);
        EXPECT_EQ(trace.PointX(2 * i + 1), x);
        const float low = std::min(trace.PointY(2 * i), trace.PointY(2 * i + 1));
        const float high = std::max(trace.PointY(2 * i), trace.PointY(2 * i + 1));
        const double middle = 1.37 * std::sin(x * 6.283185308 * 4);
        EXPECT_LE(low, middle + 1e-5);
        EXPECT_GE(high, middle - 1e-5);
        EXPECT_LT(high - low, 0.2f);
    }
}

TEST_F(Panel, FastVoicesFillTheirScreensWithABandShapedByTheEnvelope)
{
    // 440 Hz over 1 s: every column spans nearly ±amplitude.
    panel.SetSlider(ValueFrequency, 440.0f);
    panel.SetSlider(ValueAmplitude, 80.0f);
    const CTrace& trace = panel.VoiceTrace();
    ASSERT_EQ(trace.VertexCount(), 360u);
    for (uint32_t i = 0; i < 180; ++i) {
        EXPECT_NEAR(std::min(trace.PointY(2 * i), trace.PointY(2 * i + 1)), -0.8f, 1e-3f) << i;
        EXPECT_NEAR(std::max(trace.PointY(2 * i), trace.PointY(2 * i + 1)), 0.8f, 1e-3f) << i;
    }
    // With the envelope, the band follows the gain: full at the attack's end, half in the
    // hold, gone after the release. The trace spans the envelope's whole length.
    panel.SetEnvelopeOn(true);
    panel.SetSlider(ValueAttack, 20.0f);
    auto highAt = [&](double t) {
        const uint32_t i = static_cast<uint32_t>(t * 180.0 / panel.GetLength());
        return std::max(panel.VoiceTrace().PointY(2 * i), panel.VoiceTrace().PointY(2 * i + 1));
    };
    EXPECT_EQ(panel.VoiceTrace().VertexCount(), 360u);
    EXPECT_NEAR(highAt(0.01), 0.8 * EnvelopeGain(panel.GetEnvelope(), 0.01), 0.02);
    EXPECT_NEAR(highAt(0.2), 0.8, 0.02);
    EXPECT_NEAR(highAt(0.95), 0.4, 0.01);
    // The carrier screen shows its own wave the same way.
    panel.SetSlider(ValueCarrierFrequency, 1000.0f);
    const CTrace& carrier = panel.CarrierTrace();
    ASSERT_EQ(carrier.VertexCount(), 360u);
    EXPECT_NEAR(std::min(carrier.PointY(100), carrier.PointY(101)), -1.0f, 1e-3f);
    EXPECT_NEAR(std::max(carrier.PointY(100), carrier.PointY(101)), 1.0f, 1e-3f);
}

TEST_F(Panel, TypedValuesAreClampedAndWrittenBackOnlyWhenOutOfRange)
{
    Type(panel.ValueBox(ValueAmplitude), "7");
    EXPECT_EQ(panel.Slider(ValueAmplitude).GetValue(), 400.0f);
    EXPECT_EQ(Text(panel.ValueBox(ValueAmplitude)), "4.00");
    EXPECT_EQ(panel.GetWave().amplitude, 4.0f);

    Type(panel.ValueBox(ValueAmplitude), "0.5");
    EXPECT_EQ(panel.Slider(ValueAmplitude).GetValue(), 50.0f);
    EXPECT_EQ(Text(panel.ValueBox(ValueAmplitude)), "0.5");

    Type(panel.ValueBox(ValueOffset), "-");
    EXPECT_EQ(panel.Slider(ValueOffset).GetValue(), 0.0f);
    EXPECT_EQ(Text(panel.ValueBox(ValueOffset)), "-");
}

TEST_F(Panel, TypedFrequencyIsUsedAsTypedWhileTheSliderStopsAtItsEnd)
{
    Type(panel.ValueBox(ValueFrequency), "3000");
    EXPECT_EQ(panel.Slider(ValueFrequency).GetValue(), 2000.0f);
    EXPECT_EQ(panel.GetWave().frequency, 3000.0f);
    EXPECT_EQ(panel.GetShown(ValueFrequency), 3000.0f);
    panel.SetCarrierOn(true); // the carrier's boxes show, and take typing, only while it is on
    Type(panel.ValueBox(ValueCarrierFrequency), "440.6");
    EXPECT_EQ(panel.GetCarrier().frequency, 440.6f);
}

TEST_F(Panel, ShapeAndModeBoxesActAsRadioGroups)
{
    Click(panel.WaveBox(Sine));
    EXPECT_TRUE(panel.WaveBox(Sine).IsDown());
    Click(panel.WaveBox(Triangle));
    EXPECT_FALSE(panel.WaveBox(Sine).IsDown());
    EXPECT_TRUE(panel.WaveBox(Triangle).IsDown());
    EXPECT_EQ(panel.GetWaveType(), Triangle);
    EXPECT_TRUE(panel.CarrierWaveBox(Sine).IsDown()); // the other group is untouched

    // Noise is the fifth shape of both oscillators, with a box of its own in each group.
    Click(panel.WaveBox(Noise));
    EXPECT_EQ(panel.GetWaveType(), Noise);
    EXPECT_TRUE(panel.WaveBox(Noise).IsDown());
    EXPECT_FALSE(panel.WaveBox(Triangle).IsDown());
    EXPECT_NE(&panel.WaveBox(Noise), &panel.WaveBox(Sine));
    panel.SetCarrierOn(true);
    Click(panel.CarrierWaveBox(Noise));
    EXPECT_EQ(panel.GetCarrierType(), Noise);
    EXPECT_FALSE(panel.CarrierWaveBox(Sine).IsDown());
    panel.SetCarrierOn(false);
    Click(panel.WaveBox(Triangle));

    Click(panel.ModulationBox(PM));
    EXPECT_EQ(panel.GetModulation(), PM);
    EXPECT_FALSE(panel.ModulationBox(FM).IsDown());

    panel.SetModulation(5);
    EXPECT_EQ(panel.GetModulation(), FM);
    panel.SetCarrierOn(true);
    EXPECT_EQ(panel.SampleVoice(0.1), 0.0); // no mode box: a modulated voice is silent
}

TEST_F(Panel, EnvelopeSwitchSetsThePeriodAndShowsItsArea)
{
    Counter resized(panel.resized);
    Click(panel.EnvelopeBox());
    EXPECT_EQ(panel.GetWave().period, 1.1f);
    EXPECT_EQ(panel.GetLength(), EnvelopeLength(panel.GetEnvelope()));
    EXPECT_EQ(panel.GetHeight(), 184.0f);
    EXPECT_EQ(panel.EnvelopeArea().GetY(), 108.0f);
    EXPECT_EQ(resized.count, 1);

    panel.SetCarrierOn(true);
    EXPECT_EQ(panel.GetHeight(), 274.0f);
    EXPECT_EQ(panel.EnvelopeArea().GetY(), 198.0f);

    Click(panel.EnvelopeBox());
    EXPECT_EQ(panel.GetWave().period, 1.0f); // the period as its box shows it
    EXPECT_EQ(panel.GetHeight(), 198.0f);
}

TEST_F(Panel, EnvelopeSlidersAnnounceChangesOnlyWhileTheEnvelopeIsOn)
{
    Counter changed(panel.changed);
    panel.SetSlider(ValueDecay, 30.0f);
    // The envelope screen shows its 0.9 s over its 180 columns: the gain from 1 down to the
    // sustain level over the decay.
    const CTrace& envelope = panel.EnvelopeTrace();
    ASSERT_EQ(envelope.VertexCount(), 360u);
    EXPECT_NEAR(std::max(envelope.PointY(0), envelope.PointY(1)), 1.0f, 1e-6f);
    EXPECT_NEAR(std::min(envelope.PointY(120), envelope.PointY(121)), 0.5f, 1e-6f); // the hold, 0.3 s in
    EXPECT_EQ(panel.GetWave().period, 1.0f);
    EXPECT_EQ(changed.count, 0);

    panel.SetEnvelopeOn(true);
    changed.count = 0;
    panel.SetSlider(ValueHold, 100.0f);
    EXPECT_EQ(changed.count, 1);
    EXPECT_EQ(panel.GetWave().period, EnvelopeLength(panel.GetEnvelope()));
}

TEST(PanelView, FollowsChangesMadeToItsModelElsewhere)
{
    CStockTemplates templates;
    CVoiceModel model;
    COscilloscope panel(model);
    panel.Setup(templates.Get());
    Counter changed(panel.changed), resized(panel.resized);

    model.SetSlider(ValueAmplitude, 250.0f);
    model.SetTyped(ValueFrequency, 3000.0f);
    model.SetWaveType(Sawtooth);
    model.SetModulation(PM);
    model.SetCarrierOn(true);
    model.SetLoop(false);
    EXPECT_EQ(Text(panel.ValueBox(ValueAmplitude)), "2.50");
    EXPECT_EQ(panel.Slider(ValueAmplitude).GetValue(), 250.0f);
    EXPECT_EQ(Text(panel.ValueBox(ValueFrequency)), "3000");
    EXPECT_EQ(panel.Slider(ValueFrequency).GetValue(), 2000.0f);
    EXPECT_TRUE(panel.WaveBox(Sawtooth).IsDown() && !panel.WaveBox(Sine).IsDown());
    EXPECT_TRUE(panel.ModulationBox(PM).IsDown() && !panel.ModulationBox(FM).IsDown());
    EXPECT_TRUE(panel.CarrierBox().IsDown());
    EXPECT_FALSE(panel.LoopBox().IsDown());
    EXPECT_EQ(panel.GetHeight(), 198.0f);
    EXPECT_EQ(resized.count, 1);
    EXPECT_EQ(changed.count, 5); // the loop is not heard
    // The trace shows the model's voice: a 3000 Hz sawtooth, phase-modulated, fills a band.
    EXPECT_NEAR(std::min(panel.VoiceTrace().PointY(14), panel.VoiceTrace().PointY(15)), -2.5f, 0.01f);
    EXPECT_NEAR(std::max(panel.VoiceTrace().PointY(14), panel.VoiceTrace().PointY(15)), 2.5f, 0.01f);

    // Edits through the panel land in the model; the panel keeps no copy.
    Type(panel.ValueBox(ValuePhase), "0.25");
    EXPECT_EQ(model.GetWave().phase, 0.25f);
    Click(panel.CarrierWaveBox(Triangle));
    EXPECT_EQ(model.GetCarrierType(), Triangle);
    Click(panel.MuteBox()); // the box toggles itself first
    EXPECT_TRUE(model.IsMuted());
}

TEST(PanelView, ModelOutlivesItsPanelAndAPanelMayBeRebuilt)
{
    CStockTemplates templates;
    CVoiceModel model;
    {
        COscilloscope panel(model);
        panel.Setup(templates.Get());
        Type(panel.ValueBox(ValueAmplitude), "0.126");
        EXPECT_EQ(model.changed.GetPeerCount(), 1u);
    }
    EXPECT_EQ(model.changed.GetPeerCount(), 0u);
    model.SetSlider(ValueOffset, 50.0f); // nobody listens: nothing dangles

    COscilloscope again(model);
    again.Setup(templates.Get());
    EXPECT_EQ(Text(again.ValueBox(ValueAmplitude)), "0.126"); // as typed: still what is shown
    EXPECT_EQ(Text(again.ValueBox(ValueOffset)), "0.50");
    EXPECT_EQ(again.GetShown(ValueAmplitude), 0.126f);
}

TEST(PanelFocus, PressingABoxOfOnePanelDropsTheFocusColoursOfAnother)
{
    CStockTemplates templates;
    COscilloscope a, b;
    a.Setup(templates.Get());
    b.Setup(templates.Get());
    b.SetPosition(0.0f, 200.0f);
    Counter selectedA(a.selected), selectedB(b.selected);
    CEdit& boxA = a.ValueBox(ValueAmplitude);
    CEdit& boxB = b.ValueBox(ValuePhase);

    PressAt(210, 25);
    EXPECT_EQ(a.GetFocusedChild(), &boxA);
    EXPECT_TRUE(boxA.IsActive());
    EXPECT_EQ(boxA.material.emission[1], 0.8f);
    EXPECT_EQ(selectedA.count, 1);

    PressAt(210, 278);
    EXPECT_EQ(b.GetFocusedChild(), &boxB);
    EXPECT_EQ(selectedB.count, 1);
    EXPECT_FALSE(boxA.IsActive());
    EXPECT_EQ(boxA.material.emission[0], 1.0f);
    EXPECT_EQ(boxA.material.diffuse[1], 0.8f);
    EXPECT_EQ(boxA.material.diffuse[0], 0.8f);

    EmitKey(35, InputPress); // End: the click put the caret where it landed
    EmitCharacter('2');      // typing reaches the focused box only
    EXPECT_EQ(Text(boxB), "0.002");
    EXPECT_EQ(b.GetWave().phase, 0.002f);
    EXPECT_EQ(Text(boxA), "1.00");

    b.DropFocus();
    EXPECT_FALSE(boxB.IsActive());
    EXPECT_EQ(b.GetFocusedChild(), &boxB);
}

TEST(PanelFocus, ClicksOnCheckBoxesReachThePanel)
{
    CStockTemplates templates;
    COscilloscope panel;
    panel.Setup(templates.Get());
    Counter changed(panel.changed);
    const CCheckBox& mute = panel.MuteBox();
    PressAt(static_cast<int32_t>(mute.GetX()) + 5, 5);
    EXPECT_TRUE(panel.IsMuted());
    EXPECT_EQ(changed.count, 1);
}

TEST(PanelClip, PressesOutsideTheClipReachNoControl)
{
    CStockTemplates templates;
    COscilloscope panel;
    panel.Setup(templates.Get());
    panel.SetClip(0.0f, 40.0f, 800.0f, 560.0f); // the area below a 40 pixel bar
    const int32_t muteX = static_cast<int32_t>(panel.MuteBox().GetX()) + 5;
    PressAt(muteX, 5); // the box lies under the bar
    EXPECT_FALSE(panel.IsMuted());
    EXPECT_EQ(panel.GetFocusedChild(), nullptr);

    panel.SetPosition(0.0f, 40.0f);
    PressAt(210, 65); // the amplitude box, in sight
    CEdit& box = panel.ValueBox(ValueAmplitude);
    ASSERT_EQ(panel.GetFocusedChild(), &box);
    EXPECT_TRUE(box.IsActive());
    PressAt(210, 20); // above the clip: a press elsewhere
    EXPECT_FALSE(box.IsActive());
    EXPECT_EQ(box.material.emission[0], 1.0f); // its unfocused look
    PressAt(muteX, 45);
    EXPECT_TRUE(panel.IsMuted());
}

TEST(PanelClip, TheWheelStepsAFocusedSliderOnlyUnderThePointer)
{
    CStockTemplates templates;
    COscilloscope panel;
    panel.Setup(templates.Get());
    CScroll& slider = panel.Slider(ValueAmplitude);
    const int32_t x = static_cast<int32_t>(slider.GetX() + slider.CGUI::GetWidth()) - 3;
    const int32_t y = static_cast<int32_t>(slider.GetY()) + 5;
    PressAt(x, y); // on the track, past the thumb: focus, no change
    ASSERT_EQ(panel.GetFocusedChild(), &slider);
    EXPECT_EQ(panel.GetWave().amplitude, 1.0f);
    EXPECT_TRUE(panel.TakesWheelAt(x, y));
    EmitMouseWheel(-120); // towards the user: one step up
    EXPECT_EQ(panel.GetWave().amplitude, 1.01f);

    EmitMouseMove(100, 40); // over the voice screen
    EXPECT_FALSE(panel.TakesWheelAt(100, 40));
    EmitMouseWheel(-120);
    EXPECT_EQ(panel.GetWave().amplitude, 1.01f);

    // Clipped away, the slider under the pointer does not take it either.
    EmitMouseMove(x, y);
    panel.SetClip(0.0f, 40.0f, 800.0f, 560.0f);
    EXPECT_FALSE(panel.TakesWheelAt(x, y));
    EmitMouseWheel(-120);
    EXPECT_EQ(panel.GetWave().amplitude, 1.01f);
}

} // namespace

// Drawing: each trace is clipped to its own screen's rectangle, and the scissor test is off
// again afterwards.
namespace {

class PanelDrawing : public GLTest {};

TEST_F(PanelDrawing, DrawingLeavesTheScissorAsItFoundIt)
{
    CStockTemplates templates;
    COscilloscope panel;
    panel.Setup(templates.Get());
    panel.SetPosition(-100.0f, -10.0f);
    panel.SetCarrierOn(true);
    for (bool clipped : {false, true}) {
        if (clipped)
            panel.SetClip(0.0f, 0.0f, 40.0f, 40.0f);
        glScissor(3, 5, 7, 11);
        panel.Render();
        GLint box[4];
        glGetIntegerv(GL_SCISSOR_BOX, box);
        EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST)) << clipped;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(box[0], 3);
        EXPECT_EQ(box[1], 5);
        EXPECT_EQ(box[2], 7);
        EXPECT_EQ(box[3], 11);
    }
}

// The voice screen fills the 64 × 64 target: the panel at (-2, -2) puts the screen's top
// left corner at the target's, the trace's zero line at row 41. Lit with no lights on, the
// screen is black and the trace bright.
class PanelScreen : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped())
            return;
        panel.Setup(templates.Get());
        panel.SetPosition(-2.0f, -2.0f);
        glEnable(GL_LIGHTING);
    }
    // Row y counted from the top.
    static bool Lit(int x, int y)
    {
        uint8_t rgba[4];
        GLTestContext::Pixel(x, GLTestContext::kSide - 1 - y, rgba);
        return rgba[0] > 128;
    }
    void Draw()
    {
        GLClear(0.0f, 0.0f, 0.0f, 1.0f);
        panel.Render();
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    CStockTemplates templates;
    COscilloscope panel;
};

TEST_F(PanelScreen, A440HzVoiceFillsEveryColumnAndA4HzVoiceDrawsItsCurve)
{
    panel.SetSlider(ValueAmplitude, 50.0f); // the band reaches 20.5 rows either side of 41
    panel.SetSlider(ValueFrequency, 440.0f);
    Draw();
    for (int x = 1; x < 63; ++x)
        for (int y = 22; y <= 60; ++y)
            ASSERT_TRUE(Lit(x, y)) << x << ", " << y;

    panel.SetSlider(ValueFrequency, 4.0f);
    Draw();
    for (int x = 1; x < 63; ++x) {
        const double curve = 41.0 - 20.5 * std::sin(6.283185308 * 4.0 * (x + 0.5) / 180.0);
        int lit = 0;
        for (int y = 0; y < GLTestContext::kSide; ++y)
            if (Lit(x, y)) {
                ++lit;
                EXPECT_NEAR(y, curve, 3.0) << x;
            }
        EXPECT_GE(lit, 1) << x;
        EXPECT_LE(lit, 5) << x; // a line, not a band
    }
}

TEST_F(PanelScreen, ATraceTallerThanItsScreenStopsAtTheScreensEdge)
{
    panel.SetPosition(-2.0f, -40.0f); // the voice screen's bottom edge at row 44
    for (int32_t g = 0; g < StageGroupCount; ++g)
        panel.StageAreaBox(g).SetVisible(false); // the switches' row below it has lit labels
    panel.SetSlider(ValueAmplitude, 400.0f);
    panel.SetSlider(ValueFrequency, 4.0f);
    Draw();
    int litAbove = 0;
    for (int x = 0; x < GLTestContext::kSide; ++x) {
        litAbove += Lit(x, 43);
        for (int y = 44; y < GLTestContext::kSide; ++y)
            ASSERT_FALSE(Lit(x, y)) << x << ", " << y;
    }
    EXPECT_GE(litAbove, 2); // the curve runs past the edge twice in the target's width
}

TEST_F(PanelScreen, NothingIsDrawnOutsideTheClip)
{
    panel.SetSlider(ValueFrequency, 440.0f); // amplitude 1: the band covers the whole target
    Draw();
    EXPECT_TRUE(Lit(30, 5));
    panel.SetClip(0.0f, 20.0f, 64.0f, 44.0f);
    Draw();
    for (int x = 0; x < GLTestContext::kSide; ++x) {
        for (int y = 0; y < 20; ++y)
            ASSERT_FALSE(Lit(x, y)) << x << ", " << y;
        if (x > 0 && x < 63) {
            ASSERT_TRUE(Lit(x, 30)) << x;
        }
    }
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

} // namespace

// A carrier that stays outside ±1 (a laser's sweep: a ramp from 1.07 up to 2.45, then from
// -4.45) is drawn scaled to its range, with the range named in the screen's corner.
TEST_F(PanelScreen, ACarrierBeyondOneIsDrawnScaledWithItsRangeShown)
{
    panel.SetCarrierOn(true);
    panel.SetCarrierType(Sawtooth);
    panel.Model().SetTyped(ValueCarrierAmplitude, 3.45f);
    panel.Model().SetTyped(ValueCarrierOffset, -1.0f);
    panel.Model().SetTyped(ValueCarrierFrequency, 0.3f);
    panel.Model().SetTyped(ValueCarrierPhase, 1.0f);
    panel.SetPosition(-2.0f, -COscilloscope::kPanelHeight - panel.Slider(ValueAttack).GetY());
    Draw();
    int lit = 0;
    for (int x = 0; x < GLTestContext::kSide; ++x)
        for (int y = 0; y < GLTestContext::kSide; ++y)
            lit += Lit(x, y);
    EXPECT_GE(lit, 60);
    const std::string label = panel.CarrierScaleLabel().GetText().CStr();
    ASSERT_EQ(label.rfind("\xC2\xB1", 0), 0u) << label;
    EXPECT_NEAR(std::stod(label.substr(2)), 4.45, 0.051) << label;
    EXPECT_EQ(std::string(panel.VoiceScaleLabel().GetText().CStr()), "");
}

// The playhead stands at the playing time (wrapped by the 1 s voice in a looping mix, gone
// past it), drawn as a one-pixel line, and reports a move only when its column changes: the
// scene redraws for nothing else.
TEST_F(PanelScreen, PlayheadFollowsThePlayingTimeAndReportsOnlyPixelMoves)
{
    const struct {
        double seconds;
        bool wrap;
        double shown;
        bool moved;
    } rows[] = {{0.1, false, 0.1, true},  {0.102, false, 0.102, false}, {1.101, true, 0.101, false},
                {0.5, false, 0.5, true},  {6.0, false, -1.0, true},     {std::nan(""), false, -1.0, false},
                {0.1, false, 0.1, true}};
    for (const auto& row : rows) {
        EXPECT_EQ(panel.SetPlayhead(row.seconds, row.wrap), row.moved) << row.seconds;
        EXPECT_NEAR(panel.GetPlayhead(), row.shown, 1e-9) << row.seconds;
    }
    panel.SetSlider(ValueAmplitude, 0.0f);
    Draw();
    for (int y = 2; y < 38; ++y)
        ASSERT_TRUE(Lit(18, y) && !Lit(17, y) && !Lit(19, y)) << y; // 0.1 s at 180 columns a second
}

// A wider panel gives its screens the width, a column a pixel over the voice's length, and
// moves its controls with its right edge.
TEST_F(Panel, AWiderPanelWidensItsScreensAndMovesItsControls)
{
    panel.SetWidth(600.0f);
    EXPECT_EQ(panel.CloseButton().GetX(), 582.0f);
    EXPECT_EQ(panel.ValueBox(ValueAmplitude).GetX(), 397.0f);
    ASSERT_EQ(panel.VoiceTrace().VertexCount(), 760u);
    EXPECT_FLOAT_EQ(panel.VoiceTrace().PointX(758), 379.5f / 380.0f);
}

// Each stage row is wired to its own stage, with its slider's unit and the model's clamp; a
// row off by one, a slider in the wrong unit or a box that keeps an out-of-range number fails.
TEST_F(Panel, StageRowsSetTheirStagesBySliderAndByTyping)
{
    for (int32_t g = 0; g < StageGroupCount; ++g)
        panel.SetStageAreaOpen(g, true); // boxes take typing only while shown
    const struct {
        int32_t stage;
        float position;    // a drag of the slider here
        float dragged;     // sets this
        const char* typed; // then typing this
        float value;       // sets this
        const char* box;   // and the box reads
    } rows[] = {
        {StageFrequencyEnd, 880.4f, 880.0f, "5000", 5000.0f, "5000"},
        {StageVibratoDepth, 50.0f, 0.5f, "30", 12.0f, "12.00"},
        {StageArpeggio, -7.4f, -7.0f, "12", 12.0f, "12"},
        {StageRepeat, 25.0f, 0.25f, "0.125", 0.125f, "0.125"},
        {StageDutyEnd, 10.0f, 0.1f, "0", 0.01f, "0.01"},
        {StageTremoloRate, 600.0f, 6.0f, "7.5", 7.5f, "7.5"},
        {StageLowpass, 1200.0f, 1200.0f, "30000", 20000.0f, "20000"},
        {StageResonance, 100.0f, 1.0f, "0.3", 0.3f, "0.3"},
        {StageHighpassEnd, 300.0f, 300.0f, "-5", 0.0f, "0"},
    };
    for (const auto& row : rows) {
        panel.StageSlider(row.stage).SetValue(row.position);
        EXPECT_EQ(panel.Model().GetStage(row.stage), row.dragged) << row.stage;
        Type(panel.StageBox(row.stage), row.typed);
        EXPECT_EQ(panel.Model().GetStage(row.stage), row.value) << row.stage;
        EXPECT_EQ(Text(panel.StageBox(row.stage)), row.box) << row.stage;
    }
    Click(panel.LinearGlideBox());
    Click(panel.CleanBox());
    EXPECT_EQ(panel.Model().GetGlide(), GlideLinear);
    EXPECT_TRUE(panel.Model().IsBandLimited());
}

// An area's switch shows it without touching the sound; an area also opens by itself when the
// model starts to use one of its stages (a load, undo, a generator), and areas stack in order.
TEST_F(Panel, StageAreasOpenWithTheirSwitchOrWhenTheirStagesComeIntoUse)
{
    Counter changed(panel.changed), resized(panel.resized);
    Click(panel.StageAreaBox(GroupPitch));
    EXPECT_TRUE(panel.IsStageAreaOpen(GroupPitch));
    EXPECT_EQ(panel.GetHeight(), COscilloscope::kPanelHeight + COscilloscope::StageAreaHeight(GroupPitch));
    EXPECT_EQ(changed.count, 0);
    EXPECT_EQ(resized.count, 1);
    Click(panel.StageAreaBox(GroupPitch));
    EXPECT_FALSE(panel.IsStageAreaOpen(GroupPitch));

    panel.SetEnvelopeOn(true);
    panel.Model().SetStage(StageLowpass, 500.0f);
    EXPECT_TRUE(panel.IsStageAreaOpen(GroupFilter));
    EXPECT_TRUE(panel.StageAreaBox(GroupFilter).IsDown());
    EXPECT_FALSE(panel.IsStageAreaOpen(GroupTone));
    EXPECT_EQ(panel.StageArea(GroupFilter).GetY(), COscilloscope::kPanelHeight + COscilloscope::kEnvelopeHeight);
    // Closed while in use, it stays closed through further edits and keeps the values.
    Click(panel.StageAreaBox(GroupFilter));
    panel.Model().SetStage(StageResonance, 0.5f);
    EXPECT_FALSE(panel.IsStageAreaOpen(GroupFilter));
    EXPECT_EQ(panel.Model().GetStage(StageLowpass), 500.0f);
}

// A frequency above half the rate is kept as typed and marked: amber box, a tip that says it
// folds back; at a lower rate the same end frequency is marked too.
TEST_F(Panel, FrequenciesAboveHalfTheRateAreKeptAndMarked)
{
    Type(panel.ValueBox(ValueFrequency), "30000");
    EXPECT_EQ(panel.GetWave().frequency, 30000.0f);
    EXPECT_TRUE(panel.IsFolding(&panel.ValueBox(ValueFrequency)));
    EXPECT_NE(std::string(panel.ValueBox(ValueFrequency).GetTooltip().CStr()).find("folds back"), std::string::npos);
    EXPECT_GT(panel.ValueBox(ValueFrequency).material.emission[0], panel.ValueBox(ValueFrequency).material.emission[2]);

    panel.Model().SetStage(StageFrequencyEnd, 12000.0f);
    EXPECT_FALSE(panel.IsFolding(&panel.StageBox(StageFrequencyEnd)));
    panel.SetSampleRate(22050);
    EXPECT_TRUE(panel.IsFolding(&panel.StageBox(StageFrequencyEnd)));
    Type(panel.ValueBox(ValueFrequency), "440");
    EXPECT_FALSE(panel.IsFolding(&panel.ValueBox(ValueFrequency)));
    EXPECT_EQ(std::string(panel.ValueBox(ValueFrequency).GetTooltip().CStr()), "Frequency (Hz)");
}

// Every control and label names itself, and a label's tip shows over the label.
TEST_F(Panel, EveryControlAndLabelNamesItself)
{
    for (int32_t g = 0; g < StageGroupCount; ++g)
        panel.SetStageAreaOpen(g, true);
    panel.SetCarrierOn(true);
    panel.SetEnvelopeOn(true);
    for (uint32_t i = 0; i < panel.GetChildCount(); ++i) {
        const CGUI& child = *panel.GetChild(i);
        const int32_t kind = child.GetKind();
        const bool named = kind == GUIButton || kind == GUICheckBox || kind == GUIEdit || kind == GUIScroll ||
                           kind == GUIText;
        EXPECT_TRUE(!named || !child.GetTooltip().IsEmpty()) << i;
    }
    const CFont& label = panel.StageLabelText(StageDutyEnd);
    const CVector at = label.GetAbsolutePosition();
    EXPECT_EQ(panel.TipAt(static_cast<int32_t>(at.x) + 2, static_cast<int32_t>(at.y) + 5), &label);
    EXPECT_NE(std::string(label.GetTooltip().CStr()).find("Duty end"), std::string::npos);
    EXPECT_EQ(std::string(panel.ValueBox(ValueCarrierAmplitude).GetTooltip().CStr()), "Carrier amplitude");
}
