#include "gui/ctooltipsupport.h"

#include "gui/cdrawcontext.h"

#include <algorithm>
#include <cairo.h>

namespace {
constexpr CCoord kMaxTextWidth = 300;
constexpr CCoord kPadding = 6;
constexpr CCoord kLineHeight = 14;
constexpr CColor kBox = {24, 25, 28, 242};
constexpr CColor kBoxBorder = {110, 114, 122, 255};
constexpr CColor kBoxText = {232, 232, 232, 255};

// Breaks the text at blanks into lines no wider than the limit (a single long word stays whole).
std::vector<std::string> wrap(CDrawContext& context, const std::string& text, CCoord limit, CCoord& widest) {
    std::vector<std::string> lines;
    std::string line;
    size_t position = 0;
    widest = 0;
    while (position < text.size()) {
        size_t end = text.find(' ', position);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(position, end - position);
        std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && context.getStringWidth(candidate.c_str()) > limit) {
            widest = std::max(widest, context.getStringWidth(line.c_str()));
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        position = end + 1;
    }
    if (!line.empty()) {
        widest = std::max(widest, context.getStringWidth(line.c_str()));
        lines.push_back(line);
    }
    return lines;
}
} // namespace

CTooltipSupport::CTooltipSupport(CFrame* frame, CBitmap* background, long delayMs) : delay(delayMs) {
    if (frame) {
        frame->setMouseObserver(this);
        forget(); // the frame's reference is the only one
    }
}

void CTooltipSupport::onMouseDown(CFrame* frame, const CPoint& where) {
    hide(frame);
    suppressed = true;
    restingSince = frame->getLastMouseMove();
}

void CTooltipSupport::onIdle(CFrame* frame) {
    CView* view = frame->getModalView() ? nullptr : frame->getHoverView();
    if (shownFor && view != shownFor) hide(frame);
    if (suppressed && frame->getLastMouseMove() != restingSince) suppressed = false;
    if (shownFor || !view || suppressed) return;
    auto rested = std::chrono::steady_clock::now() - frame->getLastMouseMove();
    if (rested >= std::chrono::milliseconds(delay)) show(frame, view);
}

void CTooltipSupport::show(CFrame* frame, CView* view) {
    long length = 0;
    if (!view->getAttributeSize(kCViewTooltipAttribute, length) || length <= 0) return;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, 0);
    if (!view->getAttribute(kCViewTooltipAttribute, length, buffer.data(), length)) return;
    text.assign(buffer.data());
    if (text.empty()) return;

    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    CCoord widest = 0;
    {
        CDrawContext context(scratch);
        context.setFont(kNormalFontSmall);
        lines = wrap(context, text, kMaxTextWidth, widest);
    }
    cairo_surface_destroy(scratch);

    CCoord width = widest + 2 * kPadding + 1;
    CCoord height = lines.size() * kLineHeight + 2 * kPadding;
    CRect bounds = frame->getViewSize();
    CPoint mouse = frame->getMousePosition();
    CCoord left = std::min(mouse.h + 12, bounds.right - width);
    CCoord top = mouse.v + 20;
    if (top + height > bounds.bottom) top = mouse.v - height - 8; // above the pointer when below does not fit
    area = CRect(std::max(bounds.left, left), std::max(bounds.top, top), 0, 0);
    area.right = area.left + width;
    area.bottom = area.top + height;
    shownFor = view;
    frame->invalidRect(area);
}

void CTooltipSupport::hide(CFrame* frame) {
    if (!shownFor) return;
    shownFor = nullptr;
    frame->invalidRect(area);
}

void CTooltipSupport::drawOverlay(CDrawContext* context) {
    if (!shownFor) return;
    context->setDrawMode(kCopyMode);
    context->setLineWidth(1);
    context->setFillColor(kBox);
    context->setFrameColor(kBoxBorder);
    context->drawRect(area, kDrawFilledAndStroked);
    context->setFont(kNormalFontSmall);
    context->setFontColor(kBoxText);
    for (size_t i = 0; i < lines.size(); ++i) {
        CCoord top = area.top + kPadding + i * kLineHeight;
        context->drawString(lines[i].c_str(), CRect(area.left + kPadding, top, area.right, top + kLineHeight),
                            false, kLeftText);
    }
}
