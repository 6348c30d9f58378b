// The editor's redraw cost: a frame of 15 small controls in a real X window, drawn
// whole into its back buffer (and copied to the window), and an idle pass after one
// control changed, which redraws only that control.
//
// It needs an X display. With $DISPLAY unset it starts its own Xvfb for the run
// (and says so); if that fails too, the benchmarks are skipped with a message.

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "control.h"
#include "drawcontext.h"
#include "frame.h"
#include "privatexserver.h"

namespace {
// A small knob: a filled face, an outline and an anti-aliased pie for the value.
class BenchControl : public CControl {
 public:
  explicit BenchControl(const CRect& size) : CControl(size, nullptr, 0) {}
  void draw(CDrawContext* context) override {
    context->setFillColor({50, 60, 70, 255});
    context->fillRect(size);
    context->setFrameColor(kWhiteCColor);
    context->drawRect(size);
    context->setDrawMode(kAntialias);
    context->setFillColor({230, 180, 40, 255});
    CRect face(size);
    face.inset(6, 6);
    context->drawArc(face, 135.f, 135.f + 270.f * value, kDrawFilled);
    context->setDrawMode(kCopyMode);
    setDirty(false);
  }
};

// The host side: a window of its own and the frame in it.
struct Editor {
  static constexpr int kControls = 15;

  Editor() {
    if (!getenv("DISPLAY")) {
      server = std::make_unique<PrivateXServer>();
      std::fprintf(stderr, "bench_draw: DISPLAY is unset, drawing on a private Xvfb\n");
    }
    display = XOpenDisplay(nullptr);
    if (!display) return;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 419, 145, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    frame = new CFrame(CRect(0, 0, 419, 145), (void*)window, nullptr);
    // Five columns of three, the size of the editor's knobs and captions.
    for (int i = 0; i < kControls; i++) {
      const int left = 10 + (i % 5) * 80, top = 8 + (i / 5) * 45;
      controls[i] = new BenchControl(CRect(left, top, left + 40, top + 40));
      frame->addView(controls[i]);
    }
    frame->draw(static_cast<CView*>(nullptr));  // the first draw lets idle work
  }
  ~Editor() {
    delete frame;  // the one view that is deleted, as the editor does in close()
    if (display) XCloseDisplay(display);
  }
  bool ready() const { return frame && frame->getBackBuffer(); }

  std::unique_ptr<PrivateXServer> server;
  Display* display = nullptr;
  Window window = 0;
  CFrame* frame = nullptr;
  BenchControl* controls[kControls] = {};
};

Editor& editor() {
  static Editor instance;
  return instance;
}

void BM_DrawWholeFrame(benchmark::State& state) {
  Editor& e = editor();
  if (!e.ready()) {
    state.SkipWithError("no X display (DISPLAY unset and Xvfb did not start)");
    return;
  }
  for (auto _ : state) e.frame->draw(static_cast<CView*>(nullptr));
}
BENCHMARK(BM_DrawWholeFrame)->Unit(benchmark::kMicrosecond);

void BM_IdleOneDirtyControl(benchmark::State& state) {
  Editor& e = editor();
  if (!e.ready()) {
    state.SkipWithError("no X display (DISPLAY unset and Xvfb did not start)");
    return;
  }
  float value = 0.f;
  for (auto _ : state) {
    value = value > 0.9f ? 0.f : value + 0.1f;
    e.controls[7]->setValue(value);
    e.frame->idle();
  }
}
BENCHMARK(BM_IdleOneDirtyControl)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
