#include "gui/cmenupopup.h"

#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/coptionmenu.h"
#include "gui/vstkeys.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace {
constexpr CCoord kMargin = 4;
constexpr CCoord kCheckWidth = 20;
constexpr CColor kPanel = {34, 36, 40, 250};
constexpr CColor kBorder = {90, 94, 102, 255};
constexpr CColor kText = {222, 224, 228, 255};
constexpr CColor kDisabledText = {136, 139, 146, 255}; // titles and notes, which cannot be picked
constexpr CColor kHighlight = {232, 140, 40, 255};
constexpr CColor kHighlightText = {20, 20, 22, 255};
constexpr CColor kSeparatorLine = {70, 73, 80, 255};

CCoord widestTitle(COptionMenu* menu) {
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    CCoord widest = 0;
    {
        CDrawContext context(scratch);
        context.setFont(kNormalFontSmall);
        for (long i = 0; i < menu->getNbEntries(); ++i)
            widest = std::max(widest, context.getStringWidth(menu->getEntry(i)->getTitle()));
    }
    cairo_surface_destroy(scratch);
    return widest;
}
} // namespace

CMenuPopup::CMenuPopup(COptionMenu* optionMenu, const CRect& frameRect, const CPoint& where)
    : CView(CRect()), menu(optionMenu), openedAt(where) {
    optionMenu->remember();
    long count = std::max(1L, optionMenu->getNbEntries());
    rows = optionMenu->getNbItemsPerColumn() > 0 ? std::min(optionMenu->getNbItemsPerColumn(), count) : count;
    columns = (count + rows - 1) / rows;
    columnWidth = std::max<CCoord>(80, kCheckWidth + widestTitle(optionMenu) + 14);
    columnWidth = std::min(columnWidth, std::floor((frameRect.width() - 2 * kMargin) / columns));
    itemHeight =
        std::clamp(std::floor((frameRect.height() - 2 * kMargin) / rows), kMinItemHeight, kItemHeight);
    CCoord width = columns * columnWidth + 2 * kMargin;
    CCoord height = rows * itemHeight + 2 * kMargin;
    CRect anchor = optionMenu->getViewSize();
    CCoord left = anchor.left;
    CCoord top = (optionMenu->getStyle() & kPopupStyle) ? anchor.top : anchor.bottom;
    if (top + height > frameRect.bottom) top = std::max(frameRect.top, frameRect.bottom - height);
    if (left + width > frameRect.right) left = std::max(frameRect.left, frameRect.right - width);
    setViewSize(CRect(left, top, left + width, top + height));
    long current = static_cast<long>(optionMenu->getValue());
    CMenuItem* item = optionMenu->getEntry(current);
    highlighted = (item && !item->isSeparator()) ? current : -1;
}

CMenuPopup::~CMenuPopup() {
    menu->forget();
}

CRect CMenuPopup::entryRect(long index) const {
    long column = index / rows, row = index % rows;
    CCoord left = size.left + kMargin + column * columnWidth;
    CCoord top = size.top + kMargin + row * itemHeight;
    return CRect(left, top, left + columnWidth, top + itemHeight);
}

long CMenuPopup::entryAt(const CPoint& where) const {
    for (long i = 0; i < menu->getNbEntries(); ++i) {
        if (entryRect(i).pointInside(where)) {
            CMenuItem* item = menu->getEntry(i);
            return (item->isSeparator() || !item->isEnabled()) ? -1 : i;
        }
    }
    return -1;
}

void CMenuPopup::draw(CDrawContext* context) {
    context->setDrawMode(kCopyMode);
    context->setLineWidth(1);
    context->setFillColor(kPanel);
    context->setFrameColor(kBorder);
    context->drawRect(size, kDrawFilledAndStroked);
    context->setFont(kNormalFontSmall);
    cairo_t* cr = context->getCairo();
    bool checkStyle = (menu->getStyle() & kCheckStyle) != 0;
    for (long i = 0; i < menu->getNbEntries(); ++i) {
        CMenuItem* item = menu->getEntry(i);
        CRect rect = entryRect(i);
        if (item->isSeparator()) {
            context->setFrameColor(kSeparatorLine);
            CCoord y = rect.top + itemHeight / 2;
            context->drawLine(CPoint(rect.left + 6, y), CPoint(rect.right - 6, y));
            continue;
        }
        bool lit = i == highlighted;
        if (lit) {
            context->setFillColor(kHighlight);
            context->fillRect(rect);
        }
        if (checkStyle && item->isChecked()) {
            // A tick drawn as two strokes: no font needed.
            double middle = rect.top + itemHeight / 2;
            cairo_save(cr);
            const CColor& tick = lit ? kHighlightText : kHighlight;
            cairo_set_source_rgb(cr, tick.red / 255.0, tick.green / 255.0, tick.blue / 255.0);
            cairo_set_line_width(cr, 2);
            cairo_move_to(cr, rect.left + 5, middle);
            cairo_line_to(cr, rect.left + 9, middle + 4);
            cairo_line_to(cr, rect.left + 15, middle - 4);
            cairo_stroke(cr);
            cairo_restore(cr);
        }
        context->setFontColor(lit ? kHighlightText : item->isEnabled() ? kText : kDisabledText);
        CRect textRect(rect.left + kCheckWidth, rect.top, rect.right - 4, rect.bottom);
        // A name too long for its column is cut at the column's edge.
        cairo_save(cr);
        cairo_rectangle(cr, textRect.left, textRect.top, textRect.width(), textRect.height());
        cairo_clip(cr);
        context->drawString(item->getTitle(), textRect, false, kLeftText);
        cairo_restore(cr);
    }
    setDirty(false);
}

void CMenuPopup::close() {
    if (frame && frame->getModalView() == this) frame->setModalView(nullptr);
    menu->popupClosed();
}

void CMenuPopup::pick(long index) {
    CFrame* owner = frame;
    close();
    // The popup disappears before the command runs, which may open a dialog and wait for it.
    if (owner) owner->redrawDirty();
    menu->choose(index);
}

CMouseEventResult CMenuPopup::onMouseDown(CPoint& where, const long& buttons) {
    if (!size.pointInside(where)) {
        close();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    pressedInside = true;
    return kMouseEventHandled;
}

CMouseEventResult CMenuPopup::onMouseMoved(CPoint& where, const long& buttons) {
    if (std::abs(where.h - openedAt.h) + std::abs(where.v - openedAt.v) > 4) dragged = true;
    long index = entryAt(where);
    if (index != highlighted && index >= 0) {
        highlighted = index;
        setDirty(true);
    }
    return kMouseEventHandled;
}

CMouseEventResult CMenuPopup::onMouseUp(CPoint& where, const long& buttons) {
    // The release of the click that opened the popup picks nothing unless the pointer was dragged to an
    // entry.
    if (!pressedInside && !dragged) return kMouseEventHandled;
    long index = entryAt(where);
    if (index >= 0)
        pick(index);
    else if (!size.pointInside(where))
        close();
    return kMouseEventHandled;
}

void CMenuPopup::moveHighlight(long step) {
    long count = menu->getNbEntries();
    long index = highlighted < 0 ? (step > 0 ? -1 : count) : highlighted;
    for (long tries = 0; tries < count; ++tries) {
        index += step;
        if (index < 0 || index >= count) return;
        CMenuItem* item = menu->getEntry(index);
        if (!item->isSeparator() && item->isEnabled()) {
            highlighted = index;
            setDirty(true);
            return;
        }
        if (step != 1 && step != -1) step = step > 0 ? 1 : -1;
    }
}

long CMenuPopup::onKeyDown(CKeyCode& keyCode) {
    switch (keyCode.virt) {
    case VKEY_UP:
        moveHighlight(-1);
        return 1;
    case VKEY_DOWN:
        moveHighlight(1);
        return 1;
    case VKEY_LEFT:
        moveHighlight(-rows);
        return 1;
    case VKEY_RIGHT:
        moveHighlight(rows);
        return 1;
    case VKEY_RETURN:
    case VKEY_ENTER:
    case VKEY_SPACE:
        if (highlighted >= 0)
            pick(highlighted);
        else
            close();
        return 1;
    case VKEY_ESCAPE:
        close();
        return 1;
    default:
        return -1;
    }
}
