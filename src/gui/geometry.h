#pragma once
// Value types of the drawing layer: integer rectangles and points, 8-bit RGBA
// colours with their named constants, and the small enumerations that select fonts,
// faces, line styles, draw modes, fill styles and text alignment. Pixels, origin at
// the top left, y growing downward; a rectangle's right and bottom are exclusive.

#include <cstdint>

typedef int32_t CCoord;

struct CPoint;

struct CRect {
  CRect() : left(0), top(0), right(0), bottom(0) {}
  CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
      : left(left), top(top), right(right), bottom(bottom) {}

  // Assigns and normalises: left/top get the smaller, right/bottom the larger value.
  CRect& operator()(CCoord l, CCoord t, CCoord r, CCoord b);

  CCoord width() const { return right - left; }
  CCoord height() const { return bottom - top; }
  CCoord getWidth() const { return width(); }
  CCoord getHeight() const { return height(); }
  void setWidth(CCoord w) { right = left + w; }
  void setHeight(CCoord h) { bottom = top + h; }

  CRect& offset(CCoord dx, CCoord dy);
  // Moves every edge inward by dx horizontally and dy vertically.
  CRect& inset(CCoord dx, CCoord dy);
  // Moves the rectangle so that its top-left corner is (destX, destY); keeps its size.
  CRect& moveTo(CCoord destX, CCoord destY);
  // Intersects in place; a disjoint pair gives an empty rectangle, never an inverted one.
  CRect& bound(const CRect& r);

  // Half-open: the right and bottom edges are outside.
  bool pointInside(const CPoint& where) const;
  bool isEmpty() const { return right <= left || bottom <= top; }
  // Closed: rectangles that only touch along an edge overlap.
  bool rectOverlap(const CRect& r) const;

  bool operator==(const CRect& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }
  bool operator!=(const CRect& r) const { return !(*this == r); }

  union {
    CCoord left;
    CCoord x;
  };
  union {
    CCoord top;
    CCoord y;
  };
  union {
    CCoord right;
    CCoord x2;
  };
  union {
    CCoord bottom;
    CCoord y2;
  };
};

struct CPoint {
  CPoint() : h(0), v(0) {}
  CPoint(CCoord x, CCoord y) : h(x), v(y) {}

  CPoint& operator()(CCoord x, CCoord y) {
    h = x;
    v = y;
    return *this;
  }
  CPoint& offset(CCoord dx, CCoord dy) {
    h += dx;
    v += dy;
    return *this;
  }
  // Closed on all four sides, unlike CRect::pointInside.
  bool isInside(const CRect& r) const;

  bool operator==(const CPoint& p) const { return h == p.h && v == p.v; }
  bool operator!=(const CPoint& p) const { return !(*this == p); }

  union {
    CCoord h;
    CCoord x;
  };
  union {
    CCoord v;
    CCoord y;
  };
};

// An aggregate, so that colours can be written as {red, green, blue, alpha}.
struct CColor {
  CColor& operator()(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
    red = r;
    green = g;
    blue = b;
    alpha = a;
    return *this;
  }
  // The complementary colour; alpha is kept.
  CColor operator~() const {
    return {static_cast<unsigned char>(255 - red), static_cast<unsigned char>(255 - green),
            static_cast<unsigned char>(255 - blue), alpha};
  }
  bool operator==(const CColor& c) const {
    return red == c.red && green == c.green && blue == c.blue && alpha == c.alpha;
  }
  bool operator!=(const CColor& c) const { return !(*this == c); }

  unsigned char red = 0;
  unsigned char green = 0;
  unsigned char blue = 0;
  unsigned char alpha = 0;  // 255 opaque, 0 fully transparent
};

inline constexpr CColor kTransparentCColor = {255, 255, 255, 0};
inline constexpr CColor kBlackCColor = {0, 0, 0, 255};
inline constexpr CColor kWhiteCColor = {255, 255, 255, 255};
inline constexpr CColor kGreyCColor = {127, 127, 127, 255};
inline constexpr CColor kRedCColor = {255, 0, 0, 255};
inline constexpr CColor kGreenCColor = {0, 255, 0, 255};
inline constexpr CColor kBlueCColor = {0, 0, 255, 255};
inline constexpr CColor kYellowCColor = {255, 255, 0, 255};
inline constexpr CColor kCyanCColor = {0, 255, 255, 255};
inline constexpr CColor kMagentaCColor = {255, 0, 255, 255};

enum CFont {
  kSystemFont = 0,
  kNormalFontVeryBig,
  kNormalFontBig,
  kNormalFont,
  kNormalFontSmall,
  kNormalFontSmaller,
  kNormalFontVerySmall,
  kSymbolFont,
  kNumStandardFonts
};

// Bit flags, combined with OR.
enum CTxtFace {
  kNormalFace = 0,
  kBoldFace = 1,
  kItalicFace = 2,
  kUnderlineFace = 4,
  kCompactFace = 8,
  kExpandFace = 16
};

enum CLineStyle { kLineSolid = 0, kLineOnOffDash };

// Only kAntialias changes anything: it switches anti-aliasing on.
enum CDrawMode { kCopyMode = 0, kOrMode, kXorMode, kAntialias };

enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// The button-state word passed with mouse events; -1 means "ask the draw context".
enum CButton {
  kButtonLeft = 1,
  kButtonMiddle = 2,
  kButtonRight = 4,
  kButtonShift = 8,
  kButtonCommand = 16,
  kButtonAlt = 32,
  kButtonControl = 64
};

// Degrees to radians; every angle given to a draw context goes through it.
double radians(double degrees);
