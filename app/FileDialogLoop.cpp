#include "app/FileDialogLoop.h"

#include "app/ModalLoop.h"

namespace {

CFileDialogView* g_running = nullptr;

} // namespace

CFileDialogView* GetRunningFileDialog() { return g_running; }

bool RunFileDialog(const FileDialogRequest& request, CResourceManager* fonts, String& path)
{
    CApp* app = GetApp();
    if (!app || !app->GetWindow())
        return false;
    CModalInput capture; // before the view connects: only the dialog hears the input
    CFileDialogView view(request, FindDialogFont(fonts));
    CFileDialogView* const outer = g_running; // a dialog opened from inside another
    g_running = &view;
    RunModalView(*app, view);
    g_running = outer;
    const bool chosen = view.GetModel().IsAccepted();
    if (chosen)
        path = view.GetModel().GetResult();
    return chosen;
}
