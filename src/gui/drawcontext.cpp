#include "drawcontext.h"

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "frame.h"

std::atomic<int32_t> gNbCDrawContext{0};

const char* gMacXfontNames[kNumStandardFonts] = {"Helvetica", "Helvetica", "Helvetica", "Helvetica",
                                                 "Helvetica", "Helvetica", "Helvetica", "Symbol"};
const long gStandardFontSize[kNumStandardFonts] = {12, 18, 14, 12, 10, 9, 9, 12};

namespace {

// The double-click interval of the Linux desktop.
constexpr long kDoubleClickTimeMs = 250;

// Characters of compact and expand faces are moved closer or further apart by this
// many pixels each.
constexpr double kCharacterSpacing = 1.25;

// Unicode code points of the Mac Roman bytes 0x80..0xFF: texts that are not valid
// UTF-8 are read as Mac Roman, the encoding these texts were first written in.
const uint16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

bool isValidUtf8(const unsigned char* s) {
  while (*s) {
    int follow = *s < 0x80           ? 0
                 : (*s >> 5) == 0x6  ? 1
                 : (*s >> 4) == 0xE  ? 2
                 : (*s >> 3) == 0x1E ? 3
                                     : -1;
    if (follow < 0) return false;
    for (s++; follow > 0; follow--, s++)
      if ((*s & 0xC0) != 0x80) return false;
  }
  return true;
}

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Cairo takes UTF-8 only, and invalid UTF-8 would put the context into a lasting error
// state; other byte strings are taken as Mac Roman.
std::string toUtf8(const char* text) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  if (isValidUtf8(bytes)) return text;
  std::string out;
  for (; *bytes; bytes++) appendUtf8(out, *bytes < 0x80 ? *bytes : kMacRoman[*bytes - 0x80]);
  return out;
}

// Text is always anti-aliased in grey (never sub-pixel colour fringes), with the
// same options for measuring and drawing so that both use one scaled font.
void setTextOptions(cairo_t* cr) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// Glyphs of text laid out from (x, y), each character `spacing` pixels further than
// the font places it from the one before; returns the pen position after the text.
double layoutText(cairo_t* cr, const std::string& text, double x, double y, double spacing,
                  std::vector<cairo_glyph_t>& glyphs) {
  glyphs.clear();
  cairo_glyph_t* list = nullptr;
  int count = 0;
  if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr), x, y, text.data(),
                                       static_cast<int>(text.size()), &list, &count, nullptr,
                                       nullptr, nullptr) != CAIRO_STATUS_SUCCESS)
    return x;
  glyphs.assign(list, list + count);
  cairo_glyph_free(list);
  for (int i = 0; i < count; i++) glyphs[i].x += i * spacing;
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return x + extents.x_advance + count * spacing;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and lifetime

CDrawContext::CDrawContext(CFrame* inFrame, void* inSystemContext, void* inWindow)
    : pSystemContext(inSystemContext),
      pWindow(inWindow),
      pFrame(inFrame),
      // Cache values that no setter call of the constructor can equal, so that
      // every one of them is applied.
      fontSize(-1),
      fontStyle(0),
      fontId(kNumStandardFonts),
      frameWidth(0),
      lineStyle(kLineOnOffDash),
      drawMode(kAntialias),
      clipRect(0, 0, 1000, 1000),
      gCGContext(nullptr),
      needToSynchronizeCGContext(false),
      ownsSurface(false) {
  gNbCDrawContext++;
  if (pFrame) pFrame->getViewSize(clipRect);
  if (pFrame && (pSystemContext || pWindow)) {
    // The frame is its own child window: the drawing area starts at the window's
    // origin, so offsetScreen stays (0, 0).
    CRect size;
    pFrame->getViewSize(size);
    const CPoint& scroll = pFrame->getScrollOffset();
    clipRect(0, 0, size.width(), size.height()).offset(scroll.x, scroll.y);
  }
  if (pSystemContext)
    attachSystemContext();
  else if (pWindow && pFrame)
    attachFrameSurface();

  needToSynchronizeCGContext = false;
  setFrameColor(kWhiteCColor);
  setLineStyle(kLineSolid);
  setLineWidth(1);
  setFillColor(kBlackCColor);
  setFontColor(kWhiteCColor);
  setFont(kSystemFont, 0, 0);
  setDrawMode(kCopyMode);
}

void CDrawContext::attachSystemContext() {
  cairo_t* cr = static_cast<cairo_t*>(pSystemContext);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return;
  gCGContext = cairo_reference(cr);
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_save(cr);
  if (pFrame) pFrame->setDrawContext(this);
}

void CDrawContext::attachFrameSurface() {
  cairo_surface_t* surface = pFrame->getBackBuffer();
  if (!surface) return;
  cairo_t* cr = cairo_create(surface);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    return;
  }
  gCGContext = cr;
  ownsSurface = true;
  const CPoint& scroll = pFrame->getScrollOffset();
  cairo_save(cr);
  cairo_translate(cr, offsetScreen.x - scroll.x, offsetScreen.y - scroll.y);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_rectangle(cr, clipRect.left, clipRect.top, clipRect.width(), clipRect.height());
  cairo_clip(cr);
  cairo_save(cr);
  setClipRect(clipRect);
  pFrame->setDrawContext(this);
}

CDrawContext::~CDrawContext() {
  gNbCDrawContext--;
  if (!gCGContext) return;
  cairo_restore(gCGContext);
  cairo_restore(gCGContext);
  synchronizeCGContext();
  // Drops the reference taken on a caller's context, or closes our own.
  cairo_destroy(gCGContext);
  gCGContext = nullptr;
  if (pFrame) pFrame->setDrawContext(nullptr);
}

void CDrawContext::forget() {
  synchronizeCGContext();
  CReferenceCounter::forget();
}

cairo_surface_t* CDrawContext::getCGImage() const {
  return nullptr;
}

cairo_surface_t* CDrawContext::getBitmap() {
  return pFrame && pWindow ? pFrame->getBackBuffer() : nullptr;
}

void CDrawContext::releaseBitmap() {}

void* CDrawContext::getPort() {
  return pWindow;
}

void CDrawContext::applyCachedState() {
  if (!gCGContext) return;
  cairo_set_line_width(gCGContext, frameWidth > 0 ? frameWidth : 0);
  cairo_set_antialias(gCGContext,
                      drawMode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  if (fontId >= 0 && fontId < kNumStandardFonts) selectFontFace();
}

// ---------------------------------------------------------------------------
// State. Cairo has one source for fill and stroke, so colours are put on the
// surface by each primitive; line width, anti-aliasing and font are applied at once.

void CDrawContext::setLineStyle(CLineStyle style) {
  lineStyle = style;
}

void CDrawContext::setLineWidth(long width) {
  if (width == frameWidth) return;
  frameWidth = width;
  if (gCGContext) cairo_set_line_width(gCGContext, width > 0 ? width : 0);
}

void CDrawContext::setDrawMode(CDrawMode mode) {
  if (mode == drawMode) return;
  drawMode = mode;
  if (gCGContext)
    cairo_set_antialias(gCGContext,
                        mode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void CDrawContext::setFrameColor(const CColor color) {
  frameColor = color;
}
void CDrawContext::setFillColor(const CColor color) {
  fillColor = color;
}
void CDrawContext::setFontColor(const CColor color) {
  fontColor = color;
}

void CDrawContext::setFont(CFont fontID, long size, long style) {
  if (fontID < 0 || fontID >= kNumStandardFonts) fontID = kSystemFont;
  if (size == 0) size = gStandardFontSize[fontID];
  if (fontID == fontId && size == fontSize && style == fontStyle) return;
  fontId = fontID;
  fontSize = size;
  fontStyle = style;
  if (gCGContext) selectFontFace();
}

// The table's face name resolved by fontconfig; bold and italic become weight and
// slant, underline is drawn by drawString, compact and expand are its spacing.
void CDrawContext::selectFontFace() {
  cairo_select_font_face(
      gCGContext, gMacXfontNames[fontId],
      fontStyle & kItalicFace ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
      fontStyle & kBoldFace ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(gCGContext, static_cast<double>(fontSize));
}

double CDrawContext::characterSpacing() const {
  double spacing = 0;
  if (fontStyle & kCompactFace) spacing = -kCharacterSpacing;
  if (fontStyle & kExpandFace) spacing = kCharacterSpacing;
  return spacing;
}

void CDrawContext::setClipRect(const CRect& clip) {
  CRect moved(clip);
  moved.offset(offset.x, offset.y);
  if (moved != clipRect) clipRect = moved;
}

CRect& CDrawContext::getClipRect(CRect& clip) const {
  clip = clipRect;
  clip.offset(-offset.x, -offset.y);
  return clip;
}

void CDrawContext::resetClipRect() {
  if (pFrame)
    pFrame->getViewSize(clipRect);
  else
    clipRect(0, 0, 1000, 1000);
}

// ---------------------------------------------------------------------------
// The surface bracket

cairo_t* CDrawContext::beginCGContext(bool swapYAxis) {
  (void)swapYAxis;  // Cairo is y-down already: no flip either way
  if (!gCGContext) return nullptr;
  cairo_save(gCGContext);
  if (clipRect.isEmpty())
    cairo_rectangle(gCGContext, 0, 0, 0, 0);
  else
    cairo_rectangle(gCGContext, clipRect.left, clipRect.top, clipRect.width(), clipRect.height());
  cairo_clip(gCGContext);
  return gCGContext;
}

void CDrawContext::releaseCGContext(cairo_t* context) {
  if (!context) return;
  cairo_restore(context);
  needToSynchronizeCGContext = true;
  // Whatever was drawn lies inside the clip: that part of the window changed.
  if (ownsSurface && pFrame) {
    CRect changed(clipRect);
    const CPoint& scroll = pFrame->getScrollOffset();
    changed.offset(offsetScreen.x - scroll.x, offsetScreen.y - scroll.y);
    pFrame->markDamaged(changed);
  }
}

void CDrawContext::synchronizeCGContext() {
  if (!needToSynchronizeCGContext || !gCGContext) return;
  cairo_surface_flush(cairo_get_target(gCGContext));
  if (ownsSurface && pFrame) pFrame->flushBackBuffer();
  needToSynchronizeCGContext = false;
}

void CDrawContext::setSourceColor(cairo_t* cr, const CColor& color) {
  cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                        color.alpha / 255.0);
}

void CDrawContext::setDashPattern(cairo_t* cr) const {
  // A zero or negative dash length would put the context into an error state.
  if (lineStyle != kLineOnOffDash || frameWidth <= 0) return;
  const double dashes[2] = {static_cast<double>(frameWidth), static_cast<double>(frameWidth)};
  cairo_set_dash(cr, dashes, 2, 0);
}

void CDrawContext::paintPath(cairo_t* cr, CDrawStyle drawStyle) const {
  bool fill = drawStyle == kDrawFilled || drawStyle == kDrawFilledAndStroked;
  bool stroke = drawStyle != kDrawFilled;
  if (fill) {
    setSourceColor(cr, fillColor);
    cairo_fill_preserve(cr);
  }
  if (stroke) {
    setSourceColor(cr, frameColor);
    cairo_stroke_preserve(cr);
  }
  cairo_new_path(cr);
}

// ---------------------------------------------------------------------------
// Lines and shapes

void CDrawContext::moveTo(const CPoint& point) {
  penLoc(point.x + offset.x, point.y + offset.y);
}

void CDrawContext::lineTo(const CPoint& point) {
  CPoint to(point.x + offset.x, point.y + offset.y);
  if (cairo_t* cr = beginCGContext(true)) {
    setDashPattern(cr);
    setSourceColor(cr, frameColor);
    cairo_move_to(cr, penLoc.x, penLoc.y);
    cairo_line_to(cr, to.x, to.y);
    cairo_stroke(cr);
    releaseCGContext(cr);
  }
  penLoc = to;
}

void CDrawContext::drawLines(const CPoint* points, const long& numLines) {
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  setDashPattern(cr);
  setSourceColor(cr, frameColor);
  for (long i = 0; i < numLines; i++) {
    cairo_move_to(cr, points[2 * i].x + offset.x, points[2 * i].y + offset.y);
    cairo_line_to(cr, points[2 * i + 1].x + offset.x, points[2 * i + 1].y + offset.y);
  }
  cairo_stroke(cr);
  releaseCGContext(cr);
}

void CDrawContext::drawPolygon(const CPoint* pPoints, long numberOfPoints,
                               const CDrawStyle drawStyle) {
  if (numberOfPoints <= 0) return;
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  setDashPattern(cr);
  cairo_move_to(cr, pPoints[0].x + offset.x, pPoints[0].y + offset.y);
  for (long i = 1; i < numberOfPoints; i++)
    cairo_line_to(cr, pPoints[i].x + offset.x, pPoints[i].y + offset.y);
  paintPath(cr, drawStyle);
  releaseCGContext(cr);
}

void CDrawContext::polyLine(const CPoint* pPoints, long numberOfPoints) {
  drawPolygon(pPoints, numberOfPoints, kDrawStroked);
}

void CDrawContext::fillPolygon(const CPoint* pPoints, long numberOfPoints) {
  drawPolygon(pPoints, numberOfPoints, kDrawFilled);
}

void CDrawContext::fillRect(const CRect& _rect) {
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  setSourceColor(cr, fillColor);
  cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
  cairo_fill(cr);
  releaseCGContext(cr);
}

void CDrawContext::drawRect(const CRect& _rect, const CDrawStyle drawStyle) {
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  setDashPattern(cr);
  cairo_move_to(cr, r.left, r.top + 1);
  cairo_line_to(cr, r.right - 1, r.top + 1);
  cairo_line_to(cr, r.right - 1, r.bottom);
  cairo_line_to(cr, r.left, r.bottom);
  cairo_close_path(cr);
  paintPath(cr, drawStyle);
  releaseCGContext(cr);
}

namespace {
// Maps the unit circle onto the ellipse that fills r.
void scaleToEllipse(cairo_t* cr, const CRect& r) {
  cairo_translate(cr, r.left + 0.5 * r.width(), r.top + 0.5 * r.height());
  cairo_scale(cr, 0.5 * r.width(), 0.5 * r.height());
}

// The angle of p seen from the centre of r, in y-down radians.
double angleInRect(const CRect& r, const CPoint& p) {
  return std::atan2(p.y - (r.top + 0.5 * r.height()), p.x - (r.left + 0.5 * r.width()));
}

// Adds to the path the arc of the ellipse that fills r from angle `from` to `to`
// (y-down radians), preceded by its centre for a pie slice. The path is built under
// the scaling, which is removed again before painting so that the pen keeps its width.
void addEllipseArc(cairo_t* cr, const CRect& r, double from, double to, bool fromCentre) {
  cairo_matrix_t matrix;
  cairo_get_matrix(cr, &matrix);
  scaleToEllipse(cr, r);
  if (fromCentre) cairo_move_to(cr, 0, 0);
  cairo_arc(cr, 0, 0, 1, from, to);
  cairo_set_matrix(cr, &matrix);
}
}  // namespace

void CDrawContext::fillEllipse(const CRect& _rect) {
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  // A flat ellipse has no area, and a zero scale would break the context.
  if (r.width() == 0 || r.height() == 0) return;
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  cairo_new_path(cr);
  addEllipseArc(cr, r, 0, 2 * M_PI, false);
  setSourceColor(cr, fillColor);
  cairo_fill(cr);
  releaseCGContext(cr);
}

// Always solid: no dash pattern is set for ellipses.
void CDrawContext::drawEllipse(const CRect& _rect, const CDrawStyle drawStyle) {
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  double w = r.width(), h = r.height();
  if (w == 0 || h == 0) return;
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  cairo_new_path(cr);
  if (w == h) {
    cairo_arc(cr, r.left + 0.5 * w, r.top + 0.5 * w, 0.5 * w, 0, 2 * M_PI);
  } else {
    addEllipseArc(cr, r, 0, 2 * M_PI, false);
  }
  paintPath(cr, drawStyle);
  releaseCGContext(cr);
}

void CDrawContext::drawArc(const CRect& _rect, const float _startAngle, const float _endAngle,
                           const CDrawStyle drawStyle) {
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  CCoord rx = r.width() / 2, ry = r.height() / 2;
  CPoint centre(r.left + rx, r.top + ry);
  setDashPattern(cr);
  cairo_move_to(cr, centre.x, centre.y);
  if (rx != 0 && ry != 0) {
    // In y-down coordinates increasing angles run clockwise on screen; cairo_arc
    // draws the straight line from the centre to the start point first.
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    cairo_translate(cr, centre.x, centre.y);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, radians(_startAngle), radians(_endAngle));
    cairo_set_matrix(cr, &matrix);
  }
  cairo_close_path(cr);
  paintPath(cr, drawStyle);
  releaseCGContext(cr);
}

// The point-defined arcs: the part of the ellipse in _rect from the direction of
// _point1 to that of _point2, clockwise; drawArc strokes the curve, fillArc fills the
// pie slice.
void CDrawContext::drawArc(const CRect& _rect, const CPoint& _point1, const CPoint& _point2) {
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  if (r.width() == 0 || r.height() == 0) return;
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  cairo_new_path(cr);
  addEllipseArc(cr, r, angleInRect(_rect, _point1), angleInRect(_rect, _point2), false);
  paintPath(cr, kDrawStroked);
  releaseCGContext(cr);
}

void CDrawContext::fillArc(const CRect& _rect, const CPoint& _point1, const CPoint& _point2) {
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  if (r.width() == 0 || r.height() == 0) return;
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  addEllipseArc(cr, r, angleInRect(_rect, _point1), angleInRect(_rect, _point2), true);
  cairo_close_path(cr);
  setSourceColor(cr, fillColor);
  cairo_fill(cr);
  releaseCGContext(cr);
}

// Sets exactly the pixel at _point. A one-pixel line from (x, y) to (x + 1, y) lies
// on a pixel boundary, and without anti-aliasing Cairo would paint the row above.
// The pen ends where that line would end; width and frame colour are untouched.
void CDrawContext::drawPoint(const CPoint& _point, CColor color) {
  CPoint where(_point.x + offset.x, _point.y + offset.y);
  if (cairo_t* cr = beginCGContext(true)) {
    setSourceColor(cr, color);
    cairo_rectangle(cr, where.x, where.y, 1, 1);
    cairo_fill(cr);
    releaseCGContext(cr);
  }
  penLoc(where.x + 1, where.y);
}

// The surface is never read back.
CColor CDrawContext::getPoint(const CPoint& point) {
  (void)point;
  return kBlackCColor;
}

void CDrawContext::floodFill(const CPoint& start) {
  (void)start;
}

// ---------------------------------------------------------------------------
// Text

long CDrawContext::getStringWidth(const char* pStr) {
  if (!pStr) return 0;
  cairo_t* cr = beginCGContext(true);
  if (!cr) return 0;
  setTextOptions(cr);
  std::vector<cairo_glyph_t> glyphs;
  double width = layoutText(cr, toUtf8(pStr), 0, 0, characterSpacing(), glyphs);
  releaseCGContext(cr);
  return static_cast<long>(width);
}

void CDrawContext::drawString(const char* string, const CRect& _rect, const short opaque,
                              const CHoriTxtAlign hAlign) {
  (void)opaque;
  if (!string) return;
  CRect r(_rect);
  r.offset(offset.x, offset.y);
  cairo_t* cr = beginCGContext(true);
  if (!cr) return;
  long sw = getStringWidth(string);
  long baseline = r.bottom + fontSize / 2 - r.height() / 2 - 1;
  long x = r.left + 1;
  if (hAlign == kCenterText)
    x = r.left + r.width() / 2 - sw / 2;
  else if (hAlign == kRightText)
    x = r.right - sw;

  setTextOptions(cr);
  setSourceColor(cr, fontColor);
  std::vector<cairo_glyph_t> glyphs;
  layoutText(cr, toUtf8(string), x, baseline, characterSpacing(), glyphs);
  cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
  if ((fontStyle & kUnderlineFace) && sw > 0) {
    // A line of about a fifteenth of the size, a tenth of the size below the baseline.
    double thickness = std::max(1.0, std::round(fontSize / 15.0));
    cairo_rectangle(cr, x, baseline + std::max(1.0, std::round(fontSize / 10.0)), sw, thickness);
    cairo_fill(cr);
  }
  releaseCGContext(cr);
}

// ---------------------------------------------------------------------------
// Input, through the frame's window

long CDrawContext::getMouseButtons() {
  CPoint where;
  long buttons = 0;
  if (!pFrame || !pFrame->queryPointer(where, buttons)) return 0;
  // A Control-click is a right click.
  if ((buttons & kButtonControl) && (buttons & kButtonLeft)) {
    buttons &= ~(kButtonControl | kButtonLeft);
    buttons |= kButtonRight;
  }
  return buttons;
}

void CDrawContext::getMouseLocation(CPoint& point) {
  CPoint where;
  long buttons = 0;
  if (!pFrame || !pFrame->queryPointer(where, buttons)) return;
  const CPoint& scroll = pFrame->getScrollOffset();
  point(where.x + scroll.x - offsetScreen.x, where.y + scroll.y - offsetScreen.y);
}

bool CDrawContext::waitDoubleClick() {
  if (!pFrame) return false;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kDoubleClickTimeMs);
  for (;;) {
    long remaining = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    int kind = 0;
    if (remaining <= 0 || !pFrame->waitMouseEvent(remaining, kind)) return false;
    // Releases are not what we wait for: the release of the first click comes first.
    if (kind != 3) return kind == 1;
  }
}

bool CDrawContext::waitDrag() {
  CPoint where;
  long buttons = 0;
  if (!pFrame || !pFrame->queryPointer(where, buttons) || !(buttons & kButtonLeft)) return false;
  int kind = 0;
  return pFrame->waitMouseEvent(-1, kind) && kind == 2;
}
