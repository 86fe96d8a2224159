// The export's render: the mix rendered off the main thread (CRenderJob) while a progress box
// (gui/ProgressBox.h) runs modally over the application's window, its bar following the render
// and its Cancel button ending it. Only the box hears the mouse, the keyboard and the shortcuts
// meanwhile. Without an application window the render is simply waited for. Main thread.
#pragma once

#include "synth/RenderJob.h"
#include "util/String.h"

#include <vector>

class CProgressView;
class CResourceManager;

enum class ExportRender {
    Rendered,  // sound holds the mix
    Failed,    // no mix could be made (no memory for its block)
    Cancelled, // Cancel was chosen or the application stopped running
};

// Renders voices through master as CRenderJob does (kMixChannels, kMixBits, at rate, one of
// kRenderRates) into sound, which a cancelled render leaves as it was and a failed one empty. The box (titled title, showing text) opens
// only when the render has not finished within a moment, so that short exports do not flash it.
// fonts provides the "font" sprite (null: the texts stay undrawn); stats receives the render's.
ExportRender RunExportRender(std::vector<MixVoice> voices, const MixMaster& master, uint32_t rate, CSound& sound,
                             MixStats& stats, const String& title, const String& text, CResourceManager* fonts);

// The box RunExportRender is showing, or null: for scripted runs and tests that look at it
// (and press its Cancel) from the frame tick while it runs.
CProgressView* GetRunningExport();
