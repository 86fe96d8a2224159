// CFrameScript: a test's script of steps, run on the application's frame ticks while the real
// program runs (Application::Run). A step runs after its number of frames; an Until step is
// asked every frame, at most its number of frames, until it answers true. When the steps are
// done, or after the frame limit (a failure: something hangs), the script asks the program to
// quit, once: a second quit left in the queue would end the next run in the same process at
// its start. Main thread only; the script must outlive the run. DialogAnswers stands in for
// the file dialog with a list of paths.
#pragma once

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

private:
    void OnTick()
    {
        if (m_quitting)
            return;
        if (++m_frames > m_limit || m_next >= m_steps.size()) {
            if (m_next < m_steps.size())
                ADD_FAILURE() << "script did not finish";
            PlatformPushQuit();
            m_quitting = true;
            return;
        }
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
    int m_limit;
    bool m_quitting = false;
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
