#pragma once
// A host callback that records every request and answers from a small table, so
// tests can check what the plug-in asks of its host and in which order.

#include <functional>
#include <map>
#include <vector>

#include "aeffectx.h"

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr;
  float opt;
};

struct HostRecorder {
  std::vector<HostCall> calls;
  std::map<VstInt32, VstIntPtr> answers{{audioMasterVersion, kVstVersion}};
  // Called at the moment of each request, before answering.
  std::function<void(AEffect*, const HostCall&)> onCall;

  static HostRecorder*& current() {
    static HostRecorder* recorder = nullptr;
    return recorder;
  }
  HostRecorder() { current() = this; }
  ~HostRecorder() { current() = nullptr; }

  static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                            void* ptr, float opt) {
    HostRecorder* self = current();
    if (!self) return 0;
    HostCall call{opcode, index, value, ptr, opt};
    self->calls.push_back(call);
    if (self->onCall) self->onCall(effect, call);
    auto answer = self->answers.find(opcode);
    return answer == self->answers.end() ? 0 : answer->second;
  }

  std::vector<HostCall> callsOf(VstInt32 opcode) const {
    std::vector<HostCall> found;
    for (const HostCall& call : calls)
      if (call.opcode == opcode) found.push_back(call);
    return found;
  }
};
