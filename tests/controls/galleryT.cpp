// A gallery of every control in a few states, PNGs in TESSARINE_GALLERY_DIR for people to see.

#include <cairo.h>
#include <doctest/doctest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "controlpixels.h"
#include "vgbutton.h"
#include "vgknob.h"
#include "vglabel.h"
#include "vglogo.h"
#include "vgmeter.h"
#include "vgslider.h"

namespace {

CColor gColors[4] = {kBack, kFore, kHilite, kText};
CColor gOtherColors[4] = {{13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};

// One sheet of controls on a light grey ground, written to TESSARINE_GALLERY_DIR/name.
class Sheet {
 public:
  Sheet(const char* name, long width, long height)
      : name(name), canvas(width, height, CColor{230, 230, 230, 255}) {}
  ~Sheet() { write(); }

  void draw(VGControl* control) { control->draw(canvas.context); }
  // Draws the control once more and releases it.
  void add(VGControl* control) {
    draw(control);
    control->forget();
  }
  // Writes the sheet and checks that it reads back at its size.
  void write() {
    std::filesystem::create_directories(TESSARINE_GALLERY_DIR);
    const std::string path = std::string(TESSARINE_GALLERY_DIR) + "/" + name + ".png";
    cairo_surface_t* surface = canvas.context->getCGImage();
    cairo_surface_flush(surface);
    CHECK(cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS);
    cairo_surface_t* back = cairo_image_surface_create_from_png(path.c_str());
    CHECK(cairo_surface_status(back) == CAIRO_STATUS_SUCCESS);
    CHECK(cairo_image_surface_get_width(back) == canvas.context->getWidth());
    CHECK(cairo_image_surface_get_height(back) == canvas.context->getHeight());
    cairo_surface_destroy(back);
  }

 private:
  std::string name;
  Canvas canvas;
};

template <typename T>
T* withValue(T* control, float value) {
  control->setValue(value);
  return control;
}

}  // namespace

TEST_CASE("gallery: labels, buttons and logo") {
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
    auto* button = new VGTextButton(CRect(190 + 110 * on, 10, 290 + 110 * on, 30), nullptr, 0, gColors);
    button->setName("Bypass");
    button->setOnName("Bypassed");
    sheet.add(withValue(button, float(on)));
  }
  for (int scheme = 0; scheme < 2; scheme++) {
    auto* logo = new VGLogo(CRect(10, 60 + 40 * scheme, 419, 86 + 40 * scheme), nullptr, 0,
                            scheme ? gOtherColors : gColors);
    logo->setName("+ t e s s a r i n e");
    sheet.add(logo);
  }
}

TEST_CASE("gallery: knobs and the placeholder") {
  Sheet sheet("knobs", 380, 160);
  const float values[] = {0.f, 0.25f, 0.5f, 1.f};
  for (int i = 0; i < 4; i++) {
    auto* knob = new VGGrommetKnob(CRect(10 + 76 * i, 10, 76 + 76 * i, 76), nullptr, 0, gColors);
    knob->setLabel("dB");
    knob->setMinValue(-60.f);
    knob->setMaxValue(0.f);
    sheet.add(withValue(knob, values[i]));
    sheet.add(withValue(new VGControl(CRect(10 + 76 * i, 86, 76 + 76 * i, 152), nullptr, 0, gColors),
                        values[i]));
  }
  auto* ratio = new VGGrommetKnob(CRect(314, 10, 370, 66), nullptr, 0, gOtherColors);
  ratio->setRatio(1);
  ratio->setMinValue(-4.f);
  ratio->setMaxValue(4.f);
  sheet.add(withValue(ratio, 0.75f));
}

TEST_CASE("gallery: sliders") {
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

TEST_CASE("gallery: meters") {
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
    sheet.add(withValue(new VGVUBitMeter(CRect(10 + 30 * i, 110, 34 + 30 * i, 310), nullptr, 0, gColors),
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
