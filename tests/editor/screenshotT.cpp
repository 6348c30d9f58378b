// tessarine-host screenshot run as a user runs it: the PNG, its own Xvfb, its failures.

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "pixels.h"
#include "processrunner.h"

namespace fs = std::filesystem;

namespace {

const std::string kHost = TESSARINE_HOST_PATH;
const std::string kPlugin = TESSARINE_PLUGIN_PATH;
const std::string kFake = FAKE_PLUGIN_PATH;
const fs::path kGallery = EDITOR_GALLERY_DIR;

// Runs tessarine-host in dir, with changes to its environment.
ProcessRun runHost(const std::vector<std::string>& args, const fs::path& dir,
                   const ProcessEnv& env = {}) {
  return runProcess(kHost, args, dir, env);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

constexpr uint32_t kStripColor = 0xefe8e5;
constexpr uint32_t kHighlight = 0x50bdd8;

void checkEditorImage(const fs::path& file) {
  const RgbImage png = RgbImage::fromPng(file);
  REQUIRE(png.width == 419);
  REQUIRE(png.height == 145);
  CHECK(png.at(1, 140) == kStripColor);
  CHECK(png.at(417, 143) == kStripColor);
  CHECK(png.at(2, 2) == 0xffffff);  // the frame's white background
}

}  // namespace

TEST_CASE("screenshot writes the editor as the program and parameters left it") {
  fs::create_directories(kGallery);
  const fs::path file = kGallery / "editor-program2-param1.png";
  fs::remove(file);
  const ProcessRun run = runHost(
      {"screenshot", kPlugin, file.string(), "--program", "2", "--param", "1=0.5"}, kGallery);
  REQUIRE_MESSAGE(run.status == 0, run.err);
  CHECK(run.err.empty());
  CHECK(contains(run.out, "Wrote the 419 x 145 editor of +tessarine to " + file.string()));
  checkEditorImage(file);
  const RgbImage png = RgbImage::fromPng(file);
  // The second knob at 0.5 has its pointer dot at 12 o'clock; the first, at 1.0
  // (program 2's own value), at 5 o'clock.
  CHECK(png.at(74 + 33, 36 + 5) == kHighlight);
  CHECK(png.at(5 + 47, 36 + 57) == kHighlight);
}

TEST_CASE("screenshot shows the HQ editor: the described panel over its strip, at 1 and 2") {
  const std::string hq = (fs::path(kPlugin).parent_path() / "tessarine-hq.so").string();
  fs::create_directories(kGallery);
  const fs::path described = kGallery / "editor-default-1x.png";
  REQUIRE(runHost({"screenshot", kPlugin, described.string()}, kGallery).status == 0);
  for (const char* scale : {"1", "2"}) {
    const fs::path file = kGallery / (std::string("editor-hq-") + scale + "x.png");
    const ProcessRun run = runHost({"screenshot", hq, file.string(), "--scale", scale}, kGallery);
    REQUIRE_MESSAGE(run.status == 0, run.err);
    const bool two = scale[0] == '2';
    CHECK(contains(run.out, two ? "Wrote the 838 x 342 editor of +tessarine HQ"
                                : "Wrote the 419 x 171 editor of +tessarine HQ"));
    if (two) continue;
    const RgbImage top = RgbImage::fromPng(described), whole = RgbImage::fromPng(file);
    REQUIRE(whole.height == 171);
    CHECK(std::equal(top.rgb.begin(), top.rgb.end(), whole.rgb.begin()));
  }
}

TEST_CASE("without a usable display screenshot starts its own Xvfb") {
  TempDir dir;
  for (const char* display : {(const char*)nullptr, ":4711"}) {
    INFO("DISPLAY=", display ? display : "(unset)");
    const ProcessRun run =
        runHost({"screenshot", kPlugin, "shot.png"}, dir.path, {{"DISPLAY", display}});
    REQUIRE_MESSAGE(run.status == 0, run.err);
    checkEditorImage(dir.path / "shot.png");
    fs::remove(dir.path / "shot.png");
  }
  const fs::path file = kGallery / "editor-default.png";
  fs::create_directories(kGallery);
  CHECK(runHost({"screenshot", kPlugin, file.string()}, kGallery, {{"DISPLAY", nullptr}}).status ==
        0);
}

TEST_CASE("screenshot failures: one line, the right status, no file left") {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    ProcessEnv env;
    int status;
    std::string mention;
  };
  const std::vector<Case> cases = {
      {{"screenshot", kPlugin}, {}, 2, "no image file given"},
      {{"screenshot", kPlugin, "a.png", "--bypass"}, {}, 2, "unknown option '--bypass'"},
      {{"screenshot", kPlugin, "a.png", "b.png"}, {}, 2, "unexpected argument 'b.png'"},
      {{"screenshot", kFake, "a.png"}, {}, 1, "has no editor"},
      {{"screenshot", kPlugin, "a.png", "--program", "10"}, {}, 1, "program 10 is out of range"},
      {{"screenshot", kPlugin, "a.png", "--param", "6=0.5"}, {}, 1, "parameter index 6"},
      {{"screenshot", kPlugin, "no/such/dir/a.png"}, {}, 1, "cannot write output"},
      {{"screenshot", kPlugin, "a.png"}, {{"DISPLAY", nullptr}, {"PATH", "/nonexistent"}}, 1,
       "no X display: DISPLAY is unset"},
  };
  for (const Case& c : cases) {
    INFO(c.args.back());
    const ProcessRun run = runHost(c.args, dir.path, c.env);
    CHECK(run.status == c.status);
    CHECK(run.err.rfind("tessarine-host: error: ", 0) == 0);
    CHECK_MESSAGE(contains(run.err, c.mention), run.err);
    CHECK(dir.empty());
  }
}
