#include "app/MessageLoop.h"

#include "app/ModalLoop.h"
#include "gui/QuestionBox.h"
#include "platform/Clipboard.h"
#include "platform/Window.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int32_t kCopy = 0;
constexpr int32_t kOk = 1;

CQuestionView* g_running = nullptr;

// The view RunModalView runs: the question box, built anew (same text, same place) after each
// Copy, so that only OK ends it.
struct WarningView {
    QuestionRequest request;
    String whole; // what Copy puts on the clipboard
    const CSprite* font;
    std::unique_ptr<CQuestionView> box;
    int32_t width = 0, height = 0;

    void Place(int32_t clientWidth, int32_t clientHeight)
    {
        width = clientWidth;
        height = clientHeight;
        box->Place(width, height);
    }
    void DrawOverlay() { box->DrawOverlay(); }
    bool IsButtonHeld() const { return box->IsButtonHeld(); }
    bool IsDone()
    {
        if (!box->IsDone() || box->GetChoice() != kCopy)
            return box->IsDone();
        PlatformSetClipboardText(whole.CStr());
        box = std::make_unique<CQuestionView>(request, font);
        box->Place(width, height);
        g_running = box.get();
        RequestRedraw();
        return false;
    }
};

} // namespace

CQuestionView* GetRunningWarning() { return g_running; }

void ShowWarning(const char* caption, const String& text, CResourceManager* fonts)
{
    CApp* app = GetApp();
    if (PlatformHasWarningHookForTesting() || !app || !app->GetWindow() || !app->IsRunning()) {
        PlatformShowWarning(caption, text.CStr());
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text.CStr());
    std::fflush(stderr);
    QuestionRequest request;
    request.title = caption ? caption : "";
    request.text = text;
    request.buttons = {"Copy", "OK"};
    request.defaultButton = kOk;
    request.cancelButton = kOk;
    CModalInput capture; // before the box connects: only it hears the input
    const CSprite* font = FindDialogFont(fonts);
    WarningView view{request, Utf8Sanitize(text), font, std::make_unique<CQuestionView>(request, font)};
    CQuestionView* const outer = g_running;
    g_running = view.box.get();
    RunModalView(*app, view);
    g_running = outer;
}
