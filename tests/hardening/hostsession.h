#pragma once
// One instance driven through its record, and buffers of exact size (asan catches overruns).

#include <cstring>
#include <memory>
#include <vector>

#include "aeffectx.h"
#include "hostedeffect.h"
#include "hostrecorder.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

// Made by the entry point once the recorder listens; closed with effClose at the end.
struct HostSession : HostedEffect {
  HostSession() { e = VSTPluginMain(HostRecorder::callback); }
  ~HostSession() {
    if (e) dispatch(effClose);
  }
  void setParameter(VstInt32 index, float value) { e->setParameter(e, index, value); }
  float getParameter(VstInt32 index) { return e->getParameter(e, index); }
  void processReplacing(float** in, float** out, VstInt32 frames) {
    e->processReplacing(e, in, out, frames);
  }

  HostRecorder host;
  AEffect*& effect = e;  // the record, by the name the hardening tests use
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
