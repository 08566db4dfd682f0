// The open popup of an option menu: entries in columns over the frame, picked with the mouse or the keys.
#pragma once

#include "gui/cview.h"

#include <vector>

class COptionMenu;

class CMenuPopup : public CView {
  public:
    // Rows are this high unless the frame is too low for them; columns narrow to fit its width.
    static constexpr CCoord kItemHeight = 18;
    static constexpr CCoord kMinItemHeight = 12;

    // Lays the entries out below the menu (or where they fit) inside the frame's rectangle.
    CMenuPopup(COptionMenu* menu, const CRect& frameRect, const CPoint& openedAt);
    ~CMenuPopup() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    long onKeyDown(CKeyCode& keyCode) override;

    // The entry under the point, -1 for none or a separator.
    long entryAt(const CPoint& where) const;
    CRect entryRect(long index) const;
    long getHighlighted() const { return highlighted; }
    CCoord getItemHeight() const { return itemHeight; }
    void close();

  private:
    void moveHighlight(long step);
    void pick(long index);

    COptionMenu* menu;
    long columns = 1;
    long rows = 1;
    CCoord columnWidth = 100;
    CCoord itemHeight = kItemHeight;
    long highlighted = -1;
    CPoint openedAt;
    bool pressedInside = false;
    bool dragged = false;
};
