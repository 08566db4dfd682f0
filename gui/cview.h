// The base of everything drawn in a frame: a rectangle, a dirty flag, mouse handling and attributes.
#pragma once

#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"
#include "gui/vstkeys.h"

#include <atomic>
#include <map>
#include <vector>

class CBitmap;
class CDrawContext;
class CFrame;

// Mouse buttons and modifier keys held during a mouse event.
enum CButton {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7,
    kDoubleClick = 1 << 10,
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

typedef unsigned int CViewAttributeID;
// The text a view shows as its tooltip, zero-terminated.
const CViewAttributeID kCViewTooltipAttribute = 0x63767474; // 'cvtt'

class CView : public CBaseObject {
  public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);
    virtual CMouseEventResult onMouseDown(CPoint& where, const long& buttons) {
        return kMouseEventNotHandled;
    }
    virtual CMouseEventResult onMouseUp(CPoint& where, const long& buttons) { return kMouseEventNotHandled; }
    virtual CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) {
        return kMouseEventNotHandled;
    }
    virtual bool onWheel(const CPoint& where, const float& distance, const long& buttons) { return false; }
    // Answers 1 when the key was used, -1 when not.
    virtual long onKeyDown(CKeyCode& keyCode) { return -1; }
    virtual long onKeyUp(CKeyCode& keyCode) { return -1; }

    virtual void setDirty(const bool value = true) { dirty.store(value, std::memory_order_relaxed); }
    virtual bool isDirty() const { return dirty.load(std::memory_order_relaxed); }
    void invalid() { setDirty(true); }

    void setMouseEnabled(bool enabled) { mouseEnabled = enabled; }
    bool getMouseEnabled() const { return mouseEnabled; }
    void setMouseableArea(const CRect& area) { mouseableArea = area; }
    void setTransparency(bool transparent) { transparency = transparent; }
    bool getTransparency() const { return transparency; }
    bool isVisible() const { return visible; }

    virtual void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return background; }

    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    void getViewSize(CRect& rect) const { rect = size; }
    const CRect& getViewSize() const { return size; }
    CCoord getWidth() const { return size.width(); }
    CCoord getHeight() const { return size.height(); }
    // True when the point lies in the view's mouseable area.
    virtual bool hitTest(const CPoint& where) const;

    bool setAttribute(CViewAttributeID id, long inSize, const void* inData);
    bool getAttributeSize(CViewAttributeID id, long& outSize) const;
    bool getAttribute(CViewAttributeID id, long inSize, void* outData, long& outSize) const;

    CFrame* getFrame() const { return frame; }
    // Called by the frame when the view is added to it or removed from it.
    virtual void attached(CFrame* parent) { frame = parent; }
    virtual void removed() { frame = nullptr; }

  protected:
    CRect size;
    CRect mouseableArea;
    CFrame* frame = nullptr;
    CBitmap* background = nullptr;
    bool mouseEnabled = true;
    bool transparency = false;
    bool visible = true;

  private:
    std::atomic<bool> dirty{true};
    std::map<CViewAttributeID, std::vector<char>> attributes;
};
