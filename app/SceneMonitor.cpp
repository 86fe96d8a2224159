// The main scene's live monitoring: the microphone played through the output while Mic is
// down, and the sound devices that come and go.
#include "app/SceneMain.h"

#include "gui/Button.h"

namespace {

constexpr int32_t kMonitorSizeMs = 250;

} // namespace

void CSceneMain::ToggleMic()
{
    if (!HasMicrophone() || !m_player) {
        // Nothing to monitor: the button stays up and out of reach.
        SetChecked(m_btnMic, false);
        SetEnabledIfPresent(m_btnMic, false);
        for (CButton* button : {m_btnAddSound, m_btnPlay, m_btnStop, m_btnLoop})
            SetEnabledIfPresent(button, true);
        return;
    }
    const bool on = IsChecked(m_btnMic);
    for (CButton* button : {m_btnAddSound, m_btnPlay, m_btnStop, m_btnLoop})
        SetEnabledIfPresent(button, !on);
    if (on) {
        RenderMix();
        m_player->Clear();
        m_player->Add(&m_monitor);
        if (CSoundBuffer* buffer = m_player->Get(0)) {
            buffer->Monitor(m_capture.get()); // false on a silent buffer: nothing to hear
            m_capture->Start();
            buffer->Resume();
        }
    } else {
        m_player->Clear();
        m_capture->Stop();
    }
}

void CSceneMain::OpenMicrophone()
{
    m_capture = std::make_unique<CSoundCaptureSDL>(8, 44100, 1);
    if (m_capture->IsOpen())
        m_monitor.PrepareLiveStream(m_capture->channels, m_capture->samplesPerSec, m_capture->bitsPerSample,
                                    kMonitorSizeMs);
}

void CSceneMain::OnSoundDeviceChanged(bool added, bool capture, uint32_t id)
{
    if (!capture)
        return; // a lost output has already been replaced under the player
    if (added) {
        if (HasMicrophone())
            return;
        OpenMicrophone();
        // Mic stays out of reach while the mix plays, as Play leaves it.
        SetEnabledIfPresent(m_btnMic, HasMicrophone() && !(m_player && IsPlaying(m_player->Get(0))));
        return;
    }
    if (!m_capture || !m_capture->IsDevice(id))
        return;
    const bool monitoring = IsChecked(m_btnMic);
    if (monitoring && m_player)
        m_player->Clear(); // the monitoring buffer lets go of the device before it closes
    m_capture.reset();
    SetEnabledIfPresent(m_btnMic, false);
    if (monitoring) {
        ShowNothingPlays();
        Warn("Microphone disconnected", "The microphone went away, so monitoring has stopped. Mic is available "
                                        "again once a microphone is connected.");
    }
}

