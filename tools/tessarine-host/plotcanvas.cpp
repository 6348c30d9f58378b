#include "plotcanvas.h"

#include <algorithm>
#include <cmath>

#include "errors.h"
#include "textformat.h"

namespace {

constexpr double kQuarterTurn = 1.57079632679489661923;
constexpr double kFontSize = 12.0;  // at the default picture size
constexpr uint32_t kGrid = 0xe2e2e2;
constexpr uint32_t kZeroLine = 0xb8b8b8;
constexpr uint32_t kFrame = 0x808080;
constexpr uint32_t kText = 0x303030;

// 1, 2 or 5 times a power of ten, at least raw.
double roundStep(double raw) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double normal = raw / magnitude;
  return (normal <= 1.0 ? 1.0 : normal <= 2.0 ? 2.0 : normal <= 5.0 ? 5.0 : 10.0) * magnitude;
}

std::string frequencyLabel(double hz) {
  return hz >= 1000.0 ? strprintf("%gk", hz / 1000.0) : strprintf("%g", hz);
}

}  // namespace

std::vector<Tick> linearTicks(const Axis& axis, int count) {
  const double step = roundStep((axis.hi - axis.lo) / count);
  std::vector<Tick> ticks;
  for (double n = std::ceil(axis.lo / step - 1e-9); n * step <= axis.hi + step * 1e-9; n += 1.0) {
    const double value = std::fabs(n) < 0.5 ? 0.0 : n * step;  // no "-0"
    ticks.push_back({value, strprintf("%g", value)});
  }
  return ticks;
}

std::vector<Tick> frequencyTicks(const Axis& axis, double pixelsPerDecade) {
  // Below this the labels at 2 and 5 would run into each other.
  const bool labelAll = pixelsPerDecade >= 150.0;
  std::vector<Tick> ticks;
  for (double decade = std::pow(10.0, std::floor(std::log10(axis.lo))); decade <= axis.hi;
       decade *= 10.0)
    for (int m = 1; m <= 9; ++m) {
      const double hz = m * decade;
      if (hz < axis.lo * (1 - 1e-9) || hz > axis.hi * (1 + 1e-9)) continue;
      const bool labelled = m == 1 || (labelAll && (m == 2 || m == 5));
      ticks.push_back({hz, labelled ? frequencyLabel(hz) : ""});
    }
  return ticks;
}

PlotCanvas::PlotCanvas(int width, int height, const Axis& xAxis, const Axis& yAxis)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_.get())),
      xAxis_(xAxis),
      yAxis_(yAxis),
      rect_(plotRect(width, height)),
      scale_(pictureScale(width, height)) {
  const cairo_status_t status = cairo_status(cr_);
  if (status != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr_);
    throw HostError(strprintf("cannot make a %d x %d picture: ", width, height) +
                    cairo_status_to_string(status));
  }
  cairo_set_source_rgb(cr_, 1.0, 1.0, 1.0);
  cairo_paint(cr_);
  cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, kFontSize * scale_);
}

PlotCanvas::~PlotCanvas() {
  cairo_destroy(cr_);
}

void PlotCanvas::setColour(uint32_t rgb, double alpha) {
  cairo_set_source_rgba(cr_, double(rgb >> 16 & 0xff) / 255.0, double(rgb >> 8 & 0xff) / 255.0,
                        double(rgb & 0xff) / 255.0, alpha);
}

void PlotCanvas::drawAxes(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks,
                          const std::string& xTitle, const std::string& yTitle) {
  drawGridLines(xTicks, yTicks);
  drawTickLabels(xTicks, yTicks);
  setColour(kFrame);
  cairo_set_line_width(cr_, scale_);
  cairo_rectangle(cr_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top);
  cairo_stroke(cr_);

  setColour(0x000000);
  const double titleY = rect_.bottom + 40.0 * scale_;
  cairo_move_to(cr_, (rect_.left + rect_.right - textWidth(xTitle)) / 2.0, titleY);
  cairo_show_text(cr_, xTitle.c_str());
  cairo_save(cr_);
  cairo_move_to(cr_, 18.0 * scale_, (rect_.top + rect_.bottom + textWidth(yTitle)) / 2.0);
  cairo_rotate(cr_, -kQuarterTurn);
  cairo_show_text(cr_, yTitle.c_str());
  cairo_restore(cr_);
}

// Lines at 0 are darker: the axes of a transfer curve cross there.
void PlotCanvas::drawGridLines(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks) {
  cairo_set_line_width(cr_, scale_);
  for (const Tick& tick : xTicks) {
    setColour(tick.value == 0.0 ? kZeroLine : kGrid);
    // Half-pixel positions keep one-pixel lines sharp.
    const double x = std::round(this->x(tick.value)) + 0.5 * scale_;
    cairo_move_to(cr_, x, rect_.top);
    cairo_line_to(cr_, x, rect_.bottom);
    cairo_stroke(cr_);
  }
  for (const Tick& tick : yTicks) {
    setColour(tick.value == 0.0 ? kZeroLine : kGrid);
    const double y = std::round(this->y(tick.value)) + 0.5 * scale_;
    cairo_move_to(cr_, rect_.left, y);
    cairo_line_to(cr_, rect_.right, y);
    cairo_stroke(cr_);
  }
}

void PlotCanvas::drawTickLabels(const std::vector<Tick>& xTicks, const std::vector<Tick>& yTicks) {
  setColour(kText);
  cairo_font_extents_t font;
  cairo_font_extents(cr_, &font);
  for (const Tick& tick : xTicks) {
    if (tick.label.empty()) continue;
    cairo_move_to(cr_, x(tick.value) - textWidth(tick.label) / 2.0,
                  rect_.bottom + 6.0 * scale_ + font.ascent);
    cairo_show_text(cr_, tick.label.c_str());
  }
  for (const Tick& tick : yTicks) {
    if (tick.label.empty()) continue;
    cairo_move_to(cr_, rect_.left - 6.0 * scale_ - textWidth(tick.label),
                  y(tick.value) + font.ascent * 0.35);
    cairo_show_text(cr_, tick.label.c_str());
  }
}

void PlotCanvas::clip() {
  cairo_save(cr_);
  cairo_rectangle(cr_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top);
  cairo_clip(cr_);
}

void PlotCanvas::unclip() {
  cairo_restore(cr_);
}

double PlotCanvas::textWidth(const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr_, text.c_str(), &extents);
  return extents.x_advance;
}

void PlotCanvas::drawLabel(const std::string& text, double x, double y, bool vertical) {
  cairo_save(cr_);
  cairo_move_to(cr_, x, y);
  if (vertical) cairo_rotate(cr_, -kQuarterTurn);
  cairo_text_path(cr_, text.c_str());
  cairo_set_source_rgb(cr_, 1.0, 1.0, 1.0);
  cairo_set_line_width(cr_, 3.0 * scale_);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr_);
  setColour(kText);
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void PlotCanvas::drawNote(const std::vector<std::string>& lines, const std::vector<Point>& avoid) {
  cairo_font_extents_t font;
  cairo_font_extents(cr_, &font);
  const double pad = 6.0 * scale_, inset = 8.0 * scale_;
  double width = 0.0;
  for (const std::string& line : lines) width = std::max(width, textWidth(line));
  width += 2.0 * pad;
  const double height = double(lines.size()) * font.height + 2.0 * pad;
  // Top left first: the usual place to look for a legend.
  const Point corners[] = {{rect_.left + inset, rect_.top + inset},
                           {rect_.right - inset - width, rect_.top + inset},
                           {rect_.right - inset - width, rect_.bottom - inset - height},
                           {rect_.left + inset, rect_.bottom - inset - height}};
  Point best = corners[0];
  size_t fewest = avoid.size() + 1;
  for (const Point& corner : corners) {
    const size_t inside = size_t(std::count_if(avoid.begin(), avoid.end(), [&](const Point& p) {
      return p.x >= corner.x - inset && p.x <= corner.x + width + inset &&
             p.y >= corner.y - inset && p.y <= corner.y + height + inset;
    }));
    if (inside < fewest) fewest = inside, best = corner;
  }
  cairo_rectangle(cr_, best.x, best.y, width, height);
  cairo_set_source_rgba(cr_, 1.0, 1.0, 1.0, 0.85);
  cairo_fill_preserve(cr_);
  setColour(kGrid);
  cairo_set_line_width(cr_, scale_);
  cairo_stroke(cr_);
  setColour(kText);
  for (size_t i = 0; i < lines.size(); ++i) {
    cairo_move_to(cr_, best.x + pad, best.y + pad + font.ascent + double(i) * font.height);
    cairo_show_text(cr_, lines[i].c_str());
  }
}

void PlotCanvas::write(OutputFile& output, const std::string& path) {
  cairo_surface_flush(surface_.get());
  writePng(surface_.get(), output, path);
}
