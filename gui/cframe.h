// The editor's window: a child X11 window of the host's window (or an offscreen image), its views, their
// events and their redraw, all done in idle on the host's user-interface thread.
#pragma once

#include "gui/cview.h"

#include <chrono>
#include <memory>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;
class CDrawContext;
class VSTGUIEditorInterface;
class X11Window;

// Watches the pointer over a frame (the tooltip support) and may draw above every view.
class IMouseObserver : public CBaseObject {
  public:
    virtual void onMouseDown(CFrame* frame, const CPoint& where) {}
    virtual void onIdle(CFrame* frame) {}
    virtual void drawOverlay(CDrawContext* context) {}
};

// Views, events and hit testing use view coordinates; the window and the frame's image have scale device
// pixels for each of them.
class CFrame : public CView {
  public:
    // systemWindow is the host's X11 window (an XID); null, or no reachable X server, draws offscreen only.
    CFrame(const CRect& rect, void* systemWindow, VSTGUIEditorInterface* owner, double scale = 1.0);
    ~CFrame() override;

    double getScaleFactor() const { return scaleFactor; }
    // Resizes the window and the image to the new scale and redraws everything.
    void setScaleFactor(double scale);

    // Takes over the caller's reference; views later in the list lie on top.
    bool addView(CView* view);
    bool removeAll(bool withForget = true);
    bool isChild(CView* view) const;
    long getNbViews() const { return static_cast<long>(views.size()); }
    CView* getView(long index) const;
    // The topmost mouse-enabled view at the point, if any.
    CView* getViewAt(const CPoint& where) const;

    // Reads pending window events, then redraws what became dirty. Cheap when nothing changed.
    void idle();
    // Draws every dirty view into the frame's image and shows it in the window.
    void redrawDirty();
    void setDirty(const bool value = true) override;
    bool isDirty() const override;
    void invalidRect(const CRect& rect);
    void draw(CDrawContext* context) override;

    // A view that takes every mouse and key event and is drawn above all others (menus, the about image).
    void setModalView(CView* view);
    CView* getModalView() const { return modalView; }
    // The frame keeps one reference to the observer and gives it up when it is destroyed.
    void setMouseObserver(IMouseObserver* observer);

    // Events in frame coordinates: the window's events go through these, and tests may call them.
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    long onKeyDown(CKeyCode& keyCode) override;
    long onKeyUp(CKeyCode& keyCode) override;
    void onMouseLeft();

    VSTGUIEditorInterface* getEditor() const { return editor; }
    // The pointer's view and when the pointer last moved (for tooltips).
    CView* getHoverView() const { return hoverView; }
    CPoint getMousePosition() const { return mousePosition; }
    std::chrono::steady_clock::time_point getLastMouseMove() const { return lastMouseMove; }

    // True while the frame has a live window (false offscreen and after the host destroyed its window).
    bool isWindowOpen() const;
    // The frame's own X11 window, 0 when offscreen.
    unsigned long getWindowId() const;
    // Asks for the keyboard, so that an open menu can be used with the keys, and gives it back.
    void takeFocus();
    void releaseFocus();
    cairo_surface_t* getImage() const { return image; }
    bool saveToPng(const char* path);
    // How many times something was drawn: stays put while nothing changes.
    unsigned long getRedrawCount() const { return redrawCount; }

  private:
    void pumpEvents();
    void createImage();
    // A rectangle of the image in the window's pixels.
    CRect deviceArea(const CRect& area) const;
    void drawArea(CDrawContext& context, const CRect& area);
    void releasePendingViews();
    void forgetView(CView* view);

    VSTGUIEditorInterface* editor;
    double scaleFactor;
    std::unique_ptr<X11Window> window;
    cairo_surface_t* image = nullptr;
    std::vector<CView*> views;
    std::vector<CView*> pendingRelease;
    std::vector<CRect> invalidAreas;
    std::vector<CRect> exposedAreas;
    CView* modalView = nullptr;
    CView* mouseDownView = nullptr;
    CView* hoverView = nullptr;
    IMouseObserver* mouseObserver = nullptr;
    CPoint mousePosition;
    std::chrono::steady_clock::time_point lastMouseMove;
    bool fullRedraw = true;
    bool windowLost = false;
    bool inIdle = false;
    unsigned long redrawCount = 0;
};
