#include "app/ExportLoop.h"

#include "app/ModalLoop.h"
#include "events/FrameTick.h"
#include "gui/ProgressBox.h"
#include "synth/Project.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace {

constexpr uint32_t kQuietMs = 200;   // a render that ends sooner shows no box
constexpr uint32_t kPollMs = 15;     // how often the box looks at the render
constexpr float kVisibleStep = 0.002f; // a change of the bar smaller than this is not redrawn

CProgressView* g_running = nullptr;

// The view RunModalView runs: the box, done when the render has been taken or Cancel chosen.
struct ExportView {
    CProgressView box;
    CRenderJob& job;
    CSound& sound;
    MixStats& stats;
    bool taken = false;
    bool ok = false;

    void Place(int32_t width, int32_t height) { box.Place(width, height); }
    void DrawOverlay() { box.DrawOverlay(); }
    bool IsButtonHeld() const { return box.IsButtonHeld(); }
    bool IsDone()
    {
        if (taken || box.IsCancelled())
            return true;
        taken = job.Poll(sound, stats, &ok);
        if (taken)
            return true;
        const float share = job.GetProgress();
        if (std::fabs(share - box.GetProgress()) >= kVisibleStep) {
            box.SetProgress(share);
            RequestRedraw();
        }
        RequestTickWithin(kPollMs); // the loop wakes to look again without an event
        return false;
    }
};

ExportRender Outcome(bool ok) { return ok ? ExportRender::Rendered : ExportRender::Failed; }

} // namespace

CProgressView* GetRunningExport() { return g_running; }

ExportRender RunExportRender(std::vector<MixVoice> voices, const MixMaster& master, uint32_t rate, CSound& sound,
                             MixStats& stats, const String& title, const String& text, CResourceManager* fonts)
{
    CRenderJob job(0); // no cache: an export is rendered once, and the playback's cache stays as it is
    job.Start(std::move(voices), kMixChannels, rate, kMixBits, master);
    bool ok = false;
    CApp* app = GetApp();
    if (!app || !app->GetWindow()) {
        job.Wait(sound, stats, &ok);
        return Outcome(ok);
    }
    const uint32_t start = AppTime();
    while (AppTime() - start < kQuietMs) {
        if (job.Poll(sound, stats, &ok))
            return Outcome(ok);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    CModalInput capture; // before the box connects: only it hears the input
    ExportView view{CProgressView(title, text, FindDialogFont(fonts)), job, sound, stats};
    CProgressView* const outer = g_running;
    g_running = &view.box;
    RunModalView(*app, view);
    g_running = outer;
    if (view.taken)
        return Outcome(view.ok);
    job.Cancel(); // the job's end waits for its thread to leave the render
    return ExportRender::Cancelled;
}
