#include "gui/cdrawcontext.h"

#include "gui/cframe.h"

#include <cairo.h>
#include <cmath>

CDrawContext::CDrawContext(cairo_surface_t* target, bool ownsTarget, double scale)
    : surface(target), ownsSurface(ownsTarget), cairo(cairo_create(target)), scaleFactor(scale),
      font(kNormalFont), fontSize(kNormalFont->getSize()), fontStyle(kNormalFont->getStyle()) {
    if (scale != 1.0) cairo_scale(cairo, scale, scale);
}

CRect CDrawContext::snapToDevicePixels(const CRect& rect) const {
    auto snap = [&](CCoord value) { return std::round(value * scaleFactor) / scaleFactor; };
    return CRect(snap(rect.left), snap(rect.top), snap(rect.right), snap(rect.bottom));
}

CDrawContext::~CDrawContext() {
    cairo_destroy(cairo);
    if (ownsSurface) cairo_surface_destroy(surface);
}

void CDrawContext::applyColor(const CColor& color) {
    cairo_set_source_rgba(cairo, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
}

double CDrawContext::pixelAlign() const {
    long width = std::lround(lineWidth);
    return (width % 2 == 1) ? 0.5 : 0.0;
}

void CDrawContext::moveTo(const CPoint& point) {
    penPosition = point;
}

void CDrawContext::lineTo(const CPoint& point) {
    drawLine(penPosition, point);
    penPosition = point;
}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    double align = pixelAlign();
    cairo_save(cairo);
    cairo_set_antialias(cairo, drawMode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cairo, lineWidth);
    applyColor(frameColor);
    cairo_move_to(cairo, start.h + align, start.v + align);
    cairo_line_to(cairo, end.h + align, end.v + align);
    cairo_stroke(cairo);
    cairo_restore(cairo);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    cairo_save(cairo);
    cairo_set_antialias(cairo, drawMode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (style != kDrawStroked) {
        applyColor(fillColor);
        cairo_rectangle(cairo, rect.left, rect.top, rect.width(), rect.height());
        cairo_fill(cairo);
    }
    if (style != kDrawFilled) {
        double inset = lineWidth / 2;
        applyColor(frameColor);
        cairo_set_line_width(cairo, lineWidth);
        cairo_rectangle(cairo, rect.left + inset, rect.top + inset, rect.width() - lineWidth,
                        rect.height() - lineWidth);
        cairo_stroke(cairo);
    }
    cairo_restore(cairo);
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
    double width = rect.width(), height = rect.height();
    if (width <= 0 || height <= 0) return;
    cairo_save(cairo);
    cairo_set_antialias(cairo, drawMode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_translate(cairo, rect.left + width / 2, rect.top + height / 2);
    cairo_scale(cairo, width / 2, height / 2);
    cairo_arc(cairo, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cairo); // the path stays; the line width is then in pixels
    cairo_save(cairo);
    cairo_set_antialias(cairo, drawMode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (style != kDrawStroked) {
        applyColor(fillColor);
        if (style == kDrawFilled)
            cairo_fill(cairo);
        else
            cairo_fill_preserve(cairo);
    }
    if (style != kDrawFilled) {
        applyColor(frameColor);
        cairo_set_line_width(cairo, lineWidth);
        cairo_stroke(cairo);
    }
    cairo_restore(cairo);
    cairo_new_path(cairo);
}

void CDrawContext::setFont(CFontRef newFont, CCoord size, int style) {
    if (!newFont) newFont = kNormalFont;
    font = newFont;
    fontSize = size > 0 ? size : newFont->getSize();
    fontStyle = style >= 0 ? style : newFont->getStyle();
}

void CDrawContext::applyFont() {
    cairo_select_font_face(cairo, font->getName(),
                           (fontStyle & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           (fontStyle & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo, fontSize);
}

CCoord CDrawContext::getStringWidth(const char* string) {
    if (!string) return 0;
    cairo_save(cairo);
    applyFont();
    cairo_text_extents_t extents;
    cairo_text_extents(cairo, string, &extents);
    cairo_restore(cairo);
    return extents.x_advance;
}

void CDrawContext::drawString(const char* string, const CRect& rect, short opaque, CHoriTxtAlign hAlign) {
    if (!string) return;
    cairo_save(cairo);
    if (opaque) {
        applyColor(fillColor);
        cairo_rectangle(cairo, rect.left, rect.top, rect.width(), rect.height());
        cairo_fill(cairo);
    }
    applyFont();
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cairo, &fontExtents);
    cairo_text_extents_t extents;
    cairo_text_extents(cairo, string, &extents);
    double x = rect.left;
    if (hAlign == kCenterText)
        x = rect.left + (rect.width() - extents.x_advance) / 2;
    else if (hAlign == kRightText)
        x = rect.right - extents.x_advance;
    // Centred vertically on the cap height region, as label text is expected to sit.
    double baseline = rect.top + (rect.height() + fontExtents.ascent - fontExtents.descent) / 2;
    applyColor(fontColor);
    cairo_move_to(cairo, std::floor(x), std::floor(baseline));
    cairo_show_text(cairo, string);
    cairo_restore(cairo);
}

void CDrawContext::setClipRect(const CRect& rect) {
    cairo_reset_clip(cairo);
    cairo_rectangle(cairo, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cairo);
}

void CDrawContext::resetClipRect() {
    cairo_reset_clip(cairo);
}

namespace {
cairo_surface_t* createImage(long width, long height, const CColor& background) {
    cairo_surface_t* image = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(std::max(1L, width)), static_cast<int>(std::max(1L, height)));
    cairo_t* cr = cairo_create(image);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, background.red / 255.0, background.green / 255.0, background.blue / 255.0,
                          background.alpha / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return image;
}

double frameScale(const CFrame* frame) {
    return frame ? frame->getScaleFactor() : 1.0;
}
} // namespace

COffscreenContext::COffscreenContext(CFrame* frame, long imageWidth, long imageHeight,
                                     const CColor backgroundColor)
    : CDrawContext(createImage(scaledLength(imageWidth, frameScale(frame)),
                               scaledLength(imageHeight, frameScale(frame)), backgroundColor),
                   true, frameScale(frame)),
      width(imageWidth), height(imageHeight) {}

void COffscreenContext::copyFrom(CDrawContext* destination, CRect destinationRect, CPoint sourceOffset) {
    if (!destination) return;
    cairo_surface_flush(surface);
    cairo_t* cr = destination->getCairo();
    cairo_save(cr);
    if (scaleFactor == 1.0) {
        cairo_rectangle(cr, destinationRect.left, destinationRect.top, destinationRect.width(),
                        destinationRect.height());
        cairo_clip(cr);
        cairo_set_source_surface(cr, surface, destinationRect.left - sourceOffset.h,
                                 destinationRect.top - sourceOffset.v);
    } else {
        // Device pixel for device pixel, placed on whole pixels of the destination.
        const CRect area = destination->snapToDevicePixels(destinationRect);
        double left = area.left, top = area.top;
        cairo_user_to_device(cr, &left, &top);
        left = std::round(left);
        top = std::round(top);
        cairo_identity_matrix(cr);
        cairo_rectangle(cr, left, top, std::round(area.width() * scaleFactor),
                        std::round(area.height() * scaleFactor));
        cairo_clip(cr);
        cairo_set_source_surface(cr, surface, left - std::round(sourceOffset.h * scaleFactor),
                                 top - std::round(sourceOffset.v * scaleFactor));
    }
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}
