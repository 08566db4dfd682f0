// What the widgets need from the editor that owns their frame.
#pragma once

#include "gui/cgeometry.h"

class CFrame;

enum { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

class VSTGUIEditorInterface {
  public:
    virtual ~VSTGUIEditorInterface() = default;
    // A user gesture on the control with this tag starts or ends.
    virtual void beginEdit(long index) {}
    virtual void endEdit(long index) {}
    virtual long getKnobMode() const { return kLinearMode; }
    virtual void doIdleStuff() {}
    virtual CFrame* getFrame() const { return nullptr; }
    // A right click on the frame where no control lies (view coordinates); true when it was used.
    virtual bool onBackgroundRightClick(const CPoint& where) { return false; }
};
