// tessarine-gallery: every vector control in a few states, drawn into PNG sheets for
// people to look at (the control tests check the pixels themselves).
//
//   tessarine-gallery [DIRECTORY]     writes simple.png, knobs.png, sliders.png and
//                                     meters.png to DIRECTORY (default: gallery)

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "offscreencontext.h"
#include "vgbutton.h"
#include "vgknob.h"
#include "vglabel.h"
#include "vglogo.h"
#include "vgmeter.h"
#include "vgslider.h"

namespace {

// The colour table of the control tests, and the editor's own.
CColor gColors[4] = {
    {40, 60, 120, 255}, {150, 30, 20, 255}, {240, 170, 20, 255}, {20, 120, 40, 255}};
CColor gOtherColors[4] = {{13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};

std::filesystem::path gDirectory = "gallery";
bool gFailed = false;

// One sheet of controls on a light grey ground, written to the directory as name.png.
class Sheet {
 public:
  Sheet(const char* name, long width, long height)
      : name(name), context(new COffscreenContext(nullptr, width, height, {230, 230, 230, 255})) {}
  ~Sheet() {
    write();
    context->forget();
  }
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;

  void draw(VGControl* control) { control->draw(context); }
  // Draws the control once more and releases it.
  void add(VGControl* control) {
    draw(control);
    control->forget();
  }

 private:
  void write() {
    const std::string path = (gDirectory / (name + ".png")).string();
    cairo_surface_t* surface = context->getCGImage();
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
      std::fprintf(stderr, "tessarine-gallery: cannot write %s\n", path.c_str());
      gFailed = true;
      return;
    }
    std::printf("%s\n", path.c_str());
  }

  std::string name;
  COffscreenContext* context;
};

template <typename T>
T* withValue(T* control, float value) {
  control->setValue(value);
  return control;
}

void simpleSheet() {
  Sheet sheet("simple", 440, 200);
  auto* caption = new VGSimpleLabel(CRect(10, 10, 74, 25), nullptr, 0, gColors);
  caption->setName("Third");
  sheet.add(caption);
  auto* bottom = new VGBottomLabel(CRect(10, 180, 429, 190), nullptr, 0, gColors);
  bottom->setName("Quorvalin +tessarine vst - v. fire");
  sheet.add(bottom);
  sheet.add(new VGTargetButton(CRect(90, 10, 107, 27), nullptr, 0, gColors));
  sheet.add(withValue(new VGTargetButton(CRect(115, 10, 132, 27), nullptr, 0, gColors), 1.f));
  sheet.add(withValue(new VGTargetButton(CRect(140, 5, 174, 39), nullptr, 0, gOtherColors), 1.f));
  for (int on = 0; on < 2; on++) {
    auto* button =
        new VGTextButton(CRect(190 + 110 * on, 10, 290 + 110 * on, 30), nullptr, 0, gColors);
    button->setName("Bypass");
    button->setOnName("Bypassed");
    sheet.add(withValue(button, float(on)));
  }
  // The HQ editor's factor: a step button at 4x, and at 1x in the other colours.
  for (int scheme = 0; scheme < 2; scheme++) {
    auto* steps = new VGStepButton(CRect(10 + 150 * scheme, 140, 140 + 150 * scheme, 160), nullptr, 0,
                                   scheme ? gOtherColors : gColors);
    steps->setName("oversampling");
    steps->setStepCount(4);
    const char* const factors[] = {"1x", "2x", "4x", "8x"};
    for (int step = 0; step < 4; step++) steps->setStepName(step, factors[step]);
    sheet.add(withValue(steps, scheme ? 0.f : 2.f / 3.f));
  }
  for (int scheme = 0; scheme < 2; scheme++) {
    auto* logo = new VGLogo(CRect(10, 60 + 40 * scheme, 419, 86 + 40 * scheme), nullptr, 0,
                            scheme ? gOtherColors : gColors);
    logo->setName("+ t e s s a r i n e");
    sheet.add(logo);
  }
}

void knobSheet() {
  Sheet sheet("knobs", 380, 160);
  const float values[] = {0.f, 0.25f, 0.5f, 1.f};
  for (int i = 0; i < 4; i++) {
    auto* knob = new VGGrommetKnob(CRect(10 + 76 * i, 10, 76 + 76 * i, 76), nullptr, 0, gColors);
    knob->setLabel("dB");
    knob->setMinValue(-60.f);
    knob->setMaxValue(0.f);
    sheet.add(withValue(knob, values[i]));
    sheet.add(withValue(
        new VGControl(CRect(10 + 76 * i, 86, 76 + 76 * i, 152), nullptr, 0, gColors), values[i]));
  }
  auto* ratio = new VGGrommetKnob(CRect(314, 10, 370, 66), nullptr, 0, gOtherColors);
  ratio->setRatio(1);
  ratio->setMinValue(-4.f);
  ratio->setMaxValue(4.f);
  sheet.add(withValue(ratio, 0.75f));
}

void sliderSheet() {
  Sheet sheet("sliders", 220, 130);
  const float values[] = {0.f, 0.5f, 1.f};
  for (int i = 0; i < 3; i++) {
    auto* slider = new VGSlider(CRect(10, 10 + 30 * i, 210, 30 + 30 * i), nullptr, 0, gColors);
    slider->setName("Drive");
    slider->setLabel("dB");
    slider->setMinValue(-24.f);
    slider->setMaxValue(24.f);
    sheet.add(withValue(slider, values[i]));
  }
  auto* octaves = new VGSlider(CRect(10, 100, 210, 120), nullptr, 0, gOtherColors);
  octaves->setName("Ratio");
  octaves->setMinValue(-2.f);
  octaves->setMaxValue(2.f);
  octaves->setLog(true);
  sheet.add(withValue(octaves, 0.75f));
}

void meterSheet() {
  Sheet sheet("meters", 420, 320);
  const float levels[][2] = {{0.f, 0.f}, {0.5f, 0.5f}, {0.1f, 0.9f}};
  for (int i = 0; i < 3; i++) {
    auto* eye = new VGMagicEye(CRect(10 + 90 * i, 10, 90 + 90 * i, 90), nullptr, 0, gColors);
    eye->setLabel("dB");
    eye->setLeft(levels[i][0]);
    eye->setRight(levels[i][1]);
    eye->setInverse(i == 2);
    sheet.add(eye);
  }
  // A scope with a sine a little wider on the right: an ellipse leaning over.
  float left[256], right[256];
  for (int j = 0; j < 256; j++) {
    left[j] = 0.6f * std::sin(j * 0.1f);
    right[j] = 0.4f * std::sin(j * 0.1f + 0.8f);
  }
  auto* scope = new VGPhaseScope(CRect(280, 10, 380, 110), nullptr, 0, gColors, left, right, 256);
  scope->setSamples(256);
  for (int i = 0; i < 10; i++) sheet.draw(scope);  // the direction dot settles
  sheet.add(scope);

  const float meterValues[] = {0.5f, 1.f, 1.2f};
  for (int i = 0; i < 3; i++)
    sheet.add(
        withValue(new VGVUBitMeter(CRect(10 + 30 * i, 110, 34 + 30 * i, 310), nullptr, 0, gColors),
                  meterValues[i]));
  auto* numbered = new VGVUBitMeter(CRect(110, 110, 134, 310), nullptr, 0, gColors);
  CPoint where(0, 0);
  numbered->mouse(nullptr, where, kButtonLeft);  // numbers on
  sheet.add(withValue(numbered, 0.3f));
  auto* bits = new VGVUBitMeter(CRect(140, 110, 164, 310), nullptr, 0, gOtherColors);
  float bitLevels[24];
  for (int i = 0; i < 24; i++) bitLevels[i] = (i % 5) / 4.f;
  bits->setBitLevels(bitLevels);
  bits->setDecibelsOn(false);
  sheet.add(bits);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(stderr, "usage: tessarine-gallery [DIRECTORY]\n");
    return 2;
  }
  if (argc == 2) gDirectory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(gDirectory, error);
  simpleSheet();
  knobSheet();
  sliderSheet();
  meterSheet();
  return gFailed ? 1 : 0;
}
