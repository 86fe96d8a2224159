// CFrameScript: a test's script of steps, run on the application's frame ticks while the real
// program runs (Application::Run). A step runs after its number of frames; an Until step is
// asked every frame, at most its number of frames, until it answers true. When the steps are
// done, or after the frame limit (a failure: something hangs), the script ends the program's
// loop, once, without the question a user's quit asks about unsaved work. While it runs, the script asks the loop for a tick within each frame period and a
// redraw on every tick, so the program goes frame by frame as it did when it drew every frame;
// its frames are the ticks a frame period apart.
// Main thread only; the script must outlive the run. DialogAnswers stands in for the file
// dialog with a list of paths.
#pragma once

#include "app/App.h"
#include "events/FrameTick.h"
#include "events/Signal.h"
#include "gui/FileDialog.h"
#include "platform/Events.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFrameScript {
public:
    explicit CFrameScript(int frameLimit = 1500) : m_limit(frameLimit)
    {
        m_slots.Connect(GetFrameTick(), this, &CFrameScript::OnTick);
    }
    void After(int frames, std::function<void()> step) { m_steps.push_back({frames, std::move(step), nullptr}); }
    // Asks done() on each frame until it holds, at most frames times; then the script goes on
    // either way (the test's expectations say what a timeout means).
    void Until(int frames, std::function<bool()> done) { m_steps.push_back({frames, nullptr, std::move(done)}); }
    bool Finished() const { return m_next == m_steps.size(); }
    // When the steps are done the script neither quits nor asks for frames any more: the
    // program rests, and the test ends it. (A script that overruns its frame limit still quits.)
    void RestWhenDone() { m_restWhenDone = true; }
    bool IsResting() const { return m_resting; }

private:
    void OnTick()
    {
        if (m_quitting || m_resting)
            return;
        // A script frame is a tick at least a frame period after the last one: the loop also
        // ticks for events (those a step pushed, say) and timers in between, and those ticks
        // do not count, so a step's events are handled before the next step looks.
        const CApp* app = GetApp();
        const int32_t framePeriod = app ? app->GetFramePeriod() : 40;
        const uint32_t period = static_cast<uint32_t>(framePeriod > 0 ? framePeriod : 1);
        const uint32_t now = AppTime();
        RequestRedraw();
        if (m_frames > 0 && now - m_lastFrame < period) {
            RequestTickWithin(period - (now - m_lastFrame));
            return;
        }
        m_lastFrame = now;
        if (++m_frames > m_limit || m_next >= m_steps.size()) {
            if (m_next < m_steps.size()) {
                ADD_FAILURE() << "script did not finish";
            } else if (m_restWhenDone) {
                m_resting = true;
                return;
            }
            // Ended directly, not through a queued quit: nothing is asked about unsaved work,
            // and nothing is left in the queue for the next run in this process.
            if (CApp* running = GetApp())
                running->EndLoop();
            m_quitting = true;
            return;
        }
        RequestTickWithin(period);
        Step& step = m_steps[m_next];
        ++m_waited;
        if (step.done) {
            if (step.done() || m_waited >= step.frames) {
                m_waited = 0;
                ++m_next;
            }
            return;
        }
        if (m_waited < step.frames)
            return;
        m_waited = 0;
        ++m_next;
        step.step();
    }

    struct Step {
        int frames;
        std::function<void()> step;
        std::function<bool()> done;
    };
    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_waited = 0;
    int m_frames = 0;
    uint32_t m_lastFrame = 0; // AppTime() of the last script frame
    int m_limit;
    bool m_quitting = false;
    bool m_restWhenDone = false;
    bool m_resting = false;
    CSlotList m_slots;
};

// A left click at (x, y) in client pixels, through the platform's event queue.
inline void Click(float x, float y)
{
    PlatformPushMouseMove(static_cast<int32_t>(x), static_cast<int32_t>(y));
    PlatformPushMouseButton(0, true);
    PlatformPushMouseButton(0, false);
}

// A file-dialog runner that answers each request with the next path of the list, and then
// cancels.
inline FileDialogRunner DialogAnswers(std::vector<std::string> paths)
{
    auto queue = std::make_shared<std::vector<std::string>>(std::move(paths));
    return [queue](const FileDialogRequest&, String& path) {
        if (queue->empty())
            return false;
        path = queue->front().c_str();
        queue->erase(queue->begin());
        return true;
    };
}
