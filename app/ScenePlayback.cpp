// The main scene's playback: the mix rendered again in the background as edits come (each as
// soon as the render before it is done), the playing buffer handed each new mix, and Play,
// Stop, Loop and Add Sound.
#include "app/SceneMain.h"

#include "app/App.h"
#include "events/FrameTick.h"
#include "gui/Button.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint32_t kRenderPollMs = 5; // how often a render in flight is looked at
// How often a playing sound's playheads are looked at without an application's frame period.
constexpr uint32_t kPlayheadPollMs = 40;

// Exchanges two owned blocks with their formats.
void SwapSounds(CSound& a, CSound& b)
{
    std::swap(a.data, b.data);
    std::swap(a.dataSize, b.dataSize);
    std::swap(a.channels, b.channels);
    std::swap(a.samplesPerSec, b.samplesPerSec);
    std::swap(a.bitsPerSample, b.bitsPerSample);
    std::swap(a.dataNotOwned, b.dataNotOwned);
}

} // namespace

bool CSceneMain::IsChecked(const CButton* button) const { return button && button->IsDown(); }

void CSceneMain::SetChecked(CButton* button, bool checked)
{
    if (button)
        button->SetDown(checked);
}

void CSceneMain::SetEnabledIfPresent(CButton* button, bool enabled)
{
    if (button)
        button->SetEnabled(enabled);
}

bool CSceneMain::HasMicrophone() const { return m_capture && m_capture->IsOpen(); }

void CSceneMain::ShowNothingPlays()
{
    // Monitoring ends with its buffer: the microphone is not left recording for nobody.
    if (IsChecked(m_btnMic) && HasMicrophone())
        m_capture->Stop();
    SetChecked(m_btnPlay, false);
    SetChecked(m_btnStop, false);
    SetChecked(m_btnMic, false);
    for (CButton* button : {m_btnAddSound, m_btnPlay, m_btnStop, m_btnLoop})
        SetEnabledIfPresent(button, true);
    SetEnabledIfPresent(m_btnMic, HasMicrophone());
}

std::vector<MixVoice> CSceneMain::MixVoices() const
{
    std::vector<MixVoice> voices;
    voices.reserve(m_voices.size());
    for (const auto& voice : m_voices)
        voices.push_back(MixVoice{RenderVoice{voice->GetParams(), voice->GetLength()}, voice->IsMuted()});
    return voices;
}

void CSceneMain::RenderMix()
{
    m_mixStale = false; // this render has every change so far
    // Without voices the mix is silence, not what the deleted voices made.
    if (m_voices.empty()) {
        m_mix.Release();
        m_mixStats = MixStats();
        m_render.Start({}, kMixChannels, kMixRate, kMixBits, m_master); // supersedes a render in progress
        CSound none;
        m_render.Wait(none, m_mixStats);
        m_mixStats = MixStats();
    } else {
        m_render.Start(MixVoices(), kMixChannels, kMixRate, kMixBits, m_master);
        CSound rendered;
        bool ok = false;
        // A render that fails (no memory for the block) leaves the mix as it was, as RenderMix does.
        if (m_render.Wait(rendered, m_mixStats, &ok) && ok)
            SwapSounds(m_mix, rendered);
    }
    m_strip.SetMix(m_mix);
    MakeRangeSound();
    ShowClipping();
}

void CSceneMain::StartRender()
{
    m_render.Start(MixVoices(), kMixChannels, kMixRate, kMixBits, m_master);
    RequestTickWithin(kRenderPollMs); // this tick's OnFrame may have looked already
}

void CSceneMain::OnFrame()
{
    ShowTitle();
    TakeRender();
    ShowPlayheads();
    // A change is rendered as soon as the render before it is done: edits are heard after
    // the render's own time, and a drag never queues renders behind each other. It is
    // rendered while nothing plays too, so that the clip indicator always tells the truth.
    if (m_mixStale && !m_render.IsPending()) {
        m_mixStale = false;
        StartRender();
    }
}

void CSceneMain::TakeRender()
{
    CSound rendered;
    MixStats stats;
    bool ok = false;
    if (!m_render.Poll(rendered, stats, &ok)) {
        if (m_render.IsPending())
            RequestTickWithin(kRenderPollMs); // picked up soon after it ends, not at the next event
        return;
    }
    RequestRedraw(); // the clip indicator follows the new mix
    if (!ok)
        return;
    SwapSounds(m_mix, rendered);
    m_mixStats = stats;
    m_strip.SetMix(m_mix); // drops a range the new mix no longer holds
    const bool range = MakeRangeSound();
    ShowClipping();
    if (IsChecked(m_btnMic))
        return; // the monitor plays; the mix waits for the next Play
    CSoundBuffer* buffer = m_player ? m_player->Get(0) : nullptr;
    if (!IsPlaying(buffer))
        return; // not playing: heard at the next Play
    // The new mix (or its range) takes the playing one's place from its start, crossfaded by
    // the device.
    CSound* replacement = range ? &m_rangeSound : &m_mix;
    if (!m_mix.GetData() || m_mix.GetDataSize() == 0 || !buffer->Replace(replacement))
        Play();
}

void CSceneMain::ShowClipping()
{
    if (!m_clipIndicator)
        return;
    const bool clips = m_mixStats.clipped > 0 && m_mixStats.values > 0;
    m_clipIndicator->SetVisible(clips);
    if (clips)
        m_clipIndicator->SetText(String::Format(
            "CLIP %.1f%%", 100.0 * static_cast<double>(m_mixStats.clipped) / static_cast<double>(m_mixStats.values)));
}

void CSceneMain::ShowPlayheads()
{
    CSoundBuffer* buffer = m_player ? m_player->Get(0) : nullptr;
    const uint32_t bytesPerSecond = m_mix.GetSamplesPerSec() * m_mix.GetChannels() * (m_mix.GetBitsPerSample() / 8);
    const bool playing = IsPlaying(buffer) && !buffer->IsMonitoring() && bytesPerSecond > 0;
    double seconds = playing ? static_cast<double>(buffer->GetPosition()) / bytesPerSecond : -1.0;
    if (playing && buffer->GetSound() == &m_rangeSound && m_mix.GetSamplesPerSec() > 0)
        seconds += static_cast<double>(m_rangeFirst) / m_mix.GetSamplesPerSec();
    const bool moved = m_area.ShowPlayhead(seconds, playing && buffer->IsLooping());
    if (m_strip.ShowPlayhead(seconds) || moved)
        RequestRedraw();
    // A pass that draws takes the redraw request: the next look is a tick a frame on.
    if (playing) {
        const CApp* app = GetApp();
        const int32_t period = app ? app->GetFramePeriod() : 0;
        RequestTickWithin(period > 0 ? static_cast<uint32_t>(period) : kPlayheadPollMs);
    }
}

void CSceneMain::MixChanged()
{
    m_mixStale = true;
    RequestTickWithin(0); // changes of one pass of the loop are rendered together
}

void CSceneMain::Play() { PlayFrom(-1.0); }

void CSceneMain::PlayFrom(double seconds)
{
    const bool fromPoint = seconds >= 0.0;
    if (fromPoint) {
        if (m_btnPlay && !m_btnPlay->IsEnabled())
            return; // the microphone is monitored
        m_strip.ClearRange();
    }
    SetChecked(m_btnPlay, IsChecked(m_btnLoop));
    SetChecked(m_btnStop, false);
    SetEnabledIfPresent(m_btnMic, false);
    RenderMix();
    if (!m_player)
        return;
    m_player->Clear();
    if (!m_mix.GetData() || m_mix.GetDataSize() == 0) {
        ShowNothingPlays(); // nothing to hear: no unmuted voice, or the render failed
        return;
    }
    const bool range = MakeRangeSound();
    if (range)
        SetChecked(m_btnPlay, true); // a range always loops
    m_player->Add(range ? &m_rangeSound : &m_mix);
    CSoundBuffer* buffer = m_player->Get(0);
    if (!buffer)
        return;
    buffer->SetLooping(range || IsChecked(m_btnLoop));
    const uint32_t frameBytes = m_mix.GetChannels() * (m_mix.GetBitsPerSample() / 8);
    const double frames = fromPoint ? seconds * m_mix.GetSamplesPerSec() : 0.0;
    const uint32_t totalFrames = frameBytes ? m_mix.GetDataSize() / frameBytes : 0;
    if (frames >= 1.0 && frames < totalFrames)
        buffer->Play(static_cast<int32_t>(static_cast<uint32_t>(frames) * frameBytes));
    else
        buffer->Resume();
}

bool CSceneMain::MakeRangeSound()
{
    double start = 0.0, end = 0.0;
    const uint32_t rate = m_mix.GetSamplesPerSec();
    const uint32_t frameBytes = m_mix.GetChannels() * (m_mix.GetBitsPerSample() / 8);
    // Never left pointing into a mix that has gone.
    m_rangeSound.dataNotOwned = true;
    m_rangeSound.data = nullptr;
    m_rangeSound.dataSize = 0;
    if (!m_strip.GetRange(start, end) || !m_mix.GetData() || rate == 0 || frameBytes == 0)
        return false;
    const uint32_t frames = m_mix.GetDataSize() / frameBytes;
    const uint32_t first = static_cast<uint32_t>(std::min<double>(start * rate, frames));
    const uint32_t last = static_cast<uint32_t>(std::min<double>(end * rate, frames));
    if (last <= first)
        return false;
    m_rangeFirst = first;
    m_rangeSound.data = m_mix.GetData() + static_cast<size_t>(first) * frameBytes;
    m_rangeSound.dataSize = (last - first) * frameBytes;
    m_rangeSound.channels = m_mix.GetChannels();
    m_rangeSound.samplesPerSec = rate;
    m_rangeSound.bitsPerSample = m_mix.GetBitsPerSample();
    return true;
}

void CSceneMain::OnRangeSelected(double, double)
{
    if (IsSounding())
        Play(); // heard at once, as a Loop toggle is
}

void CSceneMain::Stop()
{
    SetChecked(m_btnStop, IsChecked(m_btnLoop));
    SetChecked(m_btnPlay, false);
    SetEnabledIfPresent(m_btnMic, HasMicrophone());
    if (!m_player)
        return;
    for (uint32_t i = 0; CSoundBuffer* buffer = m_player->Get(i); ++i)
        buffer->Stop();
}

void CSceneMain::LoopToggled()
{
    if (m_player && m_player->Count() > 0 && IsChecked(m_btnPlay))
        Play();
}

void CSceneMain::AddSound()
{
    AddVoice();
    m_history.VoiceAdded(m_voices.size() - 1);
    WarnAboutHiddenVoices();
    if (m_player && IsPlaying(m_player->Get(0)))
        Play();
}

