#include "gui/cframe.h"

#include "gui/cbitmap.h"
#include "gui/ccontrol.h"
#include "gui/cdrawcontext.h"
#include "gui/veditorinterface.h"
#include "gui/x11_window.h"
#include "support/atomic_file.h"

#include <algorithm>
#include <cairo.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

CFrame::CFrame(const CRect& rect, void* systemWindow, VSTGUIEditorInterface* owner, double scale)
    : CView(rect), editor(owner), scaleFactor(scale > 0 ? scale : 1.0) {
    frame = this;
    createImage();
    if (systemWindow) {
        window = std::make_unique<X11Window>(reinterpret_cast<uintptr_t>(systemWindow),
                                             cairo_image_surface_get_width(image),
                                             cairo_image_surface_get_height(image));
        if (!window->isOpen()) window.reset();
    }
    lastMouseMove = std::chrono::steady_clock::now();
}

void CFrame::createImage() {
    const int width = std::max(1, scaledLength(size.width(), scaleFactor));
    const int height = std::max(1, scaledLength(size.height(), scaleFactor));
    image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
}

void CFrame::setScaleFactor(double scale) {
    if (!(scale > 0) || scale == scaleFactor) return;
    scaleFactor = scale;
    cairo_surface_destroy(image);
    createImage();
    if (window) window->resize(cairo_image_surface_get_width(image), cairo_image_surface_get_height(image));
    invalidAreas.clear();
    exposedAreas.clear();
    fullRedraw = true;
}

CRect CFrame::deviceArea(const CRect& area) const {
    return scaleFactor == 1.0 ? area : deviceRectOutward(area, scaleFactor);
}

CFrame::~CFrame() {
    setModalView(nullptr);
    removeAll(true);
    releasePendingViews();
    if (mouseObserver) mouseObserver->forget();
    window.reset();
    cairo_surface_destroy(image);
    frame = nullptr;
}

bool CFrame::addView(CView* view) {
    if (!view || isChild(view)) return false;
    views.push_back(view);
    view->attached(this);
    view->setDirty(true);
    return true;
}

void CFrame::forgetView(CView* view) {
    if (mouseDownView == view) mouseDownView = nullptr;
    if (hoverView == view) hoverView = nullptr;
    invalidRect(view->getViewSize());
    view->removed();
}

bool CFrame::removeAll(bool withForget) {
    if (modalView) setModalView(nullptr);
    std::vector<CView*> removed;
    removed.swap(views);
    for (CView* view : removed) {
        forgetView(view);
        if (withForget) view->forget();
    }
    return true;
}

bool CFrame::isChild(CView* view) const {
    return std::find(views.begin(), views.end(), view) != views.end();
}

CView* CFrame::getView(long index) const {
    return index >= 0 && index < getNbViews() ? views[static_cast<size_t>(index)] : nullptr;
}

CView* CFrame::getViewAt(const CPoint& where) const {
    for (auto view = views.rbegin(); view != views.rend(); ++view) {
        if ((*view)->hitTest(where)) return *view;
    }
    return nullptr;
}

void CFrame::setModalView(CView* view) {
    if (view == modalView) return;
    if (view) {
        view->remember();
        if (!view->getFrame()) view->attached(this);
        view->setDirty(true);
    }
    if (modalView) {
        invalidRect(modalView->getViewSize());
        if (mouseDownView == modalView) mouseDownView = nullptr;
        // Released after the event in progress, which may come from the modal view itself.
        pendingRelease.push_back(modalView);
    }
    modalView = view;
}

void CFrame::releasePendingViews() {
    std::vector<CView*> released;
    released.swap(pendingRelease);
    for (CView* view : released) {
        if (!isChild(view) && view != modalView) view->removed();
        view->forget();
    }
}

void CFrame::setMouseObserver(IMouseObserver* observer) {
    if (observer == mouseObserver) return;
    if (observer) observer->remember();
    if (mouseObserver) mouseObserver->forget();
    mouseObserver = observer;
}

void CFrame::setDirty(const bool value) {
    fullRedraw = value;
    if (!value) invalidAreas.clear();
}

bool CFrame::isDirty() const {
    if (fullRedraw || !invalidAreas.empty()) return true;
    if (modalView && modalView->isDirty()) return true;
    for (CView* view : views) {
        if (view->isVisible() && view->isDirty()) return true;
    }
    return false;
}

void CFrame::invalidRect(const CRect& rect) {
    CRect area = rect;
    area.bound(size);
    if (!area.isEmpty()) invalidAreas.push_back(area);
}

bool CFrame::isWindowOpen() const {
    return window && window->isOpen();
}

unsigned long CFrame::getWindowId() const {
    return window ? window->getWindowId() : 0;
}

void CFrame::takeFocus() {
    if (window) window->takeFocus();
}

void CFrame::releaseFocus() {
    if (window) window->releaseFocus();
}

void CFrame::idle() {
    if (inIdle) return;
    inIdle = true;
    pumpEvents();
    if (mouseObserver) mouseObserver->onIdle(this);
    releasePendingViews();
    redrawDirty();
    inIdle = false;
}

void CFrame::pumpEvents() {
    if (!window) return;
    WindowEvent event;
    while (window->nextEvent(event)) {
        event.where = CPoint(event.where.h / scaleFactor, event.where.v / scaleFactor);
        switch (event.type) {
        case WindowEvent::kMouseDown:
            onMouseDown(event.where, event.buttons);
            break;
        case WindowEvent::kMouseUp:
            onMouseUp(event.where, event.buttons);
            break;
        case WindowEvent::kMouseMoved:
            onMouseMoved(event.where, event.buttons);
            break;
        case WindowEvent::kWheel:
            onWheel(event.where, event.distance, event.buttons);
            break;
        case WindowEvent::kKeyDown:
            onKeyDown(event.key);
            break;
        case WindowEvent::kKeyUp:
            onKeyUp(event.key);
            break;
        case WindowEvent::kExpose:
            exposedAreas.push_back(event.area);
            break;
        case WindowEvent::kMouseLeft:
            onMouseLeft();
            break;
        case WindowEvent::kNone:
            break;
        }
        releasePendingViews();
    }
    if (!window->isOpen()) {
        // The host destroyed its window before closing the editor: nothing is drawn from now on.
        window.reset();
        windowLost = true;
    }
}

void CFrame::draw(CDrawContext* context) {
    if (background)
        background->draw(context, size);
    else {
        context->setFillColor(kBlackCColor);
        context->fillRect(size);
    }
}

void CFrame::drawArea(CDrawContext& context, const CRect& wanted) {
    // On whole device pixels: a clip edge inside a pixel would blend the old picture into the new one.
    const CRect device = deviceArea(wanted);
    const CRect area = scaleFactor == 1.0 ? wanted
                                          : CRect(device.left / scaleFactor, device.top / scaleFactor,
                                                  device.right / scaleFactor, device.bottom / scaleFactor);
    context.setClipRect(area);
    draw(&context);
    for (CView* view : views) {
        if (view != modalView && view->isVisible() && view->getViewSize().rectOverlap(area))
            view->draw(&context);
    }
    if (modalView && modalView->getViewSize().rectOverlap(area)) modalView->draw(&context);
    if (mouseObserver) mouseObserver->drawOverlay(&context);
    context.resetClipRect();
}

void CFrame::redrawDirty() {
    if (windowLost) {
        for (CView* view : views)
            view->setDirty(false);
        if (modalView) modalView->setDirty(false);
        invalidAreas.clear();
        exposedAreas.clear();
        fullRedraw = false;
        return;
    }
    std::vector<CRect> areas;
    areas.swap(invalidAreas);
    // Flags are cleared before drawing so that a value set meanwhile (say, by automation) is drawn next time.
    for (CView* view : views) {
        if (view->isDirty()) {
            view->setDirty(false);
            if (view->isVisible()) areas.push_back(view->getViewSize());
        }
    }
    if (modalView && modalView->isDirty()) {
        modalView->setDirty(false);
        areas.push_back(modalView->getViewSize());
    }
    if (fullRedraw) {
        areas.assign(1, size);
        fullRedraw = false;
    }
    // Overlapping areas are merged, so that nothing is drawn twice.
    std::vector<CRect> merged;
    for (CRect area : areas) {
        area.bound(size);
        if (area.isEmpty()) continue;
        for (bool grown = true; grown;) {
            grown = false;
            for (auto other = merged.begin(); other != merged.end(); ++other) {
                if (other->rectOverlap(area)) {
                    area.unite(*other);
                    merged.erase(other);
                    grown = true;
                    break;
                }
            }
        }
        merged.push_back(area);
    }
    if (!merged.empty()) {
        CDrawContext context(image, false, scaleFactor);
        for (const CRect& area : merged)
            drawArea(context, area);
        cairo_surface_flush(image);
        ++redrawCount;
    }
    if (window) {
        for (const CRect& area : merged)
            window->present(image, deviceArea(area));
        for (const CRect& area : exposedAreas)
            window->present(image, area);
    }
    exposedAreas.clear();
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const long& buttons) {
    mousePosition = where;
    if (mouseObserver) mouseObserver->onMouseDown(this, where);
    if (!getMouseEnabled()) return kMouseEventNotHandled;
    CView* target = modalView ? modalView : getViewAt(where);
    // A right click beside every control belongs to the editor (its own menu), not to a view.
    if (!modalView && (buttons & kRButton) && !dynamic_cast<CControl*>(target) && editor &&
        editor->onBackgroundRightClick(where))
        return kMouseEventHandled;
    if (!target) return kMouseEventNotHandled;
    target->remember();
    CMouseEventResult result = target->onMouseDown(where, buttons);
    if (result == kMouseEventHandled && (target == modalView || isChild(target))) mouseDownView = target;
    target->forget();
    return result;
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const long& buttons) {
    mousePosition = where;
    CView* target = mouseDownView ? mouseDownView : modalView;
    mouseDownView = nullptr;
    if (!target) return kMouseEventNotHandled;
    target->remember();
    CMouseEventResult result = target->onMouseUp(where, buttons);
    target->forget();
    return result;
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const long& buttons) {
    if (where != mousePosition) lastMouseMove = std::chrono::steady_clock::now();
    mousePosition = where;
    hoverView = size.pointInside(where) ? getViewAt(where) : nullptr;
    CView* target = mouseDownView ? mouseDownView : modalView;
    if (!target) return kMouseEventNotHandled;
    return target->onMouseMoved(where, buttons);
}

void CFrame::onMouseLeft() {
    if (!mouseDownView) hoverView = nullptr;
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    if (!getMouseEnabled()) return false;
    CView* target = modalView ? modalView : getViewAt(where);
    return target && target->onWheel(where, distance, buttons);
}

long CFrame::onKeyDown(CKeyCode& keyCode) {
    if (modalView) return modalView->onKeyDown(keyCode);
    return -1;
}

long CFrame::onKeyUp(CKeyCode& keyCode) {
    if (modalView) return modalView->onKeyUp(keyCode);
    return -1;
}

namespace {

cairo_status_t writeToDescriptor(void* closure, const unsigned char* data, unsigned int length) {
    const int descriptor = *static_cast<int*>(closure);
    while (length > 0) {
        const ssize_t written = write(descriptor, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return CAIRO_STATUS_WRITE_ERROR;
        data += written;
        length -= static_cast<unsigned int>(written);
    }
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

bool CFrame::saveToPng(const char* path) {
    if (!path) return false;
    cairo_surface_flush(image);
    std::string temporary;
    int descriptor = createTemporaryBeside(path, &temporary);
    if (descriptor < 0) return false;
    if (cairo_surface_write_to_png_stream(image, writeToDescriptor, &descriptor) != CAIRO_STATUS_SUCCESS) {
        const int code = errno;
        discardTemporary(descriptor, temporary);
        errno = code;
        return false;
    }
    return commitTemporary(descriptor, temporary, path, true);
}
