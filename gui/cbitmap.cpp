#include "gui/cbitmap.h"

#include "gui/cdrawcontext.h"
#include "gui/resources.h"

#include <cairo.h>
#include <cstring>
#include <map>
#include <mutex>

namespace {
struct PngReader {
    const unsigned char* bytes;
    size_t size;
    size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    PngReader* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->position < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}
cairo_surface_t* decodeResource(long resourceID, int scale) {
    size_t size = 0;
    const unsigned char* bytes = findResource(static_cast<int>(resourceID), &size, scale);
    if (!bytes) return nullptr;
    PngReader reader{bytes, size, 0};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(decoded);
        return nullptr;
    }
    return decoded;
}

// Every instance shows the same artwork: each resource is decoded once per process and shared (the images
// are only ever read), so creating an effect stays cheap for hosts that scan or open many instances.
cairo_surface_t* sharedResourceImage(long resourceID, int scale) {
    static std::mutex mutex;
    static auto* decodedImages = new std::map<std::pair<long, int>, cairo_surface_t*>();
    std::lock_guard<std::mutex> lock(mutex);
    const std::pair<long, int> key(resourceID, scale);
    auto found = decodedImages->find(key);
    if (found == decodedImages->end())
        found = decodedImages->emplace(key, decodeResource(resourceID, scale)).first;
    return found->second ? cairo_surface_reference(found->second) : nullptr;
}

constexpr int kFineScale = 2;
} // namespace

CBitmap::CBitmap(long resource) : resourceID(resource) {
    image = sharedResourceImage(resource, 1);
    if (!image) return;
    width = cairo_image_surface_get_width(image);
    height = cairo_image_surface_get_height(image);
}

CBitmap::CBitmap(cairo_surface_t* surface) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return;
    image = cairo_surface_reference(surface);
    width = cairo_image_surface_get_width(image);
    height = cairo_image_surface_get_height(image);
}

CBitmap::~CBitmap() {
    if (image) cairo_surface_destroy(image);
    if (fine) cairo_surface_destroy(fine);
}

cairo_surface_t* CBitmap::fineImage() {
    if (!fineLooked && resourceID >= 0) fine = sharedResourceImage(resourceID, kFineScale);
    fineLooked = true;
    return fine;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    drawAlphaBlend(context, rect, offset, 255);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset,
                             unsigned char alpha) {
    if (!image || !context || rect.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    if (context->getScaleFactor() == 1.0) {
        cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
        cairo_clip(cr);
        cairo_set_source_surface(cr, image, rect.left - offset.h, rect.top - offset.v);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    } else {
        // Clipped on whole device pixels, so that neighbouring views meet without a seam.
        const CRect clip = context->snapToDevicePixels(rect);
        cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
        cairo_clip(cr);
        cairo_translate(cr, rect.left - offset.h, rect.top - offset.v);
        cairo_surface_t* source = fineImage();
        if (source)
            cairo_scale(cr, 1.0 / kFineScale, 1.0 / kFineScale);
        else
            source = image;
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    }
    if (alpha == 255)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha / 255.0);
    cairo_restore(cr);
}
