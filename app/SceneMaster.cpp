// The main scene's project strip: the master stage's gain, normalize, fade and mix, shown from
// the project and written back as one undo step a gesture (a drag, a burst of typing).
#include "app/SceneMain.h"

#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/GUIManager.h"
#include "gui/Scroll.h"

#include <cmath>
#include <utility>

namespace {

// Slider positions a decibel or a millisecond takes: the sliders move in tenths.
constexpr float kTenths = 10.0f;

// The box's text for a master value: one decimal when that reads back exactly, else the
// shortest text that does.
String MasterText(float value)
{
    String text = String::Format("%.1f", static_cast<double>(value));
    for (int precision = 1; ReadShownNumber(text) != value && precision <= 9; ++precision)
        text = String::Format("%.*g", precision, static_cast<double>(value));
    return text;
}

float FromTenths(float position) { return position == position ? std::nearbyint(position) / kTenths : 0.0f; }

} // namespace

void CSceneMain::ConnectProjectStrip()
{
    CGUIManager& gui = GetGUI();
    m_projectStrip = gui.FindElement("projectStrip");
    m_scrGain = dynamic_cast<CScroll*>(gui.FindElement("scrGain"));
    m_scrFade = dynamic_cast<CScroll*>(gui.FindElement("scrFade"));
    m_editGain = dynamic_cast<CEdit*>(gui.FindElement("editGain"));
    m_editFade = dynamic_cast<CEdit*>(gui.FindElement("editFade"));
    m_chkNormalize = GetButton("chkNormalize");
    m_chkSum = GetButton("chkSum");
    for (CEdit* box : {m_editGain, m_editFade})
        if (box) // the text look is the panels' template, which is hidden
            box->GetTextElement().SetVisible(true);
    if (m_scrGain)
        m_slots.Connect(m_scrGain->onValue, this, &CSceneMain::OnGainSlider);
    if (m_scrFade)
        m_slots.Connect(m_scrFade->onValue, this, &CSceneMain::OnFadeSlider);
    if (m_editGain)
        m_slots.Connect(m_editGain->onChange, this, &CSceneMain::OnGainTyped);
    if (m_editFade)
        m_slots.Connect(m_editFade->onChange, this, &CSceneMain::OnFadeTyped);
    ConnectCommand(m_chkNormalize, &CSceneMain::OnMasterSwitch);
    ConnectCommand(m_chkSum, &CSceneMain::OnMasterSwitch);
    ShowMaster(true);
}

void CSceneMain::TakeMaster(const MixMaster& master, bool force)
{
    m_master = master;
    ShowMaster(force);
}

void CSceneMain::ShowMaster(bool force)
{
    m_showingMaster = true;
    // Unless forced, a box that already reads as the value keeps its text: what the user is
    // typing stands ("1." on its way to "1.5").
    const std::pair<CEdit*, float> boxes[2] = {{m_editGain, m_master.gain}, {m_editFade, m_master.fade}};
    for (const auto& [box, value] : boxes)
        if (box && (force || ReadShownNumber(box->GetText()) != value))
            box->SetText(MasterText(value));
    if (m_scrGain && m_scrGain->GetValue() != m_master.gain * kTenths)
        m_scrGain->SetValue(m_master.gain * kTenths);
    if (m_scrFade && m_scrFade->GetValue() != m_master.fade * kTenths)
        m_scrFade->SetValue(m_master.fade * kTenths);
    SetChecked(m_chkNormalize, m_master.normalize);
    SetChecked(m_chkSum, m_master.sum);
    m_showingMaster = false;
    RequestRedraw();
}

void CSceneMain::SlideMaster(float MixMaster::*field, float position, CEdit* box)
{
    if (m_showingMaster)
        return;
    MixMaster master = m_master;
    master.*field = FromTenths(position);
    SetMaster(master);
    if (box) // a moved slider always rewrites its box
        box->SetText(MasterText(m_master.*field));
}

void CSceneMain::TypeMaster(float MixMaster::*field, const String& text)
{
    if (m_showingMaster)
        return;
    MixMaster master = m_master;
    master.*field = ReadShownNumber(text);
    SetMaster(master); // clamped: a number out of range shows the limit
    ShowMaster();
}

void CSceneMain::OnGainSlider(float position) { SlideMaster(&MixMaster::gain, position, m_editGain); }
void CSceneMain::OnFadeSlider(float position) { SlideMaster(&MixMaster::fade, position, m_editFade); }
void CSceneMain::OnGainTyped(const String& text) { TypeMaster(&MixMaster::gain, text); }
void CSceneMain::OnFadeTyped(const String& text) { TypeMaster(&MixMaster::fade, text); }

void CSceneMain::OnMasterSwitch()
{
    MixMaster master = m_master;
    master.normalize = IsChecked(m_chkNormalize);
    master.sum = IsChecked(m_chkSum);
    SetMaster(master);
    ShowMaster(); // a click that changed nothing shows the master again
}
