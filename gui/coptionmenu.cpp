#include "gui/coptionmenu.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/cmenupopup.h"

#include <cstring>

CMenuItem::CMenuItem(const char* text, long itemFlags) : title(text ? text : ""), flags(itemFlags) {
    if (this->title == "-") this->flags |= kSeparator;
}

void CMenuItem::setChecked(bool checked) {
    if (checked)
        flags |= kChecked;
    else
        flags &= ~kChecked;
}

COptionMenu::COptionMenu(const CRect& rect, CControlListener* controlListener, long controlTag,
                         CBitmap* bitmap, CBitmap* backgroundWhenClicked, const long menuStyle)
    : CControl(rect, controlListener, controlTag, bitmap), style(menuStyle) {}

COptionMenu::~COptionMenu() = default;

CMenuItem* COptionMenu::addEntry(const char* title, long index, long itemFlags) {
    auto item = std::make_unique<CMenuItem>(title, itemFlags);
    CMenuItem* added = item.get();
    if (index < 0 || index >= getNbEntries())
        entries.push_back(std::move(item));
    else
        entries.insert(entries.begin() + index, std::move(item));
    setDirty(true);
    return added;
}

bool COptionMenu::removeEntry(long index) {
    if (index < 0 || index >= getNbEntries()) return false;
    entries.erase(entries.begin() + index);
    setDirty(true);
    return true;
}

bool COptionMenu::removeAllEntry() {
    entries.clear();
    setDirty(true);
    return true;
}

CMenuItem* COptionMenu::getEntry(long index) const {
    return index >= 0 && index < getNbEntries() ? entries[static_cast<size_t>(index)].get() : nullptr;
}

long COptionMenu::absoluteIndex(long index, bool countSeparator) const {
    if (countSeparator) return index;
    long seen = 0;
    for (long i = 0; i < getNbEntries(); ++i) {
        if (entries[static_cast<size_t>(i)]->isSeparator()) continue;
        if (seen++ == index) return i;
    }
    return -1;
}

bool COptionMenu::setCurrent(long index, bool countSeparator) {
    long absolute = absoluteIndex(index, countSeparator);
    CMenuItem* item = getEntry(absolute);
    if (!item || item->isSeparator()) return false;
    setValue(static_cast<float>(absolute));
    return true;
}

long COptionMenu::getCurrent(char* text, bool countSeparator) const {
    long current = static_cast<long>(getValue());
    CMenuItem* item = getEntry(current);
    if (text) std::strcpy(text, item ? item->getTitle() : "");
    if (!item || countSeparator) return current;
    long separators = 0;
    for (long i = 0; i < current; ++i)
        separators += entries[static_cast<size_t>(i)]->isSeparator() ? 1 : 0;
    return current - separators;
}

bool COptionMenu::checkEntry(long index, bool state) {
    CMenuItem* item = getEntry(index);
    if (!item || item->isSeparator()) return false;
    item->setChecked(state);
    setDirty(true);
    return true;
}

bool COptionMenu::checkEntryAlone(long index) {
    for (auto& item : entries)
        item->setChecked(false);
    return checkEntry(index, true);
}

bool COptionMenu::isCheckEntry(long index) const {
    CMenuItem* item = getEntry(index);
    return item && item->isChecked();
}

void COptionMenu::draw(CDrawContext* context) {
    setDirty(false);
    if (style & kNoDrawStyle) return;
    if (!getTransparency()) {
        context->setFillColor(backColor);
        context->setFrameColor(frameColor);
        context->drawRect(size, kDrawFilledAndStroked);
    }
    if (background) background->draw(context, size);
    if (style & kNoTextStyle) return;
    CMenuItem* item = getEntry(static_cast<long>(getValue()));
    if (!item) return;
    context->setFont(font);
    context->setFontColor(fontColor);
    if (!textTransparency) context->setFillColor(backColor);
    context->drawString(item->getTitle(), size, !textTransparency && !getTransparency(), horizontalAlign);
}

CMouseEventResult COptionMenu::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    popup();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COptionMenu::popup() {
    if (!frame || entries.empty() || isPopupOpen()) return false;
    CMenuPopup* view = new CMenuPopup(this, frame->getViewSize(), frame->getMousePosition());
    openPopup = view;
    frame->setModalView(view);
    view->forget(); // the frame holds it while it is open
    frame->takeFocus();
    return true;
}

bool COptionMenu::isPopupOpen() const {
    return openPopup && frame && frame->getModalView() == openPopup;
}

void COptionMenu::popupClosed() {
    openPopup = nullptr;
    if (frame) frame->releaseFocus();
}

void COptionMenu::choose(long index) {
    CMenuItem* item = getEntry(index);
    if (!item || item->isSeparator() || !item->isEnabled()) return;
    lastResult = index;
    beginEdit();
    setValue(static_cast<float>(index));
    setDirty(true);
    valueChanged();
    endEdit();
}
