// Coordinates, rectangles and colours of the widget layer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

typedef double CCoord;

struct CPoint {
    CCoord h = 0; // x
    CCoord v = 0; // y

    CPoint() = default;
    CPoint(CCoord x, CCoord y) : h(x), v(y) {}
    CPoint& offset(CCoord dx, CCoord dy) {
        h += dx;
        v += dy;
        return *this;
    }
    bool operator==(const CPoint& o) const { return h == o.h && v == o.v; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
    CPoint operator-(const CPoint& o) const { return CPoint(h - o.h, v - o.v); }
};

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    CRect() = default;
    CRect(CCoord x1, CCoord y1, CCoord x2, CCoord y2) : left(x1), top(y1), right(x2), bottom(y2) {}
    CRect(const CPoint& origin, const CPoint& size)
        : left(origin.h), top(origin.v), right(origin.h + size.h), bottom(origin.v + size.v) {}

    CCoord width() const { return right - left; }
    CCoord height() const { return bottom - top; }
    CCoord getWidth() const { return width(); }
    CCoord getHeight() const { return height(); }
    CPoint getTopLeft() const { return CPoint(left, top); }
    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    bool pointInside(const CPoint& p) const {
        return p.h >= left && p.h < right && p.v >= top && p.v < bottom;
    }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool rectOverlap(const CRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    CRect& bound(const CRect& o) {
        left = std::max(left, o.left);
        top = std::max(top, o.top);
        right = std::max(left, std::min(right, o.right));
        bottom = std::max(top, std::min(bottom, o.bottom));
        return *this;
    }
    CRect& unite(const CRect& o) {
        if (o.isEmpty()) return *this;
        if (isEmpty()) return *this = o;
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

// A logical length in whole device pixels at a scale factor: the window's and the editor's sizes.
inline int scaledLength(CCoord length, double scale) {
    return static_cast<int>(std::lround(length * scale));
}

// The device pixels a logical rectangle touches at a scale factor, in device coordinates.
inline CRect deviceRectOutward(const CRect& rect, double scale) {
    return CRect(std::floor(rect.left * scale), std::floor(rect.top * scale), std::ceil(rect.right * scale),
                 std::ceil(rect.bottom * scale));
}

// Components 0..255; alpha 255 is opaque.
struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    bool operator!=(const CColor& o) const { return !(*this == o); }
};

constexpr CColor kTransparentCColor = {255, 255, 255, 0};
constexpr CColor kBlackCColor = {0, 0, 0, 255};
constexpr CColor kWhiteCColor = {255, 255, 255, 255};
constexpr CColor kGreyCColor = {127, 127, 127, 255};
constexpr CColor kRedCColor = {255, 0, 0, 255};
