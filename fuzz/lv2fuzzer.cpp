// The LV2 processors under the fuzzer, entered through lv2_descriptor as a host does:
// the described plug-in or "+tessarine HQ", instantiated, every port connected (or some
// left unconnected), activated, blocks of 0 to 4096 frames run with any port values and
// samples (also in place), deactivated, cleaned up. Besides the sanitizers, HQ's latency
// output is checked: after every run it holds the latency of one of its factors.
//
// Input (front to back; past the end every read gives 0): the plug-in (byte % 2: 0 the
// described one, 1 HQ), then actions, each a kind byte % 4: 0 sets a control port (byte
// % the plug-in's control ports: 7, or HQ's 10) to raw float bits (4 bytes); 1 runs a
// block (frames: 2 bytes % 4097, then a layout byte: bit 0 in place, bit 1 second channel
// unconnected, bit 2 controls (and HQ's latency output) unconnected, and a 4-byte seed for
// the raw sample bits); 2 deactivates and activates; 3 instantiates anew.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "lv2ports.h"
#include "oversampler.h"
#include "tessarinelv2.h"

namespace {

constexpr uint32_t kMaxFrames = 4096;

struct Input {
  const uint8_t* data;
  size_t size;
  size_t position = 0;
  uint8_t byte() { return position < size ? data[position++] : 0; }
  uint32_t raw(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; i++) value |= (uint32_t)byte() << (8 * i);
    return value;
  }
};

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "lv2fuzzer: %s\n", what);
  std::abort();
}

// Whether a latency output holds the latency of one of the factors 1, 2, 4 and 8.
bool someFactorsLatency(float latency) {
  for (int factor = 1; factor <= tessarineoversampler::kMaxFactor; factor *= 2)
    if (latency == (float)tessarineoversampler::latencyOf(factor)) return true;
  return false;
}

struct Session {
  explicit Session(uint8_t which)
      : hq(which % 2 == 1),
        descriptor(lv2_descriptor(hq ? 1 : 0)),
        controlCount(hq ? (uint32_t)kHqPortInput1 : (uint32_t)kPortInput1) {}

  const bool hq;
  const LV2_Descriptor* descriptor;
  // The control ports come first, then the four audio ports, then HQ's latency.
  const uint32_t controlCount;
  LV2_Handle handle = nullptr;
  // The harmonics at -60 dB but the first, enabled; HQ at 4x with filter and limit.
  float controls[kHqPortInput1] = {0, -60, -60, -60, -60, -60, 1, 4, 1, 1};
  float latency = 0.0f;
  std::vector<float> audio[4] = {std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames),
                                 std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames)};

  void open() {
    if (!descriptor) std::abort();
    handle = descriptor->instantiate(descriptor, 48000.0, "", nullptr);
    if (!handle) std::abort();
    if (descriptor->activate) descriptor->activate(handle);
  }
  void close() {
    if (descriptor->deactivate) descriptor->deactivate(handle);
    descriptor->cleanup(handle);
  }
  void setControl(Input& input) {
    const uint32_t port = input.byte() % controlCount;
    const uint32_t bits = input.raw(4);
    std::memcpy(&controls[port], &bits, sizeof(float));
  }
  void run(Input& input) {
    const uint32_t frames = input.raw(2) % (kMaxFrames + 1);
    const uint8_t layout = input.byte();
    std::mt19937 random(input.raw(4));
    for (auto& channel : audio)
      for (uint32_t i = 0; i < frames; i++) {
        const uint32_t bits = random();
        std::memcpy(&channel[i], &bits, sizeof(float));
      }
    const bool noControls = layout & 4;
    for (uint32_t port = 0; port < controlCount; port++)
      descriptor->connect_port(handle, port, noControls ? nullptr : &controls[port]);
    if (hq) descriptor->connect_port(handle, kHqPortLatency, noControls ? nullptr : &latency);
    const bool inPlace = layout & 1, mono = layout & 2;
    const uint32_t in1 = controlCount, in2 = in1 + 1, out1 = in1 + 2, out2 = in1 + 3;
    descriptor->connect_port(handle, in1, audio[0].data());
    descriptor->connect_port(handle, in2, mono ? nullptr : audio[1].data());
    descriptor->connect_port(handle, out1, inPlace ? audio[0].data() : audio[2].data());
    descriptor->connect_port(handle, out2,
                             mono      ? nullptr
                             : inPlace ? audio[1].data()
                                       : audio[3].data());
    latency = -1.0f;
    descriptor->run(handle, frames);
    if (hq && !noControls)
      require(someFactorsLatency(latency), "latency output not a factor's latency");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  Session session(input.byte());
  session.open();
  for (int actions = 0; actions < 200 && input.position < size; actions++) {
    switch (input.byte() % 4) {
      case 0:
        session.setControl(input);
        break;
      case 1:
        session.run(input);
        break;
      case 2:
        if (session.descriptor->deactivate) session.descriptor->deactivate(session.handle);
        if (session.descriptor->activate) session.descriptor->activate(session.handle);
        break;
      default:
        session.close();
        session.open();
    }
  }
  session.close();
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }
