#pragma once
// A picture with one plot area: the grid, tick labels and axis titles, notes in a
// corner, labels that stay legible over lines, and writing the PNG file. The curve
// and the spectrum are both drawn on one.

#include <cairo.h>

#include <string>
#include <vector>

#include "audiofile.h"
#include "plotlayout.h"
#include "pngfile.h"

// A grid line at value; those with a label also get it written beside the axis.
struct Tick {
  double value;
  std::string label;
};

// Grid lines at round steps (1, 2 or 5 times a power of ten), about count of them.
std::vector<Tick> linearTicks(const Axis& axis, int count);
// Grid lines at 1..9 times each power of ten, labelled at 1, 2 and 5 ("20", "1k").
std::vector<Tick> frequencyTicks(const Axis& axis, double pixelsPerDecade);

struct Point {
  double x, y;
};

class PlotCanvas {
 public:
  PlotCanvas(int width, int height, const Axis& xAxis, const Axis& yAxis);
  ~PlotCanvas();
  PlotCanvas(const PlotCanvas&) = delete;
  PlotCanvas& operator=(const PlotCanvas&) = delete;

  cairo_t* context() const { return cr_; }
  const PlotRect& rect() const { return rect_; }
  const Axis& xAxis() const { return xAxis_; }
  // Sizes are given for the default picture and multiplied by this.
  double scale() const { return scale_; }
  double x(double value) const { return xPixel(rect_, xAxis_, value); }
  double y(double value) const { return yPixel(rect_, yAxis_, value); }

  void drawAxes(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks,
                const std::string& xTitle, const std::string& yTitle);
  // Limits drawing to the plot area until unclip().
  void clip();
  void unclip();
  void setColour(uint32_t rgb, double alpha = 1.0);
  // Text whose start is at x, y, vertical reading upwards or horizontal, with a white
  // halo so that lines beneath do not hide it.
  void drawLabel(const std::string& text, double x, double y, bool vertical);
  double textWidth(const std::string& text);
  // Lines of text on a white box in the corner of the plot area holding fewest of
  // the points to avoid (device coordinates). Drawn before what it must not hide.
  void drawNote(const std::vector<std::string>& lines, const std::vector<Point>& avoid);

  // Writes the picture through output, which then renames it to path.
  void write(OutputFile& output, const std::string& path);

 private:
  void drawGridLines(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks);
  void drawTickLabels(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks);

  SurfaceHandle surface_;
  cairo_t* cr_;
  Axis xAxis_, yAxis_;
  PlotRect rect_;
  double scale_;
};
