// Fonts and text alignment of the drawing context.
#pragma once

#include "gui/cgeometry.h"

enum CTxtFace { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2 };

class CFontDesc {
  public:
    CFontDesc(const char* fontName, CCoord fontSize, int fontStyle = kNormalFace)
        : name(fontName), size(fontSize), style(fontStyle) {}
    const char* getName() const { return name; }
    CCoord getSize() const { return size; }
    int getStyle() const { return style; }

  private:
    const char* name;
    CCoord size;
    int style;
};

typedef const CFontDesc* CFontRef;

extern const CFontRef kSystemFont;
extern const CFontRef kNormalFontVeryBig;
extern const CFontRef kNormalFontBig;
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFontSmaller;
extern const CFontRef kNormalFontVerySmall;

enum CHoriTxtAlign { kLeftText = 0, kCenterText = 1, kRightText = 2 };
