#include <cairo-ft.h>
#include <cairo.h>
#include <doctest/doctest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "drawcontext.h"
#include "offscreencontext.h"
#include "pixels.h"

namespace {

constexpr CColor kWhite = kWhiteCColor;
constexpr CColor kBlack = kBlackCColor;
constexpr CColor kRed = kRedCColor;

// A white canvas that tests draw on and read back, with black pens.
struct Sheet : Canvas {
  Sheet(long width, long height) : Canvas(width, height) {
    context->setFillColor(kBlackCColor);
    context->setFrameColor(kBlackCColor);
    context->setFontColor(kBlackCColor);
  }
};

// The family that fontconfig resolved the context's current font to.
std::string resolvedFamily(cairo_t* cr) {
  cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
  FT_Face face = cairo_ft_scaled_font_lock_face(font);
  std::string family = face && face->family_name ? face->family_name : "";
  cairo_ft_scaled_font_unlock_face(font);
  return family;
}

}  // namespace

TEST_CASE("fillRect covers exactly its pixels, offset added") {
  for (CDrawMode mode : {kCopyMode, kAntialias}) {
    Sheet c(20, 20);
    c->setDrawMode(mode);
    c->setFillColor(kRedCColor);
    c->offset(2, 1);
    c->fillRect(CRect(3, 4, 7, 9));
    CHECK(inkBounds(c, kWhite) == CRect(5, 5, 9, 10));
    CHECK(countPixels(c, kRed) == 4 * 5);
  }
}

TEST_CASE("a filled drawRect covers its path: one row down, one column less") {
  Sheet c(20, 20);
  c->setFillColor(kRedCColor);
  c->drawRect(CRect(2, 2, 10, 10), kDrawFilled);
  CHECK(inkBounds(c, kWhite) == CRect(2, 3, 9, 10));
  CHECK(countPixels(c, kRed) == 7 * 7);
}

TEST_CASE("drawArc is a pie slice from 3 o'clock, clockwise on screen") {
  Sheet c(40, 40);
  c->drawArc(CRect(0, 0, 40, 40), 0, 90, kDrawFilled);  // bottom-right quarter
  CHECK(inkBounds(c, kWhite) == CRect(20, 20, 40, 40));
  CHECK(c.pixel(21, 21) == kBlack);
  CHECK(c.pixel(33, 33) == kBlack);
  CHECK(c.pixel(37, 37) == kWhite);  // outside the circle
  CHECK(countPixels(c, kBlack) == doctest::Approx(M_PI * 400 / 4).epsilon(0.05));

  // Angles run through 360: 315 to 45 is the slice around 3 o'clock.
  Sheet wrap(40, 40);
  wrap->drawArc(CRect(0, 0, 40, 40), 315, 45, kDrawFilled);
  CHECK(wrap.pixel(35, 20) == kBlack);
  CHECK(wrap.pixel(5, 20) == kWhite);
  CHECK(wrap.pixel(20, 5) == kWhite);
  CHECK(wrap.pixel(20, 35) == kWhite);
}

TEST_CASE("an ellipse is inscribed in its rectangle") {
  Sheet c(40, 40);
  c->setDrawMode(kAntialias);
  c->fillEllipse(CRect(5, 8, 35, 28));
  // Anti-aliased edges touch every side but never leave the rectangle.
  CHECK(inkBounds(c, kWhite) == CRect(5, 8, 35, 28));
  CHECK(c.pixel(20, 18) == kBlack);
  CHECK(c.pixel(6, 9) == kWhite);  // corners stay empty
}

TEST_CASE("drawEllipse strokes solid whatever the line style, drawRect dashes") {
  // Samples the pixels under the ellipse inscribed in r, every 3 degrees.
  auto gapsAlongEllipse = [](Sheet& c, const CRect& r) {
    double rx = r.width() / 2.0, ry = r.height() / 2.0;
    int gaps = 0;
    for (int degrees = 0; degrees < 360; degrees += 3) {
      double a = radians(degrees);
      gaps += c.pixel(int(std::floor(r.left + rx + rx * std::cos(a))),
                      int(std::floor(r.top + ry + ry * std::sin(a)))) == kWhite;
    }
    return gaps;
  };
  for (CRect r : {CRect(2, 2, 42, 42), CRect(2, 7, 42, 37)}) {
    Sheet c(44, 44);
    c->setLineWidth(3);
    c->setLineStyle(kLineOnOffDash);
    c->drawEllipse(r, kDrawStroked);
    CHECK(gapsAlongEllipse(c, r) == 0);
  }
  Sheet dashed(40, 40);
  dashed->setLineWidth(2);
  dashed->setLineStyle(kLineOnOffDash);
  dashed->drawRect(CRect(0, 4, 40, 30), kDrawStroked);
  int onTopEdge = 0;
  for (int x = 0; x < 39; x++) onTopEdge += dashed.pixel(x, 5) == kBlack;
  CHECK(onTopEdge > 10);
  CHECK(onTopEdge < 30);
}

TEST_CASE("drawString: left starts one pixel in, right ends flush, baseline below the middle") {
  const char* text = "Hello";
  const CRect r(20, 5, 180, 35);
  for (CHoriTxtAlign align : {kLeftText, kCenterText, kRightText}) {
    Sheet c(200, 40);
    c->setFont(kNormalFont, 20);
    long sw = c->getStringWidth(text);
    cairo_text_extents_t ink;
    cairo_text_extents(c->getCGContext(), text, &ink);
    REQUIRE(sw == long(ink.x_advance));
    long x = align == kLeftText    ? r.left + 1
             : align == kRightText ? r.right - sw
                                   : r.left + r.width() / 2 - sw / 2;
    c->drawString(text, r, 0, align);
    CRect drawn = inkBounds(c, kWhite);
    CAPTURE(align);
    CHECK(drawn.left == x + long(std::floor(ink.x_bearing)));
    CHECK(drawn.right == x + long(std::ceil(ink.x_bearing + ink.width)));
    // Baseline r.bottom + 20/2 - 30/2 - 1 = 29: capitals end on the row above it.
    CHECK(drawn.bottom == 29);
  }
  Sheet right(200, 40);
  right->setFont(kNormalFont, 20);
  right->drawString("l", r, 0, kRightText);
  CHECK(inkBounds(right, kWhite).right == r.right);  // 'l' has no right bearing here

  Sheet empty(200, 40);
  empty->setFont(kNormalFont, 20, kUnderlineFace);
  empty->drawString("", r, 0, kLeftText);
  empty->drawString(nullptr, r, 0, kLeftText);
  CHECK(inkBounds(empty, kWhite).isEmpty());
}

TEST_CASE("text faces: underline below the baseline, compact and expand spacing") {
  Sheet c(200, 40);
  c->setFont(kNormalFont, 20);
  long normal = c->getStringWidth("abcd");
  c->setFont(kNormalFont, 20, kCompactFace);
  CHECK(c->getStringWidth("abcd") == long(normal - 4 * 1.25));
  c->setFont(kNormalFont, 20, kExpandFace | kCompactFace);  // expand wins
  CHECK(c->getStringWidth("abcd") == long(normal + 4 * 1.25));

  c->setFont(kNormalFont, 20, kUnderlineFace);
  c->drawString("xxxx", CRect(0, 0, 200, 40), 0, kLeftText);
  // Baseline 40 + 10 - 20 - 1 = 29; the underline runs under the whole text.
  CRect drawn = inkBounds(c, kWhite);
  CHECK(drawn.bottom > 29);
  CHECK(c.pixel(drawn.left + 1, drawn.bottom - 1) == kBlack);
  CHECK(c.pixel(drawn.right - 2, drawn.bottom - 1) == kBlack);
}

TEST_CASE("setFont: the font table, fallbacks and faces") {
  Sheet c(10, 10);
  cairo_t* cr = c->getCGContext();
  auto family = [cr] {
    return std::string(cairo_toy_font_face_get_family(cairo_get_font_face(cr)));
  };
  auto size = [cr] {
    cairo_matrix_t m;
    cairo_get_font_matrix(cr, &m);
    return m.xx;
  };
  // A fresh context writes 12-point Helvetica, resolved to an installed face.
  CHECK(family() == "Helvetica");
  CHECK(size() == 12);
  CHECK(resolvedFamily(cr) == "Nimbus Sans");

  c->setFont(kSymbolFont);
  CHECK(family() == "Symbol");
  CHECK(size() == 12);
  CHECK(resolvedFamily(cr) == "Standard Symbols PS");

  c->setFont(static_cast<CFont>(9));
  CHECK(c->getFont() == kSystemFont);
  CHECK(c->getFontSize() == 12);
  CHECK(family() == "Helvetica");

  c->setFont(kNormalFontVeryBig, 0, kBoldFace | kItalicFace | kUnderlineFace);
  CHECK(size() == 18);
  CHECK(cairo_toy_font_face_get_weight(cairo_get_font_face(cr)) == CAIRO_FONT_WEIGHT_BOLD);
  CHECK(cairo_toy_font_face_get_slant(cairo_get_font_face(cr)) == CAIRO_FONT_SLANT_ITALIC);
}

TEST_CASE("setters skip unchanged values, and a new offscreen carries the cached state") {
  Sheet c(10, 10);
  cairo_t* cr = c->getCGContext();
  // The surface got the cache's pen and mode, not Cairo's own defaults (2, antialiased).
  CHECK(cairo_get_line_width(cr) == 1);
  CHECK(cairo_get_antialias(cr) == CAIRO_ANTIALIAS_NONE);

  // Change the surface behind the context's back: an unchanged value must not touch it.
  cairo_set_line_width(cr, 7);
  c->setLineWidth(1);
  CHECK(cairo_get_line_width(cr) == 7);
  c->setLineWidth(2);
  CHECK(cairo_get_line_width(cr) == 2);

  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);  // the same mode leaves it alone
  for (auto [mode, expected] : {std::pair{kCopyMode, CAIRO_ANTIALIAS_GRAY},
                                {kAntialias, CAIRO_ANTIALIAS_DEFAULT},
                                {kXorMode, CAIRO_ANTIALIAS_NONE}}) {
    c->setDrawMode(mode);
    CHECK(cairo_get_antialias(cr) == expected);
  }

  // Same font: skipped; another id: applied; same id at the default size 12: skipped.
  for (auto [font, size, expected] :
       {std::tuple{kSystemFont, 0, 50.0}, {kNormalFont, 12, 12.0}, {kNormalFont, 0, 50.0}}) {
    cairo_set_font_size(cr, 50);
    c->setFont(font, size, 0);
    cairo_matrix_t m;
    cairo_get_font_matrix(cr, &m);
    CHECK(m.xx == expected);
  }
}

TEST_CASE("primitives leave the state as it was") {
  Sheet c(20, 20);
  c->setLineWidth(3);
  c->setFrameColor(kBlueCColor);
  c->drawPoint(CPoint(4, 6), kRedCColor);
  CHECK((c.pixel(4, 6) == kRed && countPixels(c, kRed) == 1));
  CHECK((c->getLineWidth() == 3 && c->getFrameColor() == kBlueCColor));
  CPoint pen;
  c->getLoc(pen);
  CHECK(pen == CPoint(5, 6));

  c->setLineStyle(kLineOnOffDash);
  c->moveTo(CPoint(0, 10));
  c->lineTo(CPoint(19, 10));
  cairo_t* cr = c->getCGContext();
  CHECK(cairo_get_dash_count(cr) == 0);  // the dash pattern lived inside the primitive
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  CHECK((m.x0 == 0 && m.xx == 1));

  CHECK(c->getPoint(CPoint(4, 6)) == kBlackCColor);  // the surface is not read
}

TEST_CASE("the clip rectangle is stored with the offset and clips every primitive") {
  Sheet c(20, 20);
  c->offset(5, 5);
  c->setClipRect(CRect(0, 0, 4, 4));
  CRect clip;
  CHECK(c->getClipRect(clip) == CRect(0, 0, 4, 4));
  c->offset(0, 0);
  CHECK(c->getClipRect(clip) == CRect(5, 5, 9, 9));
  c->setFillColor(kRedCColor);
  c->fillRect(CRect(0, 0, 20, 20));
  CHECK(inkBounds(c, kWhite) == CRect(5, 5, 9, 9));

  c->resetClipRect();  // no frame: (0, 0, 1000, 1000)
  CHECK(c->getClipRect(clip) == CRect(0, 0, 1000, 1000));
}

TEST_CASE("a context without surface keeps its cache and draws nothing") {
  CDrawContext* context = new CDrawContext(nullptr, nullptr, nullptr);
  CHECK(context->getCGContext() == nullptr);
  context->offset(3, 4);
  CRect clip;
  CHECK(context->getClipRect(clip) == CRect(-3, -4, 997, 996));
  CHECK(context->getStringWidth("text") == 0);
  context->drawString("text", CRect(0, 0, 10, 10), 0, kCenterText);
  context->fillEllipse(CRect(0, 0, 10, 10));
  context->drawArc(CRect(0, 0, 10, 10), 0, 90, kDrawFilled);
  context->moveTo(CPoint(1, 1));
  context->lineTo(CPoint(2, 2));
  CPoint pen;
  context->getLoc(pen);
  CHECK(pen == CPoint(5, 6));
  CHECK((context->getMouseButtons() == 0 && !context->waitDrag()));
  context->forget();
}

TEST_CASE("a caller's Cairo context is drawn into and handed back as it was") {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(surface);
  int before = gNbCDrawContext;
  CDrawContext* context = new CDrawContext(nullptr, cr, nullptr);
  CHECK(gNbCDrawContext == before + 1);
  context->setFillColor(kRedCColor);
  context->fillRect(CRect(1, 1, 3, 3));
  context->forget();
  CHECK((gNbCDrawContext == before && cairo_get_reference_count(cr) == 1));
  CHECK(cairo_get_line_width(cr) == 2);  // Cairo's default again: state restored
  cairo_surface_flush(surface);
  const uint32_t* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
  const int row = cairo_image_surface_get_stride(surface) / 4;
  CHECK((pixels[row + 1] == 0xffff0000u && pixels[2 * row + 2] == 0xffff0000u &&
         pixels[3 * row + 3] == 0));
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
