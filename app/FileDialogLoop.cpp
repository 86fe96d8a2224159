#include "app/FileDialogLoop.h"

#include "app/App.h"
#include "events/FrameTick.h"
#include "events/Input.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"

namespace {

// Keeps the dialog centred when the window's size changes.
struct Recentre {
    CFileDialogView* view;
    void OnResize(int32_t width, int32_t height, CDisplay::SizeType) { view->Place(width, height); }
};

constexpr uint32_t kReleaseWait = 500; // ms a closing click may take to release its button

CFileDialogView* g_running = nullptr;

} // namespace

CFileDialogView* GetRunningFileDialog() { return g_running; }

bool RunFileDialog(const FileDialogRequest& request, CResourceManager* fonts, String& path)
{
    CApp* app = GetApp();
    if (!app || !app->GetWindow())
        return false;
    const CSprite* font = fonts ? dynamic_cast<const CSprite*>(fonts->Find("font")) : nullptr;

    // Only the dialog hears the mouse and the keyboard while it runs.
    CSignal<CInputMap&> parkedMouse, parkedKeys, parkedShortcuts;
    MoveConnections(GetMouseSignal(), parkedMouse);
    MoveConnections(GetKeyboardSignal(), parkedKeys);
    MoveConnections(GetShortcutSignal(), parkedShortcuts); // no command runs under the dialog
    bool chosen = false;
    {
        CFileDialogView view(request, font);
        CFileDialogView* const outer = g_running; // a dialog opened from inside another
        g_running = &view;
        int32_t width = app->GetClientWidth(), height = app->GetClientHeight();
        view.Place(width > 0 ? width : app->GetWidth(), height > 0 ? height : app->GetHeight());
        Recentre recentre{&view};
        CSlotList slots;
        slots.Connect(app->onDrawOverlay, &view, &CFileDialogView::DrawOverlay);
        slots.Connect(app->onResize, &recentre, &Recentre::OnResize);
        RequestRedraw(); // the dialog appears
        while (!view.IsDone() && app->IsRunning())
            app->Pass();
        slots.Clear(); // the view lives on, but the closed dialog is neither drawn nor placed
        RequestRedraw(); // and goes
        // The click that closed the dialog releases its button here, not on what lies below.
        const uint32_t start = AppTime();
        while (view.IsButtonHeld() && app->IsRunning()) {
            const uint32_t waited = AppTime() - start;
            if (waited >= kReleaseWait)
                break;
            RequestTickWithin(kReleaseWait - waited); // the wait ends even without an event
            app->Pass();
        }
        chosen = view.GetModel().IsAccepted();
        if (chosen)
            path = view.GetModel().GetResult();
        g_running = outer;
    }
    MoveConnections(parkedMouse, GetMouseSignal());
    MoveConnections(parkedKeys, GetKeyboardSignal());
    MoveConnections(parkedShortcuts, GetShortcutSignal());
    return chosen;
}
