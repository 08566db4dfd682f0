#include "editor/editor_controls.h"

EditorBitmaps::EditorBitmaps()
    : background(new CBitmap(128)), knob(new CBitmap(130)), about(new CBitmap(132)), led(new CBitmap(134)),
      ledRed(new CBitmap(135)), button(new CBitmap(139)) {}

EditorBitmaps::~EditorBitmaps() {
    // Views of a window still open hold their own references.
    for (CBitmap* bitmap : {background, knob, about, led, ledRed, button})
        bitmap->forget();
}

CRect controlRect(const ControlPlace& place, const CBitmap* bitmap) {
    if (place.width) return CRect(place.left, place.top, place.left + place.width, place.top + place.height);
    const CCoord width = bitmap->getWidth();
    const CCoord height = place.kind == ControlKind::Knob
                              ? static_cast<long>(bitmap->getHeight()) / kKnobFrames
                              : bitmap->getHeight() / 2;
    return CRect(place.left, place.top, place.left + width, place.top + height);
}

CControl* createControl(const ControlPlace& place, const EditorBitmaps& bitmaps, CControlListener* listener) {
    CControl* control = nullptr;
    switch (place.kind) {
    case ControlKind::ProgramList: {
        COptionMenu* menu =
            new COptionMenu(controlRect(place, nullptr), listener, place.tag, nullptr, nullptr, kCheckStyle);
        menu->setTextTransparency(true);
        menu->setFont(kNormalFontVeryBig);
        menu->setFontColor(CColor{0, 0, 0, 128});
        menu->setNbItemsPerColumn(32);
        menu->setHoriAlign(kCenterText);
        control = menu;
        break;
    }
    case ControlKind::FileMenu: {
        COptionMenu* menu = new COptionMenu(controlRect(place, nullptr), listener, place.tag, nullptr,
                                            nullptr, kPopupStyle | kNoTextStyle | kNoDrawStyle);
        menu->setTextTransparency(true);
        control = menu;
        break;
    }
    case ControlKind::Knob: {
        const CRect size = controlRect(place, bitmaps.knob);
        control = new CAnimKnob(size, listener, place.tag, kKnobFrames, bitmaps.knob->getWidth(),
                                bitmaps.knob, size.getTopLeft());
        break;
    }
    case ControlKind::Switch:
        control =
            new COnOffButton(controlRect(place, bitmaps.button), listener, place.tag, bitmaps.button, 0);
        break;
    case ControlKind::Button:
        control = new CKickButton(controlRect(place, bitmaps.button), listener, place.tag, bitmaps.button,
                                  CPoint(0, 0));
        break;
    case ControlKind::Led:
    case ControlKind::RedLed: {
        CBitmap* bitmap = place.kind == ControlKind::Led ? bitmaps.led : bitmaps.ledRed;
        control = new COnOffButton(controlRect(place, bitmap), listener, place.tag, bitmap, 0);
        break;
    }
    case ControlKind::Analyser:
        return nullptr;
    case ControlKind::AboutScreen: {
        const CRect image(0, 0, bitmaps.about->getWidth(), bitmaps.about->getHeight());
        return new CSplashScreen(controlRect(place, nullptr), listener, place.tag, bitmaps.about, image,
                                 CPoint(0, 0));
    }
    }
    control->setTransparency(true);
    return control;
}
