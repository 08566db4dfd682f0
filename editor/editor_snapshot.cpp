#include "editor/editor_snapshot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "editor/editor_scale.h"
#include "editor/px_editor.h"
#include "editor/wavedisplay.h"
#include "engine/px_audio.h"

bool writeEditorSnapshot(PxAudio& effect, AnalyserMode mode, const std::string& pngPath, std::string* error,
                         double scale) {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    if (mode != AnalyserMode::Spectrum && mode != AnalyserMode::Scope)
        return fail("display mode must be 0 (spectrum) or 1 (scope)");
    if (pngPath.empty()) return fail("no file name for the snapshot");
    if (editorScaleAtOrAbove(scale) != scale)
        return fail("the snapshot's scale is not one of the editor's sizes");
    // An editor of its own, so that a window the host has open stays untouched.
    PxEditor editor(&effect);
    editor.changeScale(scale, false);
    editor.open(nullptr);
    CFrame* frame = editor.getFrame();
    if (!frame || !editor.waveDisplay) return fail("the editor could not be built");
    editor.waveDisplay->displayMode = mode;
    editor.idle();
    // The scope's trails grow by one step per draw: draw until they are full length.
    for (int step = 1; mode == AnalyserMode::Scope && step < Wavedisplay::kTrailDrawn; ++step) {
        editor.waveDisplay->setDirty(true);
        frame->redrawDirty();
    }
    const bool written = frame->saveToPng(pngPath.c_str());
    const int savedErrno = errno;
    editor.close();
    if (!written) return fail("cannot write " + pngPath + ": " + std::strerror(savedErrno));
    return true;
}
