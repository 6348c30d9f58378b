#pragma once
// An effect as a host holds it: the record, its dispatcher with a host's defaults, and
// the editor's idle as a host's timer calls it. Test fixtures build on it; those that
// create the effect themselves set `e` once it exists.

#include <chrono>
#include <functional>
#include <thread>

#include "aeffectx.h"

struct HostedEffect {
  explicit HostedEffect(AEffect* effect = nullptr) : e(effect) {}

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }
  // Opens the editor in an X window (a window id, as a host passes it).
  VstIntPtr openEditor(unsigned long window) const {
    return dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
  }
  void idle() const { dispatch(effEditIdle); }
  // Idles every 2 ms, as a host's timer does, until done() or about 3 s passed.
  bool idleUntil(const std::function<bool()>& done) const {
    for (int i = 0; i < 1500; i++) {
      idle();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  AEffect* e;
};
