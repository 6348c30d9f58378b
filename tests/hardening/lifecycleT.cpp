// Instances created, used and closed on several threads at once, as plug-in scanners
// and session loads do (ThreadSanitizer in the tsan preset), among them "+tessarine HQ"
// with its settings automated from another thread while audio runs, and program
// switches that reach the audio thread whole.

#include <doctest/doctest.h>
#include <libgen.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "aeffectx.h"
#include "bitmap.h"
#include "hostedeffect.h"
#include "oversampler.h"
#include "tessarine.h"
#include "tessarinehq.h"

// After the plug-in's headers: Xlib defines macros with common names.
#include <X11/Xlib.h>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace {

// Announcements of a new latency (audioMasterIOChanged), and those where the record's
// initialDelay was not the latency of the factor the effect had just been set to.
std::atomic<int> gIoChanges{0}, gWrongDelays{0};

// A host callback without state but the counts above, safe to call from any thread. On
// audioMasterIOChanged it reads the new latency, as a host does, on the thread that
// announced it.
VstIntPtr quietHost(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterIOChanged && e) {
    gIoChanges++;
    const int factor = tessarinehq::factorOf(e->getParameter(e, tessarinehq::kParamOversampling));
    if (e->initialDelay != (VstInt32)tessarineoversampler::latencyOf(factor)) gWrongDelays++;
    return 1;
  }
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

// The directory of this test program: where the editor finds its resources.
std::string programDirectory() {
  char path[PATH_MAX];
  return realpath("/proc/self/exe", path) ? std::string(dirname(path)) : std::string();
}

// HQ's settings automated on a thread of their own while `audio` runs blocks on the
// calling thread: each factor four times, every one a change, with the filter and the
// limit in each state. Answers whether the record shows the last factor's latency after.
bool automateWhileRunning(AEffect* e, const std::function<void()>& audio) {
  static const float kFactors[] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};  // 1x, 2x, 4x, 8x
  std::atomic<bool> done{false};
  float last = 0.0f;
  std::thread automation([&] {
    for (int i = 0; i < 16; i++) {
      last = kFactors[(i * 3) % 4];
      e->setParameter(e, tessarinehq::kParamOversampling, last);
      e->setParameter(e, tessarinehq::kParamDcFilter, (float)(i % 2));
      e->setParameter(e, tessarinehq::kParamLimit, (float)((i / 2) % 2));
      (void)e->getParameter(e, tessarinehq::kParamOversampling);
    }
    done = true;
  });
  do audio();
  while (!done);
  automation.join();
  return e->initialDelay == (VstInt32)tessarineoversampler::latencyOf(tessarinehq::factorOf(last));
}

// One instance's life as a scanner or a session load gives it; every third one is
// "+tessarine HQ" (made directly, as its module's entry makes it), its settings
// automated while blocks run. With a parent window every fourth instance also opens
// its editor, idles it (HQ's between the blocks, while the automation reaches it from
// its own thread) and closes it.
bool liveOnce(int n, unsigned long parent) {
  const bool hq = n % 3 == 1;
  AEffect* e = hq ? (new tessarinehq(quietHost))->getAeffect() : VSTPluginMain(quietHost);
  if (!e) return false;
  const HostedEffect host(e);
  host.dispatch(effOpen);
  host.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  host.dispatch(effMainsChanged, 0, 1);
  // Longer than the processor's chunk.
  constexpr VstInt32 kFrames = 300;
  float in[kFrames] = {0.5f}, out1[kFrames], out2[kFrames];
  float* inputs[2] = {in, in};
  float* outputs[2] = {out1, out2};
  e->setParameter(e, n % 6, 0.25f);
  host.dispatch(effSetProgram, 0, n % 10);
  const bool withEditor = parent && (n / 4) % 4 == 0;
  bool ok = !withEditor || host.dispatch(effEditOpen, 0, 0, (void*)parent) == 1;
  const auto block = [&] {
    e->processReplacing(e, inputs, outputs, kFrames);
    if (withEditor) host.dispatch(effEditIdle);
  };
  block();
  if (hq) ok = automateWhileRunning(e, block) && ok;
  if (withEditor) {
    host.dispatch(effEditIdle);
    host.dispatch(effEditClose);
  }
  host.dispatch(effMainsChanged, 0, 0);
  return host.dispatch(effClose) == 1 && ok;
}

}  // namespace

TEST_CASE("instances made and closed on four threads at once leave the bundle reference right") {
  // A window of a host's to open editors in, when there is a display.
  Display* display = XOpenDisplay(nullptr);
  unsigned long parent = 0;
  if (display) {
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 500, 200, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
  }

  std::atomic<int> lives{0}, failures{0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([&, t] {
      for (int n = t; std::chrono::steady_clock::now() < end; n += 4) {
        if (!liveOnce(n, parent)) failures++;
        lives++;
      }
    });
  for (std::thread& thread : threads) thread.join();
  MESSAGE(lives.load(), " instances lived and closed",
          std::string(display ? ", some with editors" : ""), "; ", gIoChanges.load(),
          " new latencies announced");
  CHECK(failures == 0);
  CHECK(lives > 8);
  // A third of them were HQ, each through every factor.
  CHECK(gIoChanges > 0);
  CHECK(gWrongDelays == 0);

  // No instance left: no bundle reference. One instance: this program's directory.
  CHECK(gBundleRef == nullptr);
  AEffect* e = VSTPluginMain(quietHost);
  REQUIRE(e);
  const HostedEffect host(e);
  REQUIRE(gBundleRef != nullptr);
  CHECK(std::string(gBundleRef) == programDirectory());
  host.dispatch(effClose);
  CHECK(gBundleRef == nullptr);
  if (display) XCloseDisplay(display);
}

TEST_CASE("every block is processed with one program's values while another thread switches") {
  tessarine effect(quietHost);
  AEffect* e = effect.getAeffect();
  const HostedEffect host(e);
  host.dispatch(effMainsChanged, 0, 1);
  // Program 0 is the 1st harmonic alone; program 1 a mix of all six.
  host.dispatch(effSetProgram, 0, 1);
  for (VstInt32 i = 0; i < kNumParams; i++) e->setParameter(e, i, 0.3f + 0.1f * i);

  constexpr int kFrames = 8;
  const float input[kFrames] = {-1.0f, -0.7f, -0.3f, 0.0f, 0.2f, 0.5f, 0.8f, 1.0f};
  const auto render = [&](float* out) {
    float spare[kFrames];
    float* inputs[2] = {const_cast<float*>(input), const_cast<float*>(input)};
    float* outputs[2] = {out, spare};
    e->processReplacing(e, inputs, outputs, kFrames);
  };
  float program[2][kFrames];
  for (int p = 0; p < 2; p++) {
    host.dispatch(effSetProgram, 0, p);
    render(program[p]);
  }
  REQUIRE(std::memcmp(program[0], program[1], sizeof(program[0])) != 0);

  std::atomic<bool> stop{false};
  std::thread switcher([&] {
    for (unsigned n = 0; !stop.load(std::memory_order_relaxed); n++)
      host.dispatch(effSetProgram, 0, n & 1);
  });
  long seen[3] = {0, 0, 0};  // program 0, program 1, a mix
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < end) {
    float out[kFrames];
    render(out);
    const int which = std::memcmp(out, program[0], sizeof(out)) == 0   ? 0
                      : std::memcmp(out, program[1], sizeof(out)) == 0 ? 1
                                                                       : 2;
    seen[which]++;
  }
  stop = true;
  switcher.join();
  MESSAGE(seen[0], " blocks of program 0, ", seen[1], " of program 1");
  CHECK(seen[2] == 0);
  CHECK(seen[0] > 0);
  CHECK(seen[1] > 0);
}
