#pragma once
// The effect base class: owns the AEffect record handed to the host, turns the
// core opcodes 0 to 24 into virtual calls, and wraps the core host requests.

#include "aeffect.h"
#include "relaxed.h"

class AEffEditor;

class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  virtual ~AudioEffect();

  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt);

  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}

  virtual void setSampleRate(float sampleRate) { this->sampleRate = sampleRate; }
  virtual void setBlockSize(VstInt32 blockSize) { this->blockSize = blockSize; }

  virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
  virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    (void)inputs, (void)outputs, (void)sampleFrames;
  }

  virtual void setParameter(VstInt32 index, float value) { (void)index, (void)value; }
  virtual float getParameter(VstInt32 index) {
    (void)index;
    return 0.0f;
  }
  virtual void setParameterAutomated(VstInt32 index, float value);

  virtual VstInt32 getProgram() { return relaxedLoad(curProgram); }
  virtual void setProgram(VstInt32 program) { relaxedStore(curProgram, program); }
  virtual void setProgramName(char* name) { (void)name; }
  virtual void getProgramName(char* name) { *name = 0; }

  virtual void getParameterLabel(VstInt32 index, char* label) { (void)index, *label = 0; }
  virtual void getParameterDisplay(VstInt32 index, char* text) { (void)index, *text = 0; }
  virtual void getParameterName(VstInt32 index, char* text) { (void)index, *text = 0; }

  virtual VstInt32 getChunk(void** data, bool isPreset = false) {
    (void)data, (void)isPreset;
    return 0;
  }
  virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) {
    (void)data, (void)byteSize, (void)isPreset;
    return 0;
  }

  virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
  virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
  virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
  virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
  virtual void canDoubleReplacing(bool state = true) {
    setFlag(effFlagsCanDoubleReplacing, state);
  }
  virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
  virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

  virtual AEffEditor* getEditor() { return editor; }
  virtual AEffect* getAeffect() { return &cEffect; }
  virtual float getSampleRate() { return sampleRate; }
  virtual VstInt32 getBlockSize() { return blockSize; }

  virtual VstInt32 getMasterVersion();
  virtual VstInt32 getCurrentUniqueId();
  virtual VstIntPtr masterIdle();
  virtual bool isInputConnected(VstInt32 input);
  virtual bool isOutputConnected(VstInt32 output);

  virtual void dB2string(float value, char* text, VstInt32 maxLen);
  virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
  virtual void ms2string(float samples, char* text, VstInt32 maxLen);
  virtual void float2string(float value, char* text, VstInt32 maxLen);
  virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

  virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    (void)inputs, (void)outputs, (void)sampleFrames;
  }
  virtual float getVu() { return 0.0f; }
  virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
  virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
  virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
  virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
  virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }

  void setEditor(AEffEditor* editor);

  // The record's entries: each finds the effect through AEffect::object.
  static VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                       VstIntPtr value, void* ptr, float opt) noexcept;
  static float getParameterClass(AEffect* e, VstInt32 index) noexcept;
  static void setParameterClass(AEffect* e, VstInt32 index, float value) noexcept;
  static void processClass(AEffect* e, float** inputs, float** outputs,
                           VstInt32 sampleFrames) noexcept;
  static void processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                    VstInt32 sampleFrames) noexcept;
  static void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                          VstInt32 sampleFrames) noexcept;

 protected:
  void setFlag(VstInt32 flag, bool state);
  // Sends one request to the host; 0 when there is no callback.
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.0f);

  audioMasterCallback audioMaster;
  AEffEditor* editor;
  float sampleRate;
  VstInt32 blockSize;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 curProgram;
  AEffect cEffect;

 private:
  VstIntPtr dispatchEditor(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
};

// The one plug-in-specific factory, defined by the effect.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
