// The modal loop the application's own dialogs share (the file dialog, the question box):
// while one runs, only it hears the mouse, the keyboard and the shortcuts; it is centred over
// the window (again at every resize) and drawn in the overlay pass; and the application's own
// passes (CApp::Pass) go on until it is done, the program stops running or a termination
// signal (platform/Termination.h) has arrived: a signalled program ends without waiting for
// an answer, through its CanQuit. Main thread.
#pragma once

#include "app/App.h"
#include "events/Input.h"
#include "events/Signal.h"
#include "platform/Termination.h"

#include <cstdint>

class CResourceManager;
class CSprite;

// For its lifetime the dialog's loop captures the input (CInputCapture): only what connects
// meanwhile (the dialog) hears the mouse, the keyboard and the shortcuts; no command runs
// under the dialog.
using CModalInput = CInputCapture;

// The "font" sprite the dialogs write with, from the application's resources; null without.
const CSprite* FindDialogFont(CResourceManager* resources);

// Runs app's passes with view placed over the client area and drawn in the overlay pass until
// view.IsDone(), the application stops running or a termination signal arrives (the view
// is then left not done: the caller takes it as Cancel); then waits up to half a second for the
// release of the click that closed it.
// View offers Place(int32_t width, int32_t height), DrawOverlay(), IsDone() and IsButtonHeld().
// The caller captures the input (CModalInput) before it makes the view.
template <class View>
void RunModalView(CApp& app, View& view)
{
    struct Recentre {
        View* view;
        void OnResize(int32_t width, int32_t height, CDisplay::SizeType) { view->Place(width, height); }
    } recentre{&view};
    const int32_t width = app.GetClientWidth(), height = app.GetClientHeight();
    view.Place(width > 0 ? width : app.GetWidth(), height > 0 ? height : app.GetHeight());
    CSlotList slots;
    slots.Connect(app.onDrawOverlay, &view, &View::DrawOverlay);
    slots.Connect(app.onResize, &recentre, &Recentre::OnResize);
    RequestRedraw(); // the dialog appears
    auto goesOn = [&app] { return app.IsRunning() && PlatformTerminationSignal() == 0; };
    while (!view.IsDone() && goesOn())
        app.Pass();
    slots.Clear(); // the view lives on, but the closed dialog is neither drawn nor placed
    RequestRedraw(); // and goes
    // The click that closed the dialog releases its button here, not on what lies below.
    constexpr uint32_t kReleaseWait = 500; // ms
    const uint32_t start = AppTime();
    while (view.IsButtonHeld() && goesOn()) {
        const uint32_t waited = AppTime() - start;
        if (waited >= kReleaseWait)
            break;
        RequestTickWithin(kReleaseWait - waited); // the wait ends even without an event
        app.Pass();
    }
}
