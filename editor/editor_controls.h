// The editor's bitmaps and the controls of its layout table, built the same way for the window and for the
// widget tests.
#pragma once

#include "editor/editor_layout.h"
#include "gui/vstgui.h"

// The editor's bitmaps, decoded once per editor.
struct EditorBitmaps {
    EditorBitmaps();
    ~EditorBitmaps();
    EditorBitmaps(const EditorBitmaps&) = delete;
    EditorBitmaps& operator=(const EditorBitmaps&) = delete;
    CBitmap* background;
    CBitmap* knob;
    CBitmap* about;
    CBitmap* led;
    CBitmap* ledRed;
    CBitmap* button;
};

// The rectangle a control covers: its place, with the table's size or one frame of its bitmap.
CRect controlRect(const ControlPlace& place, const CBitmap* bitmap);

// The control of one row at its place, styled, reporting to listener; menus come without entries. Null for
// the analyser, which needs the effect's display feed.
CControl* createControl(const ControlPlace& place, const EditorBitmaps& bitmaps, CControlListener* listener);
