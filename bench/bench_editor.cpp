// The plug-in editor's redraw cost, in a real X window: the whole panel (fifteen
// vector controls, each drawn through its own offscreen pass, then copied to the
// window), and the idle pass after a parameter moved one knob, which redraws that
// knob only and copies its pixels alone to the window. Each at the scale factors
// 1, 1.5 and 2 (the argument is the factor in percent).
//
// It needs an X display. With $DISPLAY unset it starts its own Xvfb for the run
// (and says so); if that fails too, the benchmarks are skipped with a message.

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "aeffguieditor.h"
#include "frame.h"
#include "privatexserver.h"
#include "tessarine.h"

namespace {

VstIntPtr benchHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

// The private X server, started once when $DISPLAY is unset.
void ensureDisplay() {
  static std::unique_ptr<PrivateXServer> server;
  if (server || getenv("DISPLAY")) return;
  server = std::make_unique<PrivateXServer>();
  std::fprintf(stderr, "bench_editor: DISPLAY is unset, drawing on a private Xvfb\n");
}

// A host window with the effect's editor open in it at a scale factor, drawn once.
struct OpenEditor {
  explicit OpenEditor(float factor) {
    display = XOpenDisplay(nullptr);
    if (!display) return;
    const unsigned width = unsigned(419 * factor + 1), height = unsigned(145 * factor + 1);
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    effect = std::make_unique<tessarine>(benchHost);
    e = effect->getAeffect();
    // The host's content scale request ('PreS' / 'AeCs').
    e->dispatcher(e, effVendorSpecific, kVstScaleRequestIndex, kVstScaleRequestValue, nullptr, factor);
    e->dispatcher(e, effEditOpen, 0, 0, (void*)window, 0.f);
    e->dispatcher(e, effEditDraw, 0, 0, nullptr, 0.f);  // the first draw lets idle work
  }
  ~OpenEditor() {
    if (e) e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.f);
    effect.reset();
    if (display) XCloseDisplay(display);
  }
  CFrame* frame() const {
    return effect ? static_cast<AEffGUIEditor*>(effect->getEditor())->getFrame() : nullptr;
  }
  bool ready() const { return frame() && frame()->getBackBuffer(); }

  Display* display = nullptr;
  Window window = 0;
  std::unique_ptr<tessarine> effect;
  AEffect* e = nullptr;
};

OpenEditor& editor(int percent) {
  // The server first, so that it goes after the editors at exit.
  ensureDisplay();
  static std::map<int, std::unique_ptr<OpenEditor>> editors;
  std::unique_ptr<OpenEditor>& instance = editors[percent];
  if (!instance) instance = std::make_unique<OpenEditor>(float(percent) / 100.f);
  return *instance;
}

void BM_EditorFullDraw(benchmark::State& state) {
  OpenEditor& open = editor(int(state.range(0)));
  if (!open.ready()) {
    state.SkipWithError("no X display (DISPLAY unset and Xvfb did not start)");
    return;
  }
  for (auto _ : state) open.e->dispatcher(open.e, effEditDraw, 0, 0, nullptr, 0.f);
}
BENCHMARK(BM_EditorFullDraw)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

// The host moves the third knob (on the user-interface thread, so at once) and the
// next idle redraws it.
void BM_EditorKnobIdle(benchmark::State& state) {
  OpenEditor& open = editor(int(state.range(0)));
  if (!open.ready()) {
    state.SkipWithError("no X display (DISPLAY unset and Xvfb did not start)");
    return;
  }
  open.e->dispatcher(open.e, effEditIdle, 0, 0, nullptr, 0.f);
  float value = 0.f;
  for (auto _ : state) {
    value = value > 0.9f ? 0.f : value + 0.1f;
    open.e->setParameter(open.e, 2, value);
    open.e->dispatcher(open.e, effEditIdle, 0, 0, nullptr, 0.f);
  }
}
BENCHMARK(BM_EditorKnobIdle)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
