// An image loaded by resource ID from the artwork embedded in the module. Its size is in view coordinates;
// on a context that scales above 1 it draws from the resource's twice as fine artwork when there is one.
#pragma once

#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"

typedef struct _cairo_surface cairo_surface_t;
class CDrawContext;

class CBitmap : public CBaseObject {
  public:
    // Loads resources/bmpNNNNN.png; an unknown or broken resource gives an empty bitmap (isLoaded false).
    explicit CBitmap(long resource);
    // Takes a reference to an existing image surface.
    explicit CBitmap(cairo_surface_t* image);
    ~CBitmap() override;

    // Draws the part of the image that starts at offset into rect.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                        unsigned char alpha = 128);

    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    bool isLoaded() const { return image != nullptr; }
    long getResourceID() const { return resourceID; }
    cairo_surface_t* getSurface() const { return image; }

  private:
    // The finer artwork, decoded on first use; null when the resource has none.
    cairo_surface_t* fineImage();

    long resourceID = -1;
    cairo_surface_t* image = nullptr;
    cairo_surface_t* fine = nullptr;
    bool fineLooked = false;
    CCoord width = 0;
    CCoord height = 0;
};
