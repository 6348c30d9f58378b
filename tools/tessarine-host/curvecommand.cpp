// tessarine-host curve: feeds a slow ramp through the plug-in and draws its output
// against its input. For a memoryless plug-in that is its transfer curve.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audiofile.h"
#include "blockrender.h"
#include "commands.h"
#include "plotcanvas.h"
#include "pluginhost.h"
#include "settings.h"
#include "textformat.h"

namespace {

constexpr int kRampRate = 48000;
constexpr size_t kRampFrames = 48000;  // one second: slow beside any audio
constexpr int kBlockSize = 512;
constexpr uint32_t kIdentityColour = 0xb0b0b0;

// From -range to +range over kRampFrames, led in by `delay` frames held at -range and
// followed by as many held at +range. A plug-in with latency is a filter whose
// response spans about twice its latency; the lead-in lets it settle on the ramp's
// start, not on the step from silence, and the tail lets every ramp sample come out.
AudioBuffer makeRamp(double range, size_t delay) {
  AudioBuffer ramp;
  ramp.sampleRate = kRampRate;
  ramp.channels.assign(1, std::vector<float>(delay + kRampFrames + delay, float(range)));
  for (size_t i = 0; i < delay; ++i) ramp.channels[0][i] = float(-range);
  for (size_t i = 0; i < kRampFrames; ++i)
    ramp.channels[0][delay + i] = float(-range + 2.0 * range * double(i) / double(kRampFrames - 1));
  return ramp;
}

// The smallest of 1, 1.5, 2, 2.5, 3, 4, 5, 6 or 8 times a power of ten not below value.
double roundUp(double value) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(value)));
  for (double step : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0})
    if (step * magnitude >= value * (1 - 1e-12)) return step * magnitude;
  return 10.0 * magnitude;
}

// The output axis matches the input axis, -range..range, unless the output goes
// beyond it; then it grows to a round value, still centred on 0.
Axis outputAxis(const std::vector<float>& output, double range) {
  double largest = 0.0;
  for (float y : output)
    if (std::isfinite(y)) largest = std::max(largest, std::fabs(double(y)));
  const double half = largest > range ? roundUp(largest) : range;
  return {-half, half};
}

// Point i: ramp sample i against the output that answers it.
std::vector<Point> curvePoints(const PlotCanvas& canvas, const std::vector<float>& ramp,
                               const std::vector<float>& answers) {
  std::vector<Point> points;
  for (size_t i = 0; i < kRampFrames; ++i) {
    const float y = answers[i];
    points.push_back({canvas.x(ramp[i]), std::isfinite(y) ? canvas.y(y) : NAN});
  }
  return points;
}

void drawCurve(PlotCanvas& canvas, const std::vector<Point>& points, double range) {
  cairo_t* cr = canvas.context();
  canvas.clip();
  const double s = canvas.scale();
  cairo_set_line_width(cr, s);
  canvas.setColour(kIdentityColour);
  cairo_move_to(cr, canvas.x(-range), canvas.y(-range));
  cairo_line_to(cr, canvas.x(range), canvas.y(range));
  cairo_stroke(cr);
  for (const Point& p : points) {
    if (std::isnan(p.y))
      cairo_new_sub_path(cr);
    else
      cairo_line_to(cr, p.x, p.y);
  }
  canvas.setColour(kCurveColour);
  cairo_set_line_width(cr, 2.0 * s);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  canvas.unclip();
}

}  // namespace

void runCurve(const Options& options) {
  PluginHost host(options.pluginPath, HostSettings{kRampRate, kBlockSize, false});
  checkCanProcess(host, options.pluginPath);
  applySettings(host, options);
  OutputFile picture(options.imagePath);  // an unwritable path fails here, early
  std::vector<std::string> notes = describeSetting(host, options.pluginPath);
  host.resume();
  const size_t delay = size_t(std::max(0, host.record().initialDelay));
  const AudioBuffer ramp = makeRamp(options.range, delay);
  const AudioBuffer output = renderInBlocks(host, ramp, kBlockSize);
  host.suspend();
  // Ramp sample i is input sample delay + i, answered by output sample 2 delay + i:
  // only these are drawn, and only these size the output axis.
  const std::vector<float> rampOnly(ramp.channels[0].begin() + long(delay),
                                    ramp.channels[0].begin() + long(delay + kRampFrames));
  const std::vector<float> answers(output.channels[0].begin() + long(2 * delay),
                                   output.channels[0].begin() + long(2 * delay + kRampFrames));

  const Axis input{-options.range, options.range};
  const Axis outputs = outputAxis(answers, options.range);
  PlotCanvas canvas(options.pictureWidth, options.pictureHeight, input, outputs);
  canvas.drawAxes(linearTicks(input, 8), linearTicks(outputs, 8), "input", "output (channel 1)");
  const std::vector<Point> points = curvePoints(canvas, rampOnly, answers);
  notes.push_back(strprintf("ramp from %g to %g in 1 s", -options.range, options.range));
  // Beneath the curve, which stays whole where there is no free corner.
  canvas.drawNote(notes, points);
  drawCurve(canvas, points, options.range);
  canvas.write(picture, options.imagePath);
  std::printf("Wrote the curve of %s (input %g to %g, output %g to %g) to %s\n",
              notes.front().c_str(), input.lo, input.hi, outputs.lo, outputs.hi,
              options.imagePath.c_str());
}
