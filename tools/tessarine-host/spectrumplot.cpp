#include "spectrumplot.h"

#include <algorithm>
#include <cmath>

#include "harmonics.h"
#include "plotcanvas.h"

namespace {

constexpr double kLowestHz = 20.0;
constexpr double kMarkRadius = 4.0;

double levelDb(double amplitude) {
  const double db = toDb(amplitude);
  return std::isfinite(db) ? db : kSpectrumFloorDb - 10.0;
}

// 0 dBFS at the top unless something is louder, then the next 20 dB above it.
Axis levelAxis(const SpectrumPicture& picture) {
  double loudest = 0.0;
  for (double amplitude : picture.spectrum.amplitudes)
    if (std::isfinite(amplitude)) loudest = std::max(loudest, levelDb(amplitude));
  for (const HarmonicMark& mark : picture.harmonics)
    loudest = std::max(loudest, levelDb(mark.amplitude));
  return {kSpectrumFloorDb, std::ceil(loudest / 20.0) * 20.0};
}

// One point per pixel column, at the loudest bin in it, so that narrow peaks keep
// their height where many bins share a column; the DC bin has no place on a log axis.
std::vector<Point> spectrumLine(const PlotCanvas& canvas, const Spectrum& spectrum) {
  std::vector<Point> points;
  for (size_t k = 1; k < spectrum.amplitudes.size(); ++k) {
    if (!std::isfinite(spectrum.amplitudes[k])) continue;
    const Point p{canvas.x(double(k) * spectrum.binWidth),
                  canvas.y(levelDb(spectrum.amplitudes[k]))};
    if (!points.empty() && std::floor(points.back().x) == std::floor(p.x)) {
      if (p.y < points.back().y) points.back() = p;
    } else {
      points.push_back(p);
    }
  }
  return points;
}

void drawLine(PlotCanvas& canvas, const std::vector<Point>& points) {
  if (points.empty()) return;
  cairo_t* cr = canvas.context();
  canvas.clip();
  for (const Point& p : points) cairo_line_to(cr, p.x, p.y);
  cairo_line_to(cr, points.back().x, canvas.rect().bottom);
  cairo_line_to(cr, points.front().x, canvas.rect().bottom);
  canvas.setColour(kSpectrumLine, 0.12);
  cairo_fill(cr);
  for (const Point& p : points) cairo_line_to(cr, p.x, p.y);
  canvas.setColour(kSpectrumLine);
  cairo_set_line_width(cr, canvas.scale());
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  canvas.unclip();
}

struct PlacedMark {
  Point dot;
  bool folded;
  std::string label;
  Point labelStart;  // where the vertical label's baseline starts
};

// A dot at each harmonic line's measured level and its label running up from it, or
// down beside the peak where there is no room above. Adds what the labels cover to
// occupied.
std::vector<PlacedMark> placeMarks(PlotCanvas& canvas, const std::vector<HarmonicMark>& marks,
                                   std::vector<Point>& occupied) {
  cairo_font_extents_t font;
  cairo_font_extents(canvas.context(), &font);
  const double gap = (kMarkRadius + 4.0) * canvas.scale();
  const Axis& frequencies = canvas.xAxis();
  std::vector<PlacedMark> placed;
  for (const HarmonicMark& mark : marks) {
    if (mark.frequency < frequencies.lo || mark.frequency > frequencies.hi) continue;
    const Point dot{canvas.x(mark.frequency),
                    std::min(canvas.y(levelDb(mark.amplitude)), canvas.rect().bottom)};
    const std::string label = mark.name + "  " + mark.level;
    const double length = canvas.textWidth(label);
    const bool above = dot.y - gap - length >= canvas.rect().top;
    Point start =
        above ? Point{dot.x + font.ascent * 0.35, dot.y - gap}
              : Point{dot.x + gap - 4.0 * canvas.scale() + font.ascent, dot.y + gap + length};
    // A folded line can land a few pixels from another: its label steps aside, away
    // from the other's, rather than over it.
    for (size_t pass = 0; pass < placed.size(); ++pass) {
      bool moved = false;
      for (const PlacedMark& other : placed) {
        const double otherLength = canvas.textWidth(other.label);
        const bool sameRows =
            start.y - length < other.labelStart.y && other.labelStart.y - otherLength < start.y;
        if (!sameRows || std::fabs(start.x - other.labelStart.x) >= font.height) continue;
        start.x = other.labelStart.x + (dot.x >= other.dot.x ? font.height : -font.height);
        moved = true;
      }
      if (!moved) break;
    }
    placed.push_back({dot, mark.folded, label, start});
    for (double along = 0.0; along <= length; along += font.height / 2)
      occupied.push_back({start.x - font.ascent / 2, start.y - along});
  }
  return placed;
}

void drawMarks(PlotCanvas& canvas, const std::vector<PlacedMark>& marks) {
  cairo_t* cr = canvas.context();
  const double radius = kMarkRadius * canvas.scale();
  for (const PlacedMark& mark : marks) {
    cairo_arc(cr, mark.dot.x, mark.dot.y, radius + 1.5 * canvas.scale(), 0.0, 7.0);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_fill(cr);
    cairo_arc(cr, mark.dot.x, mark.dot.y, radius, 0.0, 7.0);
    canvas.setColour(mark.folded ? kFoldedMarkColour : kMarkColour);
    cairo_fill(cr);
    canvas.drawLabel(mark.label, mark.labelStart.x, mark.labelStart.y, true);
  }
}

}  // namespace

void drawSpectrum(const SpectrumPicture& picture, int width, int height, OutputFile& output,
                  const std::string& path) {
  const double nyquist = picture.sampleRate / 2.0;
  const Axis frequencies{std::min(kLowestHz, nyquist / 100.0), nyquist, true};
  const Axis levels = levelAxis(picture);
  PlotCanvas canvas(width, height, frequencies, levels);
  const double decade =
      (canvas.rect().right - canvas.rect().left) / std::log10(frequencies.hi / frequencies.lo);
  canvas.drawAxes(frequencyTicks(frequencies, decade), linearTicks(levels, 8), "frequency (Hz)",
                  "level (dBFS)");
  const std::vector<Point> line = spectrumLine(canvas, picture.spectrum);
  std::vector<Point> occupied = line;
  const std::vector<PlacedMark> marks = placeMarks(canvas, picture.harmonics, occupied);
  // The note goes beneath what was measured, which stays whole if it must overlap.
  canvas.drawNote(picture.notes, occupied);
  drawLine(canvas, line);
  drawMarks(canvas, marks);
  canvas.write(output, path);
}
