#pragma once
// One instance driven through its record, and buffers of exact size (asan catches overruns).

#include <cstring>
#include <memory>
#include <vector>

#include "aeffectx.h"
#include "hostrecorder.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

struct HostSession {
  HostRecorder host;
  AEffect* effect = VSTPluginMain(HostRecorder::callback);

  ~HostSession() {
    if (effect) dispatch(effClose);
  }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  void setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }
  float getParameter(VstInt32 index) { return effect->getParameter(effect, index); }
  void processReplacing(float** in, float** out, VstInt32 frames) {
    effect->processReplacing(effect, in, out, frames);
  }
};

// A text buffer of exactly `size` bytes on the heap, filled with junk so that a
// missing terminator shows.
struct GuardedText {
  explicit GuardedText(size_t size) : size(size), bytes(new char[size]) {
    std::memset(bytes.get(), 'x', size);
  }
  char* get() { return bytes.get(); }
  bool terminated() const { return strnlen(bytes.get(), size) < size; }
  size_t size;
  std::unique_ptr<char[]> bytes;
};

// Two channels of `frames` samples each, every channel its own allocation.
struct StereoBuffer {
  explicit StereoBuffer(long frames) : left(new float[frames]), right(new float[frames]) {}
  float* channels[2];
  std::unique_ptr<float[]> left, right;
  float** get() {
    channels[0] = left.get();
    channels[1] = right.get();
    return channels;
  }
};
