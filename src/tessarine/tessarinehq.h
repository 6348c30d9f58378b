#pragma once
// "+tessarine HQ": the described plug-in's six harmonics, programs and editor, with
// three settings more: the oversampling factor around the curve, a DC high-pass and
// a clamp of the curve's input and the output to +-1. It reports the latency the
// oversampling adds and passes the input delayed by it while bypassed.

#include "tessarine.h"

class tessarinehq : public tessarine {
 public:
  static constexpr VstInt32 kParamOversampling = 6;
  static constexpr VstInt32 kParamDcFilter = 7;
  static constexpr VstInt32 kParamLimit = 8;
  static constexpr VstInt32 kNumHqParams = 9;

  explicit tessarinehq(audioMasterCallback audioMaster);

  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* label) override;
  bool getProductString(char* text) override;

  // The factor a normalised "Oversampling" value stands for: four steps, 1x at 0,
  // 2x at 1/3, 4x at 2/3, 8x at 1; and the value of a factor (1, 2, 4 or 8).
  static int factorOf(float value);
  static float valueOf(int factor);
  // The default of a setting (6 to 8): 4x, filter on, limit on.
  static float defaultOf(VstInt32 index);

 protected:
  void qualitySettings(int& factor, bool& dcFilter, bool& limit) override;

 private:
  std::atomic<float>* settingValue(VstInt32 index);
  void publishLatency();

  // Normalised, written whole by whichever thread sets them, read once a block.
  std::atomic<float> oversampling{defaultOf(kParamOversampling)};
  std::atomic<float> dcFilterOn{defaultOf(kParamDcFilter)};
  std::atomic<float> limitOn{defaultOf(kParamLimit)};
};
