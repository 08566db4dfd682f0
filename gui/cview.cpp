#include "gui/cview.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"

#include <cstring>

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView() {
    if (background) background->forget();
}

void CView::draw(CDrawContext* context) {
    if (background) background->draw(context, size);
    setDirty(false);
}

void CView::setBackground(CBitmap* newBackground) {
    if (newBackground) newBackground->remember();
    if (background) background->forget();
    background = newBackground;
    setDirty(true);
}

void CView::setViewSize(const CRect& rect, bool invalidate) {
    if (frame) frame->invalidRect(size);
    size = rect;
    mouseableArea = rect;
    if (invalidate) setDirty(true);
}

bool CView::hitTest(const CPoint& where) const {
    return mouseEnabled && visible && mouseableArea.pointInside(where);
}

bool CView::setAttribute(CViewAttributeID id, long inSize, const void* inData) {
    if (inSize < 0 || (inSize > 0 && !inData)) return false;
    const char* bytes = static_cast<const char*>(inData);
    attributes[id].assign(bytes, bytes + inSize);
    return true;
}

bool CView::getAttributeSize(CViewAttributeID id, long& outSize) const {
    auto found = attributes.find(id);
    if (found == attributes.end()) return false;
    outSize = static_cast<long>(found->second.size());
    return true;
}

bool CView::getAttribute(CViewAttributeID id, long inSize, void* outData, long& outSize) const {
    auto found = attributes.find(id);
    if (found == attributes.end() || inSize < static_cast<long>(found->second.size())) return false;
    outSize = static_cast<long>(found->second.size());
    if (outSize > 0) std::memcpy(outData, found->second.data(), found->second.size());
    return true;
}
