// Drawing on a cairo surface: lines, rectangles, ellipses, text and bitmaps in VSTGUI's terms.
#pragma once

#include "gui/cfont.h"
#include "gui/cgeometry.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class CBitmap;
class CFrame;

enum CDrawMode { kCopyMode = 0, kOrMode = 1, kXorMode = 2, kAntialias = 3 };
enum CDrawStyle { kDrawStroked = 0, kDrawFilled = 1, kDrawFilledAndStroked = 2 };

class CDrawContext {
  public:
    // Draws on the surface; a view coordinate is scale pixels of that surface (1: one pixel).
    explicit CDrawContext(cairo_surface_t* target, bool ownsTarget = false, double scale = 1.0);
    virtual ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void drawLine(const CPoint& start, const CPoint& end);
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect) { drawRect(rect, kDrawFilled); }
    void drawEllipse(const CRect& rect, CDrawStyle style = kDrawStroked);
    void drawString(const char* string, const CRect& rect, short opaque = false,
                    CHoriTxtAlign hAlign = kCenterText);
    CCoord getStringWidth(const char* string);

    void setFrameColor(const CColor& color) { frameColor = color; }
    void setFillColor(const CColor& color) { fillColor = color; }
    void setFontColor(const CColor& color) { fontColor = color; }
    void setLineWidth(CCoord width) { lineWidth = width; }
    void setDrawMode(CDrawMode mode) { drawMode = mode; }
    // size 0 keeps the font's own size, style -1 its own style.
    void setFont(CFontRef font, CCoord size = 0, int style = -1);

    void setClipRect(const CRect& rect);
    void resetClipRect();

    // Device pixels per view coordinate; bitmaps draw from their finer artwork above 1.
    double getScaleFactor() const { return scaleFactor; }
    // The rectangle with its edges moved to the nearest device pixel edges, in view coordinates.
    CRect snapToDevicePixels(const CRect& rect) const;

    cairo_t* getCairo() const { return cairo; }
    cairo_surface_t* getSurface() const { return surface; }

  protected:
    void applyColor(const CColor& color);
    void applyFont();
    // Strokes of odd width are centred on pixel centres so that they cover whole pixels.
    double pixelAlign() const;

    cairo_surface_t* surface;
    bool ownsSurface;
    cairo_t* cairo;
    double scaleFactor;
    CPoint penPosition;
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kWhiteCColor;
    CCoord lineWidth = 1;
    CDrawMode drawMode = kCopyMode;
    CFontRef font;
    CCoord fontSize;
    int fontStyle;
};

// An image of its own to draw into, copied onto another context in one go. It has the frame's device
// resolution, so that what is drawn into it stays as sharp as what is drawn on the frame.
class COffscreenContext : public CDrawContext {
  public:
    COffscreenContext(CFrame* frame, long imageWidth, long imageHeight,
                      const CColor backgroundColor = kBlackCColor);

    void copyFrom(CDrawContext* destination, CRect destinationRect, CPoint sourceOffset = CPoint(0, 0));
    long getWidth() const { return width; }
    long getHeight() const { return height; }

  private:
    long width;
    long height;
};
