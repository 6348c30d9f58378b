#pragma once
// CDrawContext: the one object through which views draw. It wraps a Cairo context,
// caches pen, colours, font, line width and style, draw mode and clip rectangle, and
// offers integer-coordinate primitives. It also answers the views' input questions
// (buttons, mouse position, double click, drag) through its frame.
//
// Surfaces, by construction arguments:
//   - a system context: a cairo_t* handed in by the caller (referenced, not owned);
//   - a frame and a window: the frame's back buffer, flushed to the window by
//     synchronizeCGContext();
//   - neither: no surface (COffscreenContext attaches its own memory).

#include <atomic>
#include <cstdint>

#include "geometry.h"
#include "referencecounter.h"

// Cairo's handle types, declared the way cairo.h declares them so that views can
// include this header without Cairo.
typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class CFrame;

// Live draw contexts in the process.
extern std::atomic<int32_t> gNbCDrawContext;

// The font table, indexed by CFont: face names and default sizes.
extern const char* gMacXfontNames[kNumStandardFonts];
extern const long gStandardFontSize[kNumStandardFonts];

class CDrawContext : public CReferenceCounter {
 public:
  CDrawContext(CFrame* inFrame, void* inSystemContext, void* inWindow);
  ~CDrawContext() override;
  CDrawContext(const CDrawContext&) = delete;
  CDrawContext& operator=(const CDrawContext&) = delete;

  // Flushes the surface, then drops one reference.
  void forget() override;

  // Null here; an offscreen context answers its own pixels.
  virtual cairo_surface_t* getCGImage() const;
  // The window's pixel map: the frame's back buffer, null without one.
  virtual cairo_surface_t* getBitmap();
  virtual void releaseBitmap();
  // The window's drawing port (the window handle given at construction), or null.
  virtual void* getPort();

  // State. A setter whose value equals the cached one does nothing at all.
  void setLineStyle(CLineStyle style);
  CLineStyle getLineStyle() const { return lineStyle; }
  void setLineWidth(long width);
  long getLineWidth() const { return frameWidth; }
  void setDrawMode(CDrawMode mode);
  CDrawMode getDrawMode() const { return drawMode; }
  void setFrameColor(const CColor color);
  CColor getFrameColor() const { return frameColor; }
  void setFillColor(const CColor color);
  CColor getFillColor() const { return fillColor; }
  void setFontColor(const CColor color);
  CColor getFontColor() const { return fontColor; }
  void setFont(CFont fontID, long size = 0, long style = 0);
  CFont getFont() const { return fontId; }
  long getFontSize() const { return fontSize; }

  // The clip is stored with offset added; getClipRect gives it back without.
  void setClipRect(const CRect& clip);
  CRect& getClipRect(CRect& clip) const;
  void resetClipRect();

  CFrame* getFrame() const { return pFrame; }
  void* getSystemContext() const { return pSystemContext; }
  void* getWindow() { return pWindow; }
  void setWindow(void* ptr) { pWindow = ptr; }
  void getLoc(CPoint& where) const { where = penLoc; }

  // Primitives: context coordinates, offset added, clipped to the clip rectangle.
  void moveTo(const CPoint& point);
  void lineTo(const CPoint& point);
  void drawLines(const CPoint* points, const long& numLines);
  void drawPolygon(const CPoint* pPoints, long numberOfPoints,
                   const CDrawStyle drawStyle = kDrawStroked);
  void polyLine(const CPoint* pPoints, long numberOfPoints);
  void fillPolygon(const CPoint* pPoints, long numberOfPoints);
  void drawRect(const CRect& _rect, const CDrawStyle drawStyle = kDrawStroked);
  void fillRect(const CRect& _rect);
  void drawEllipse(const CRect& _rect, const CDrawStyle drawStyle = kDrawStroked);
  void fillEllipse(const CRect& _rect);
  // A pie slice; degrees, 0 at 3 o'clock, increasing clockwise on screen.
  void drawArc(const CRect& _rect, const float _startAngle, const float _endAngle,
               const CDrawStyle drawStyle = kDrawStroked);
  void drawArc(const CRect& _rect, const CPoint& _point1, const CPoint& _point2);
  void fillArc(const CRect& _rect, const CPoint& _point1, const CPoint& _point2);
  void drawPoint(const CPoint& _point, CColor color);
  CColor getPoint(const CPoint& point);
  void floodFill(const CPoint& start);

  long getStringWidth(const char* pStr);
  void drawString(const char* string, const CRect& _rect, const short opaque = false,
                  const CHoriTxtAlign hAlign = kCenterText);

  // Input, read through the frame; without a frame: no buttons, no movement.
  long getMouseButtons();
  void getMouseLocation(CPoint& point);
  bool waitDoubleClick();
  bool waitDrag();

  // The surface bracket: save + y-down + clip to clipRect / restore. Cairo is y-down
  // already, so both values of swapYAxis give the same y-down coordinates.
  cairo_t* beginCGContext(bool swapYAxis = false);
  void releaseCGContext(cairo_t* context);
  void synchronizeCGContext();
  cairo_t* getCGContext() const { return gCGContext; }

  CPoint offsetScreen;  // drawing area within the window: window mouse -> context
  CPoint offset;        // added to every coordinate and to the clip rectangle

 protected:
  // Puts the cached line width, draw mode and font on a newly attached surface, so
  // that a setter skipped later for an unchanged value leaves no library default.
  void applyCachedState();
  // Colour conversions of the cache onto the surface (components / 255).
  static void setSourceColor(cairo_t* cr, const CColor& color);
  void setDashPattern(cairo_t* cr) const;
  // Fills and/or strokes the current path per drawStyle.
  void paintPath(cairo_t* cr, CDrawStyle drawStyle) const;
  void selectFontFace();
  double characterSpacing() const;

  void* pSystemContext;
  void* pWindow;
  CFrame* pFrame;

  long fontSize;
  long fontStyle;
  CFont fontId;
  CColor fontColor;
  CPoint penLoc;

  long frameWidth;
  CColor frameColor;
  CColor fillColor;
  CLineStyle lineStyle;
  CDrawMode drawMode;
  CRect clipRect;

  cairo_t* gCGContext;
  bool needToSynchronizeCGContext;

 private:
  void attachFrameSurface();
  void attachSystemContext();
  bool ownsSurface;  // gCGContext was created on the frame's back buffer
};
