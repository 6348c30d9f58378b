// The LV2 processor under the fuzzer, entered through lv2_descriptor as a host does:
// instantiate, connect every port (or leave some unconnected), activate, run blocks of
// 0 to 4096 frames with any port values and samples (also in place), deactivate, cleanup.
//
// Input (front to back; past the end every read gives 0): actions, each a kind byte % 4:
// 0 sets a control port (byte % 7) to raw float bits (4 bytes); 1 runs a block (frames:
// 2 bytes % 4097, then a layout byte: bit 0 in place, bit 1 second channel unconnected,
// bit 2 controls unconnected, and a 4-byte seed for the raw sample bits); 2
// deactivates and activates; 3 instantiates anew.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "lv2ports.h"
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

struct Session {
  const LV2_Descriptor* descriptor = lv2_descriptor(0);
  LV2_Handle handle = nullptr;
  float controls[kPortHarmonicCount + 1] = {0, -60, -60, -60, -60, -60, 1};
  std::vector<float> audio[4] = {std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames),
                                 std::vector<float>(kMaxFrames), std::vector<float>(kMaxFrames)};

  void open() {
    handle = descriptor->instantiate(descriptor, 48000.0, "", nullptr);
    if (!handle) std::abort();
    if (descriptor->activate) descriptor->activate(handle);
  }
  void close() {
    if (descriptor->deactivate) descriptor->deactivate(handle);
    descriptor->cleanup(handle);
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
    for (uint32_t port = 0; port <= kPortEnabled; port++)
      descriptor->connect_port(handle, port, layout & 4 ? nullptr : &controls[port]);
    const bool inPlace = layout & 1, mono = layout & 2;
    descriptor->connect_port(handle, kPortInput1, audio[0].data());
    descriptor->connect_port(handle, kPortInput2, mono ? nullptr : audio[1].data());
    descriptor->connect_port(handle, kPortOutput1, inPlace ? audio[0].data() : audio[2].data());
    descriptor->connect_port(handle, kPortOutput2, mono ? nullptr : inPlace ? audio[1].data() : audio[3].data());
    descriptor->run(handle, frames);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  Session session;
  session.open();
  for (int actions = 0; actions < 200 && input.position < size; actions++) {
    switch (input.byte() % 4) {
      case 0: {
        const uint32_t port = input.byte() % (kPortHarmonicCount + 1);
        const uint32_t bits = input.raw(4);
        std::memcpy(&session.controls[port], &bits, sizeof(float));
        break;
      }
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
