#include "gui/cfont.h"

namespace {
const CFontDesc systemFont("DejaVu Sans", 12, kBoldFace);
const CFontDesc normalFontVeryBig("DejaVu Sans", 18);
const CFontDesc normalFontBig("DejaVu Sans", 14);
const CFontDesc normalFont("DejaVu Sans", 12);
const CFontDesc normalFontSmall("DejaVu Sans", 11);
const CFontDesc normalFontSmaller("DejaVu Sans", 10);
const CFontDesc normalFontVerySmall("DejaVu Sans", 9);
} // namespace

const CFontRef kSystemFont = &systemFont;
const CFontRef kNormalFontVeryBig = &normalFontVeryBig;
const CFontRef kNormalFontBig = &normalFontBig;
const CFontRef kNormalFont = &normalFont;
const CFontRef kNormalFontSmall = &normalFontSmall;
const CFontRef kNormalFontSmaller = &normalFontSmaller;
const CFontRef kNormalFontVerySmall = &normalFontVerySmall;
