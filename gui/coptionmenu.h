// A menu control: shows its current entry and, when clicked, a popup of its entries in columns.
#pragma once

#include "gui/ccontrol.h"
#include "gui/cfont.h"

#include <memory>
#include <string>
#include <vector>

enum {
    kPopupStyle = 1 << 9,   // 512
    kCheckStyle = 1 << 10,  // 1024: checked entries carry a check mark
    kNoTextStyle = 1 << 11, // 2048: the control shows no text
    kNoDrawStyle = 1 << 12, // 4096: the control draws nothing at all
};

class CMenuItem {
  public:
    enum Flags { kNoFlags = 0, kDisabled = 1 << 0, kTitle = 1 << 1, kChecked = 1 << 2, kSeparator = 1 << 3 };

    CMenuItem(const char* title, long flags);
    const char* getTitle() const { return title.c_str(); }
    void setTitle(const char* newTitle) { title = newTitle ? newTitle : ""; }
    bool isSeparator() const { return (flags & kSeparator) != 0; }
    bool isChecked() const { return (flags & kChecked) != 0; }
    bool isEnabled() const { return (flags & (kDisabled | kTitle)) == 0; }
    void setChecked(bool checked);

  private:
    std::string title;
    long flags;
};

class COptionMenu : public CControl {
  public:
    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* backgroundWhenClicked = nullptr, const long style = 0);
    ~COptionMenu() override;

    // Appends at index -1, inserts before index otherwise; the title "-" makes a separator.
    CMenuItem* addEntry(const char* title, long index = -1, long itemFlags = CMenuItem::kNoFlags);
    bool removeEntry(long index);
    bool removeAllEntry();
    long getNbEntries() const { return static_cast<long>(entries.size()); }
    CMenuItem* getEntry(long index) const;

    // Index of the current entry; without countSeparator both sides count only entries that are not
    // separators.
    bool setCurrent(long index, bool countSeparator = true);
    long getCurrent(char* text = nullptr, bool countSeparator = true) const;
    bool checkEntry(long index, bool state);
    bool checkEntryAlone(long index);
    bool isCheckEntry(long index) const;
    void setNbItemsPerColumn(long count) { itemsPerColumn = count; }
    long getNbItemsPerColumn() const { return itemsPerColumn; }

    long getStyle() const { return style; }
    void setFont(CFontRef newFont) { font = newFont; }
    void setFontColor(const CColor& color) { fontColor = color; }
    void setFrameColor(const CColor& color) { frameColor = color; }
    void setHoriAlign(CHoriTxtAlign align) { horizontalAlign = align; }
    void setTextTransparency(bool transparent) { textTransparency = transparent; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;

    // Opens the popup over the frame; false without a frame or without entries.
    bool popup();
    bool isPopupOpen() const;
    // Called by the popup: makes the entry current and reports it to the listener.
    void choose(long index);
    void popupClosed();

  private:
    long absoluteIndex(long index, bool countSeparator) const;

    std::vector<std::unique_ptr<CMenuItem>> entries;
    long style;
    long itemsPerColumn = -1;
    long lastResult = -1;
    CFontRef font = kNormalFont;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CHoriTxtAlign horizontalAlign = kCenterText;
    bool textTransparency = false;
    CView* openPopup = nullptr;
};
