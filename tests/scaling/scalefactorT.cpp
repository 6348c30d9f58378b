// Where the editor's scale factor comes from, in which order, and the values passed
// over; the sizes the editor reports for it. No X server: the desktop's dpi is given.

#include <doctest/doctest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "aeffguieditor.h"
#include "hostrecorder.h"
#include "scalefactor.h"
#include "tessarine.h"

namespace {

// The environment of one case, restored afterwards.
struct Environment {
  Environment(const char* user, const char* gdk) {
    set("TESSARINE_SCALE", user);
    set("GDK_SCALE", gdk);
  }
  ~Environment() {
    unsetenv("TESSARINE_SCALE");
    unsetenv("GDK_SCALE");
  }
  static void set(const char* name, const char* value) {
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST_CASE("the first valid source gives the factor: user, host, GDK_SCALE, Xft.dpi, 1") {
  CHECK(resolveScaleFactor({"1.5", 2.f, "3", 384.}) == 1.5f);
  CHECK(resolveScaleFactor({nullptr, 2.f, "3", 384.}) == 2.f);
  CHECK(resolveScaleFactor({nullptr, 0.f, "3", 384.}) == 3.f);
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 144.}) == 1.5f);
  // The desktop's dpi in quarter steps: 97 and 106 are 1, 120 and 130 are 1.25.
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 97.}) == 1.f);
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 106.}) == 1.f);
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 130.}) == 1.25f);
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 0.}) == 1.f);
  CHECK(resolveScaleFactor({"1", 2.f, "3", 384.}) == 1.f);  // 1 is a choice too
  CHECK(resolveScaleFactor({"4", 0.f, nullptr, 0.}) == 4.f);
  CHECK(resolveScaleFactor({"1.25", 0.f, nullptr, 0.}) == 1.25f);
}

TEST_CASE("values outside 1 to 4, not numbers or not whole are passed over") {
  for (const char* bad : {"nan", "NaN", "inf", "-2", "0", "0.5", "17", "4.01", "two", "2x", "",
                          " 2", "1e400"}) {
    INFO(bad);
    CHECK(parseScaleFactor(bad) == 0.f);
    CHECK(resolveScaleFactor({bad, 0.f, bad, 0.}) == 1.f);
    CHECK(resolveScaleFactor({bad, 0.f, nullptr, 192.}) == 2.f);
  }
  for (float bad : {kNaN, -1.f, 0.f, 0.75f, 17.f, std::numeric_limits<float>::infinity()})
    CHECK(resolveScaleFactor({nullptr, bad, "2", 0.}) == 2.f);
  // GDK_SCALE is an integer; Xft.dpi below 96 or above 384 gives no factor.
  CHECK(resolveScaleFactor({nullptr, 0.f, "1.5", 0.}) == 1.f);
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 72.}) == 1.f);
  CHECK(resolveScaleFactor({nullptr, 0.f, nullptr, 500.}) == 1.f);
  CHECK(scaledLength(419, 1.5f) == 629);  // 628.5 rounded
  CHECK(scaledLength(145, 1.75f) == 254);
}

TEST_CASE("the editor's size: the host's 'PreS' factor, under TESSARINE_SCALE, over GDK_SCALE") {
  HostRecorder recorder;
  tessarine effect{HostRecorder::callback};
  AEffect* e = effect.getAeffect();
  auto sendScale = [&](float factor) {
    return e->dispatcher(e, effVendorSpecific, kVstScaleRequestIndex, kVstScaleRequestValue, nullptr, factor);
  };
  auto size = [&] {
    ERect* rect = nullptr;
    REQUIRE(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.f) == 1);
    return std::make_pair(int(rect->right - rect->left), int(rect->bottom - rect->top));
  };
  using Size = std::pair<int, int>;
  SUBCASE("the host's factor, other requests and invalid factors ignored") {
    Environment environment(nullptr, "1");  // no desktop factor from a display
    CHECK(size() == Size(419, 145));
    CHECK(sendScale(2.f) == 1);
    CHECK(size() == Size(838, 290));
    for (float bad : {kNaN, -2.f, 0.f, 17.f}) CHECK(sendScale(bad) == 0);
    CHECK(size() == Size(838, 290));
    CHECK(e->dispatcher(e, effVendorSpecific, kVstScaleRequestIndex, 0, nullptr, 3.f) == 0);
    CHECK(sendScale(1.5f) == 1);
    CHECK(size() == Size(629, 218));
  }
  SUBCASE("TESSARINE_SCALE first; invalid ones fall through to the host, then GDK_SCALE") {
    Environment environment("1.25", "3");
    CHECK(size() == Size(524, 181));
    CHECK(sendScale(2.f) == 1);
    CHECK(size() == Size(524, 181));
    Environment::set("TESSARINE_SCALE", "17");
    CHECK(size() == Size(838, 290));
    Environment::set("TESSARINE_SCALE", "abc");
    CHECK(size() == Size(838, 290));
  }
  SUBCASE("GDK_SCALE without a host factor") {
    Environment environment(nullptr, "3");
    CHECK(size() == Size(1257, 435));
  }
}
