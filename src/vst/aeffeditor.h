#pragma once
// The editor interface the effect owns and the dispatcher drives, with the two
// records that pass between host and editor.

#include <cstdint>

#include "aeffect.h"

class AudioEffect;

// The editor rectangle of the host interface, in pixels.
struct ERect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};
static_assert(sizeof(ERect) == 8);

// A key event from the host. virt is a virtual-key code (0 when the key has none);
// modifier bits: 1 Shift, 2 Alt, 4 Control, 8 Command.
struct VstKeyCode {
  VstInt32 character;
  unsigned char virt;
  unsigned char modifier;
};
static_assert(offsetof(VstKeyCode, virt) == 4);
static_assert(offsetof(VstKeyCode, modifier) == 5);
static_assert(sizeof(VstKeyCode) == 8);

// Every operation has a do-nothing default, so an effect can carry the interface
// before any real editor exists.
class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect) : effect(effect), systemWindow(nullptr) {}
  virtual ~AEffEditor() {}

  virtual AudioEffect* getEffect() { return effect; }
  virtual bool getRect(ERect** rect) {
    *rect = nullptr;
    return false;
  }
  virtual bool open(void* ptr) {
    systemWindow = ptr;
    return false;
  }
  virtual void close() { systemWindow = nullptr; }
  virtual bool isOpen() { return systemWindow != nullptr; }
  virtual void idle() {}
  virtual void draw(ERect* rect) { (void)rect; }
  virtual VstInt32 mouse(VstInt32 x, VstInt32 y) {
    (void)x, (void)y;
    return 0;
  }
  virtual VstInt32 key(VstInt32 keyCode) {
    (void)keyCode;
    return 0;
  }
  virtual void top() {}
  virtual void sleep() {}
  virtual bool onKeyDown(VstKeyCode& keyCode) {
    (void)keyCode;
    return false;
  }
  virtual bool onKeyUp(VstKeyCode& keyCode) {
    (void)keyCode;
    return false;
  }
  virtual bool onWheel(float distance) {
    (void)distance;
    return false;
  }
  virtual bool setKnobMode(VstInt32 val) {
    (void)val;
    return false;
  }

 protected:
  AudioEffect* effect;
  void* systemWindow;
};
