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
cairo_surface_t* decodeResource(long resourceID) {
    size_t size = 0;
    const unsigned char* bytes = findResource(static_cast<int>(resourceID), &size);
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
cairo_surface_t* sharedResourceImage(long resourceID) {
    static std::mutex mutex;
    static std::map<long, cairo_surface_t*>* decodedImages = new std::map<long, cairo_surface_t*>();
    std::lock_guard<std::mutex> lock(mutex);
    auto found = decodedImages->find(resourceID);
    if (found == decodedImages->end())
        found = decodedImages->emplace(resourceID, decodeResource(resourceID)).first;
    return found->second ? cairo_surface_reference(found->second) : nullptr;
}
} // namespace

CBitmap::CBitmap(long resource) : resourceID(resource) {
    image = sharedResourceImage(resource);
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
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    drawAlphaBlend(context, rect, offset, 255);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset,
                             unsigned char alpha) {
    if (!image || !context || rect.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, image, rect.left - offset.h, rect.top - offset.v);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha == 255)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha / 255.0);
    cairo_restore(cr);
}
