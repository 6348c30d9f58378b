// The editor at factor 2 in a real window under Xvfb: its size, its pixels (drawn at
// the window's resolution, not enlarged), the real pointer, a factor change while
// open, and the pixels an idle pass sends to the window.

#include <doctest/doctest.h>
// X headers after doctest: Xlib defines None.
#include <X11/keysym.h>

#include <cstdlib>

#include "scaledsession.h"
#include "vgcontrol.h"

namespace {

const CColor kDefaults[4] = {
    {13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};

// Knob i is 66 x 66 points at (5 + 69 i, 36).
CPoint inKnob(int i, int x, int y) {
  return CPoint(5 + 69 * i + x, 36 + y);
}

// The knob's points at 0.5 in their colours: both pixels of each point's 2 x 2
// block's diagonal at factor 2.
void checkKnobPoints(const Picture& shot, int factor) {
  struct Point {
    int x, y;
    uint32_t rgb;
  };
  const Point points[] = {
      {47, 9, rgbOf(kDefaults[1])},   // end cap (43, 5, 51, 13)
      {19, 9, rgbOf(kDefaults[1])},   // end cap (15, 5, 23, 13)
      {33, 5, rgbOf(kDefaults[2])},   // pointer dot (29, 1, 37, 9)
      {33, 60, rgbOf(kDefaults[1])},  // the ring at 6 o'clock
      {48, 16, 0xffffff},             // the white disc (9, 9, 57, 57)
      {33, 21, rgbOf(VGControl::lighten(kDefaults[0]))},  // the centre disc
  };
  for (int i = 0; i < 6; i++)
    for (const Point& p : points) {
      const CPoint at = inKnob(i, p.x, p.y);
      INFO("knob ", i, " point ", p.x, ",", p.y);
      CHECK(shot.at(at.x * factor, at.y * factor) == p.rgb);
      CHECK(shot.at(at.x * factor + factor - 1, at.y * factor + factor - 1) == p.rgb);
    }
}

int channelDifference(uint32_t a, uint32_t b) {
  int most = 0;
  for (int shift = 0; shift < 24; shift += 8)
    most = std::max(most, std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff)));
  return most;
}

// The mean of a 2 x 2 block, channel by channel.
uint32_t boxMean(const Picture& shot, int x, int y) {
  uint32_t mean = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t sum = 0;
    for (int dy = 0; dy < 2; dy++)
      for (int dx = 0; dx < 2; dx++) sum += shot.at(2 * x + dx, 2 * y + dy) >> shift & 0xff;
    mean |= (sum + 2) / 4 << shift;
  }
  return mean;
}

// Sets the factor-2 picture against the factor-1 one, inside the knobs: the 2 x 2
// blocks that are not one colour (an enlargement has none; anti-aliased edges one
// pixel wide make them), and the reduction's largest and mean difference.
struct Comparison {
  int mixedBlocks = 0, points = 0, farPoints = 0;
  double meanDifference = 0;
};
Comparison compare(const Picture& one, const Picture& two) {
  Comparison result;
  long total = 0;
  for (int i = 0; i < 6; i++)
    for (int y = 0; y < 66; y++)
      for (int x = 0; x < 66; x++) {
        const CPoint p = inKnob(i, x, y);
        const uint32_t a = two.at(2 * p.x, 2 * p.y);
        result.mixedBlocks += two.at(2 * p.x + 1, 2 * p.y) != a ||
                              two.at(2 * p.x, 2 * p.y + 1) != a ||
                              two.at(2 * p.x + 1, 2 * p.y + 1) != a;
        const int difference = channelDifference(boxMean(two, p.x, p.y), one.at(p.x, p.y));
        total += difference;
        result.farPoints += difference > 96;
        result.points++;
      }
  result.meanDifference = double(total) / result.points;
  return result;
}

}  // namespace

TEST_CASE("at factor 2: 838 x 290, the knob's points at twice their place, drawn sharp") {
  ScaledSession session;
  REQUIRE(session.openAndShow());
  session.allKnobsAt(0.5f);
  REQUIRE(session.settle());
  const Picture one = session.picture();
  REQUIRE(one.width == 419);
  checkKnobPoints(one, 1);

  // A new factor while open: the host is asked to resize, the panel redraws at it.
  session.recorder.calls.clear();
  CHECK(session.sendScale(2.f) == 1);
  const auto resized = session.recorder.callsOf(audioMasterSizeWindow);
  REQUIRE(resized.size() == 1);
  CHECK(resized[0].index == 838);
  CHECK(resized[0].value == 290);
  const ERect rect = session.editorRect();
  CHECK(rect.right - rect.left == 838);
  CHECK(rect.bottom - rect.top == 290);
  REQUIRE(session.settle());
  XWindowAttributes attributes;
  REQUIRE(XGetWindowAttributes(session.host.display, session.child(), &attributes));
  CHECK(attributes.width == 838);
  CHECK(attributes.height == 290);
  const Picture two = session.picture();
  REQUIRE(two.width == 838);
  checkKnobPoints(two, 2);

  const Comparison comparison = compare(one, two);
  INFO("mixed blocks ", comparison.mixedBlocks, ", mean difference ", comparison.meanDifference,
       ", far points ", comparison.farPoints);
  CHECK(comparison.mixedBlocks > 600);  // about a hundred along each knob's edges
  CHECK(comparison.meanDifference < 6.0);
  CHECK(comparison.farPoints < comparison.points / 50);

  // Opened again, the editor starts at the host's factor.
  session.dispatch(effEditClose);
  REQUIRE(session.openAndShow());
  session.allKnobsAt(0.5f);
  REQUIRE(session.settle());
  checkKnobPoints(session.picture(), 2);
}

TEST_CASE("the real pointer at factor 2: 66 pixels move a knob as 33 do at factor 1") {
  ScaledSession session;
  REQUIRE(session.sendScale(2.f) == 1);
  REQUIRE(session.openAndShow());
  session.e->setParameter(session.e, 2, 0.25f);
  REQUIRE(session.settle());
  session.recorder.calls.clear();
  const CPoint centre(2 * inKnob(2, 33, 33).x, 2 * inKnob(2, 33, 33).y);
  XTestHost& host = session.host;
  auto value = [&] { return session.effect.getParameter(2); };
  auto up = [&host, centre](int pixels) {
    return [&host, centre, pixels] { host.moveTo(centre.x, centre.y - pixels); };
  };
  auto pause = [] {};
  auto release = [&host] { host.button(1, false); };

  SUBCASE("66 pixels up from 0.25 ends at 0.75, inside the host's edit bracket") {
    REQUIRE(session.drag(centre.x, centre.y, {}, {up(66), pause, release}));
    CHECK(value() == doctest::Approx(0.75f).epsilon(1e-6));
    CHECK(session.knob(2)->getValue() == value());
    std::vector<HostCall> calls;
    for (const HostCall& call : session.recorder.calls)
      if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
          call.opcode == audioMasterEndEdit)
        calls.push_back(call);
    REQUIRE(calls.size() >= 3);
    CHECK(calls.front().opcode == audioMasterBeginEdit);
    CHECK(calls.back().opcode == audioMasterEndEdit);
    float previous = 0.25f;
    for (size_t i = 1; i + 1 < calls.size(); i++) {
      CHECK(calls[i].opcode == audioMasterAutomate);
      CHECK(calls[i].index == 2);
      CHECK(calls[i].opt >= previous);
      previous = calls[i].opt;
    }
    CHECK(previous == value());
  }
  SUBCASE("with Shift the same drag ends at 0.35") {
    REQUIRE(session.drag(centre.x, centre.y, {XK_Shift_L}, {up(66), pause, release}));
    CHECK(value() == doctest::Approx(0.35f).epsilon(1e-6));
  }
  SUBCASE("Ctrl-click resets to the default, outside an edit gesture") {
    host.click(1, centre.x, centre.y, {XK_Control_L});
    REQUIRE(session.idleUntil([&] { return value() == 0.5f; }));
    CHECK(session.recorder.callsOf(audioMasterAutomate).size() == 1);
    CHECK(session.recorder.callsOf(audioMasterBeginEdit).empty());
  }
}

TEST_CASE("a knob moved by the host sends only its own pixels to the window") {
  for (float factor : {1.f, 2.f}) {
    INFO("factor ", factor);
    ScaledSession session;
    REQUIRE(session.sendScale(factor) == 1);
    REQUIRE(session.openAndShow());
    const int64_t before = session.frame()->getPixelsSent();
    session.e->setParameter(session.e, 3, 0.8f);  // on the editor's own thread
    REQUIRE(session.idleUntil([&] { return !session.knob(3)->isDirty(); }));
    const int side = int(66 * factor);
    CHECK(session.frame()->getPixelsSent() - before == side * side);
    const CPoint dot = inKnob(3, 0, 0);
    CHECK(session.host.pixel(session.child(), dot.x * int(factor), dot.y * int(factor)) ==
          0xffffff);
  }
}
