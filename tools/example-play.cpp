// example-play [SECONDS]: renders one voice (a 440 Hz sine under an envelope, lightly
// frequency-modulated) and plays it once through the default sound device, emitting the frame
// tick whenever a playback timer is due, until the buffer reports that it has stopped.
// Silent under SDL_AUDIODRIVER=dummy; audible on a desktop.
#include "events/FrameTick.h"
#include "sound/SoundBuffer.h"
#include "synth/Render.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct StopWatcher {
    bool stopped = false;
    void OnStopped() { stopped = true; }
    CSlotList slots;
};

} // namespace

int main(int argc, char** argv)
{
    float seconds = argc > 1 ? static_cast<float>(std::atof(argv[1])) : 1.5f;
    if (!(seconds > 0.0f && seconds <= 10.0f)) {
        std::fprintf(stderr, "usage: example-play [SECONDS (0 to 10)]\n");
        return 2;
    }
    RenderVoice voice{};
    voice.params.wave.frequency = 440.0f;
    voice.params.wave.amplitude = 0.5f;
    voice.params.carrierOn = true;
    voice.params.carrier.frequency = 5.0f;
    voice.params.carrier.amplitude = 0.03f; // ±3 Hz of vibrato
    voice.params.envelopeOn = true;
    voice.params.envelope = Envelope{0.05f, 0.3f, 0.6f, seconds - 0.55f > 0 ? seconds - 0.55f : 0.0f, 0.2f};
    voice.length = EnvelopeLength(voice.params.envelope);

    CSound mix;
    RenderMix(&voice, 1, mix, 1, 44100, 16);
    CSoundBufferSet player;
    EnsureDevice();
    player.Add(&mix);
    CSoundBuffer* buffer = player.Get(0);
    if (!buffer) {
        std::fprintf(stderr, "example-play: no sound device\n");
        return 1;
    }
    StopWatcher watcher;
    watcher.slots.Connect(buffer->onStopped, &watcher, &StopWatcher::OnStopped);
    std::printf("playing %.2f s (%u bytes)\n", voice.length, mix.dataSize);
    buffer->Play(0);
    GetFrameTick().Emit();
    while (!watcher.stopped) {
        AppSleep(PassWaitTime(AppTime(), false, 0)); // until the buffer's next timer is due
        GetFrameTick().Emit();
    }
    std::printf("stopped\n");
    return 0;
}
