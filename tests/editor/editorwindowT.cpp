// The plug-in's editor in a real window under Xvfb: its pixels and the real pointer (XTest).

#include <doctest/doctest.h>
// X headers after doctest: Xlib defines None.
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "tessarinesession.h"
#include "vgcontrol.h"

namespace {

constexpr int kWidth = 419, kHeight = 145;
constexpr uint32_t kStripColor = 0xefe8e5;  // (239, 232, 229)

constexpr uint32_t rgbOf(const CColor& c) {
  return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | uint32_t(c.blue);
}

// The effect with its editor in a DAW-like host window: pixels of the whole panel.
struct EditorWindowSession : TessarineSession {
  bool idleUntilPixel(int x, int y, uint32_t rgb) {
    const Window window = child();
    return window && idleUntil([&] { return host.pixel(window, x, y) == rgb; });
  }
  // Opens the editor in the host window and idles until its bottom strip is drawn.
  bool openAndShow() { return openEditor(host.window) == 1 && idleUntilPixel(1, 140, kStripColor); }
  // The editor's pixels, read from the screen in one piece.
  RgbImage snapshot() { return host.snapshot(child(), kWidth, kHeight); }
  Window child() { return frame() ? editorWindowIn(host.window) : 0; }
  const CColor* colors() {
    VGControl* logo = dynamic_cast<VGControl*>(control(0));
    return logo ? logo->getPluginColors() : nullptr;
  }
};

const CColor kDefaults[4] = {
    {13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};
constexpr uint32_t kWhite = 0xffffff;

// Knob i: 66 x 66 at (5 + 69 i, 36); at 0.5 the pointer dot, the ring, the centre disc.
constexpr int kKnobTop = 36;
const CPoint kDotAtHalf(33, 5);
const CPoint kRing(33, 61);
const CPoint kDisc(33, 20);
const CRect kReadout(17, 25, 49, 41);

const CRect kNameStrip(165, 13, 395, 26);
const CRect kTargetButton(399, 115, 416, 132);

CPoint inKnob(int i, CPoint local) {
  return CPoint(5 + 69 * i + local.h, kKnobTop + local.v);
}

// Knobs at 0.5, the logo's strip with the white name, the bottom strip, in table's colours.
void checkPanel(const RgbImage& shot, const CColor table[4]) {
  REQUIRE(shot.width == 419);
  for (int i = 0; i < 6; i++) {
    INFO("knob ", i);
    const CPoint ring = inKnob(i, kRing), dot = inKnob(i, kDotAtHalf), disc = inKnob(i, kDisc);
    CHECK(shot.at(ring.h, ring.v) == rgbOf(table[1]));
    CHECK(shot.at(dot.h, dot.v) == rgbOf(table[2]));
    CHECK(shot.at(disc.h, disc.v) == rgbOf(VGControl::lighten(table[0])));
    CRect readout(kReadout);
    readout.offset(5 + 69 * i, kKnobTop);
    CHECK(shot.count(readout, rgbOf(table[3])) > 0);
  }
  CHECK(shot.count(kNameStrip, rgbOf(table[0])) > 1000);
  CHECK(shot.count(kNameStrip, kWhite) > 30);
  CHECK(shot.count(CRect(0, 135, 40, 145), kStripColor) == 400);
  CHECK(shot.count(CRect(379, 135, 395, 145), kStripColor) == 160);
}

void clickTargetButton(EditorWindowSession& session, float expectedValue) {
  session.host.click(1, kTargetButton.left + 8, kTargetButton.top + 8);
  REQUIRE(session.idleUntil([&] { return session.control(13)->getValue() == expectedValue; }));
}

void showAllKnobsAtHalf(EditorWindowSession& session) {
  for (VstInt32 i = 0; i < 6; i++) session.e->setParameter(session.e, i, 0.5f);
  const CPoint dot = inKnob(0, kDotAtHalf);
  REQUIRE(session.idleUntilPixel(dot.h, dot.v, rgbOf(kDefaults[2])));
}

// The opcodes of an edit gesture, in the order the host saw them.
std::vector<HostCall> gestureCalls(const HostRecorder& recorder) {
  std::vector<HostCall> calls;
  for (const HostCall& call : recorder.calls)
    if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
        call.opcode == audioMasterEndEdit)
      calls.push_back(call);
  return calls;
}

}  // namespace

TEST_CASE("the panel on screen, recoloured by the target button, back to the defaults") {
  EditorWindowSession session;
  REQUIRE(session.openAndShow());
  showAllKnobsAtHalf(session);
  checkPanel(session.snapshot(), kDefaults);

  std::srand(7);
  CColor random[4] = {{}, {}, {}, kDefaults[3]};
  for (int i = 0; i < 3; i++) {
    random[i].red = (unsigned char)(std::rand() % 255);
    random[i].green = (unsigned char)(std::rand() % 255);
    random[i].blue = (unsigned char)(std::rand() % 255);
    random[i].alpha = 255;
  }
  std::srand(7);
  clickTargetButton(session, 1.0f);
  const CPoint ring = inKnob(5, kRing);
  REQUIRE(session.idleUntilPixel(ring.h, ring.v, rgbOf(random[1])));
  for (int i = 0; i < 4; i++) CHECK(session.colors()[i] == random[i]);
  checkPanel(session.snapshot(), random);

  clickTargetButton(session, 0.0f);
  REQUIRE(session.idleUntilPixel(ring.h, ring.v, rgbOf(kDefaults[1])));
  for (int i = 0; i < 4; i++) CHECK(session.colors()[i] == kDefaults[i]);
  checkPanel(session.snapshot(), kDefaults);
  CHECK(session.recorder.callsOf(audioMasterAutomate).empty());

  // Close then open comes back in the default colours.
  clickTargetButton(session, 1.0f);
  REQUIRE(session.colors()[1] != kDefaults[1]);
  session.dispatch(effEditClose);
  REQUIRE(session.openAndShow());
  for (int i = 0; i < 4; i++) CHECK(session.colors()[i] == kDefaults[i]);
  CHECK(session.control(13)->getValue() == 0.0f);
  showAllKnobsAtHalf(session);
  checkPanel(session.snapshot(), kDefaults);
}

TEST_CASE("dragging a knob with the real pointer") {
  EditorWindowSession session;
  REQUIRE(session.openAndShow());
  session.e->setParameter(session.e, 2, 0.25f);
  REQUIRE(session.idleUntil([&] { return !session.knob(2)->isDirty(); }));  // drawn at 0.25
  session.recorder.calls.clear();
  const CPoint centre = inKnob(2, CPoint(33, 33));
  HostRecorder& recorder = session.recorder;
  XTestHost& host = session.host;
  auto value = [&] { return session.effect.getParameter(2); };
  auto moveBy = [&](int dx, int dy) {
    return [&host, centre, dx, dy] { host.moveTo(centre.h + dx, centre.v + dy); };
  };
  auto pause = [] {};
  auto release = [&host] { host.button(1, false); };

  SUBCASE("33 pixels up from 0.25 ends at 0.75: begin, automation values, end, in order") {
    REQUIRE(session.drag(centre.h, centre.v, {}, {moveBy(0, -33), pause, release}));
    CHECK(value() == doctest::Approx(0.75f).epsilon(1e-6));
    CHECK(session.knob(2)->getValue() == value());
    const std::vector<HostCall> calls = gestureCalls(recorder);
    REQUIRE(calls.size() >= 3);
    CHECK(calls.front().opcode == audioMasterBeginEdit);
    CHECK(calls.back().opcode == audioMasterEndEdit);
    // The click's focus redraw makes the knob report its value once as it is; from
    // then on every value follows the pointer up.
    float previous = 0.25f;
    for (size_t i = 0; i < calls.size(); i++) {
      CHECK(calls[i].index == 2);
      if (i == 0 || i + 1 == calls.size()) continue;
      CHECK(calls[i].opcode == audioMasterAutomate);
      CHECK(calls[i].opt >= previous);
      previous = calls[i].opt;
    }
    CHECK(previous == value());
  }
  SUBCASE("with Shift the same drag ends at 0.35") {
    REQUIRE(session.drag(centre.h, centre.v, {XK_Shift_L}, {moveBy(0, -33), pause, release}));
    CHECK(value() == doctest::Approx(0.35f).epsilon(1e-6));
  }
  SUBCASE("pressing Shift mid-drag leaves the value in place, then the rate is finer") {
    float whenPressed = -1.f;
    REQUIRE(session.drag(centre.h, centre.v, {},
                         {moveBy(0, -10), pause, [&] { host.key(XK_Shift_L, true); }, pause,
                          [&] { whenPressed = value(); }, moveBy(0, -43), pause, release}));
    host.key(XK_Shift_L, false);
    CHECK(whenPressed == doctest::Approx(0.25f + 10.f / 66.f).epsilon(1e-6));
    CHECK(value() == doctest::Approx(0.25f + 10.f / 66.f + 33.f / 330.f).epsilon(1e-6));
  }
  SUBCASE("10 up and 10 left changes nothing") {
    REQUIRE(session.drag(centre.h, centre.v, {}, {moveBy(-10, -10), pause, release}));
    CHECK(value() == 0.25f);
    for (const HostCall& call : recorder.callsOf(audioMasterAutomate)) CHECK(call.opt == 0.25f);
  }
  SUBCASE("Ctrl-click resets to the default value, outside an edit gesture") {
    host.click(1, centre.h, centre.v, {XK_Control_L});
    REQUIRE(session.idleUntil([&] { return value() == 0.5f; }));
    const auto automated = recorder.callsOf(audioMasterAutomate);
    REQUIRE(automated.size() == 1);
    CHECK(automated[0].index == 2);
    CHECK(automated[0].opt == 0.5f);
    CHECK(recorder.callsOf(audioMasterBeginEdit).empty());
  }
  SUBCASE("a click on a caption, the logo or the bottom strip automates nothing") {
    const CPoint places[] = {{37, 110}, {60, 18}, {200, 140}};
    const long views[] = {2, 0, 14};
    for (int i = 0; i < 3; i++) {
      const float before = session.control(views[i])->getValue();
      host.click(1, places[i].h, places[i].v);
      REQUIRE(session.idleUntil([&] { return session.control(views[i])->getValue() != before; }));
    }
    CHECK(recorder.callsOf(audioMasterAutomate).empty());
  }
}

TEST_CASE("host automation and program changes move the knobs by the next idle") {
  EditorWindowSession session;
  REQUIRE(session.openAndShow());
  CHECK(session.knob(0)->getValue() == 1.0f);

  std::thread([&] { session.e->setParameter(session.e, 0, 0.5f); }).join();
  CHECK(session.knob(0)->getValue() == 1.0f);
  session.idle();
  CHECK(session.knob(0)->getValue() == 0.5f);
  const CPoint dot = inKnob(0, kDotAtHalf);
  CHECK(session.idleUntilPixel(dot.h, dot.v, rgbOf(kDefaults[2])));

  // Program 3 holds its own values; selecting it from another thread moves all six.
  session.dispatch(effSetProgram, 0, 3);
  for (VstInt32 i = 0; i < 6; i++) session.e->setParameter(session.e, i, 0.1f * float(i + 2));
  session.dispatch(effSetProgram, 0, 0);
  CHECK(session.knob(3)->getValue() == 0.0f);
  std::thread([&] { session.dispatch(effSetProgram, 0, 3); }).join();
  CHECK(session.knob(3)->getValue() == 0.0f);
  session.idle();
  for (int i = 0; i < 6; i++) CHECK(session.knob(i)->getValue() == 0.1f * float(i + 2));
}
