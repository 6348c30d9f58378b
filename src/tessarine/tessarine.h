#pragma once
// The harmonic waveshaper: six parameters weight the Chebyshev polynomials T1..T5
// and T7, ten programs hold named sets of them.

#include <atomic>
#include <cstdint>

#include "audioeffectx.h"
#include "tessarineprocessor.h"

constexpr int kNumPrograms = 10;
constexpr int kNumParams = 6;

// One preset: the six normalised harmonic amounts and a name.
struct tessarineprogram {
  tessarineprogram();

  float dbOne;
  float dbTwo;
  float dbThree;
  float dbFour;
  float dbFive;
  float dbSeven;
  char name[24];
};

class tessarine : public AudioEffectX {
 public:
  explicit tessarine(audioMasterCallback audioMaster);
  ~tessarine() override;

  void resume() override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void setProgram(VstInt32 program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* label) override;
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  bool setBypass(bool pBypass) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  // The host's content scale ('PreS' / 'AeCs', the factor in floatArg) goes to the
  // editor; answers 1 when the factor was taken.
  VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;

  // Level read-out: 0 reads vuIn, 1 vuOut; each read decays the stored value.
  float getVus(long index);

  // The output normalisation factor of the last processed block.
  float getGain() const { return gain; }
  VstInt32 getChannelMode() const { return channelMode; }

 protected:
  // For effects with more parameters after the six harmonics; they create their own
  // editor.
  tessarine(audioMasterCallback audioMaster, VstInt32 numParams);
  // The HQ chain's settings for the next block (oversampling factor, DC filter,
  // clamp); the described plug-in has none: the plain curve.
  virtual void qualitySettings(int& factor, bool& dcFilter, bool& limit) {
    factor = 1;
    dcFilter = limit = false;
  }

 private:
  void processActual(float** inputs, float** outputs, long sampleframes, bool replacing);
  void refreshWeights();
  bool loadLiveValues(float values[kNumParams]) const;
  std::atomic<float>* liveValue(VstInt32 index);
  static float* programValue(tessarineprogram& program, VstInt32 index);

  VstInt32 idleTimer;
  VstInt32 channelMode;
  tessarineprogram* programs;
  VstInt32 numChannels;
  float vuIn;
  float vuOut;
  float gain;
  // Written by whichever thread sets a parameter, read once a block by the audio
  // thread: each is one 32-bit value, read and written whole.
  std::atomic<bool> bypass;
  std::atomic<float> dbOne;
  std::atomic<float> dbTwo;
  std::atomic<float> dbThree;
  std::atomic<float> dbFour;
  std::atomic<float> dbFive;
  std::atomic<float> dbSeven;
  // A program switch stores the six values one after the other. The low byte counts
  // switches in progress, the rest counts finished ones: the audio thread takes the
  // six values as one set only when the word read before and after them is the same
  // and shows none in progress (see loadLiveValues).
  std::atomic<std::uint32_t> programSwitches{0};
  static constexpr std::uint32_t kProgramSwitchDone = 0x100;
  char programName[32];
  VstInt32 blocks;
  VstInt32 blockSize;
  VstInt32 bufferPosition;
  // The weights of the last processed block and the block processing. Used by the
  // audio thread only.
  tessarineprocessor processor;
};
