#include "app/QuestionLoop.h"

#include "app/ModalLoop.h"

namespace {

CQuestionView* g_running = nullptr;

} // namespace

CQuestionView* GetRunningQuestion() { return g_running; }

int32_t RunQuestion(const QuestionRequest& request, CResourceManager* fonts)
{
    CApp* app = GetApp();
    if (!app || !app->GetWindow())
        return NormaliseQuestion(request).cancelButton;
    CModalInput capture; // before the view connects: only the box hears the input
    CQuestionView view(request, FindDialogFont(fonts));
    CQuestionView* const outer = g_running;
    g_running = &view;
    RunModalView(*app, view);
    g_running = outer;
    return view.IsDone() ? view.GetChoice() : view.GetRequest().cancelButton;
}
