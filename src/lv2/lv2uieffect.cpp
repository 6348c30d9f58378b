#include "lv2uieffect.h"

#include <cmath>
#include <cstring>
#include <new>

#include "oversampler.h"
#include "tessarinehq.h"
#include "tessarinehqeditor.h"

lv2uieffect::lv2uieffect(const HostLink& host, bool hq)
    : AudioEffectX(nullptr, 1, hq ? tessarinehq::kNumHqParams : (VstInt32)kPortHarmonicCount),
      host(host),
      parameterCount(hq ? tessarinehq::kNumHqParams : (VstInt32)kPortHarmonicCount) {
  for (VstInt32 index = tessarinehq::kParamOversampling; index < kMaxParameters; index++)
    values[index] = tessarinehq::defaultOf(index);
  // The editor registers itself with this effect, which deletes it.
  if (hq)
    (void)new (std::nothrow) tessarinehqeditor(this);
  else
    (void)new (std::nothrow) tessarineeditor(this);
}

uint32_t lv2uieffect::portOf(VstInt32 index) {
  return index < tessarinehq::kParamOversampling
             ? (uint32_t)index
             : kHqPortOversampling + (uint32_t)(index - tessarinehq::kParamOversampling);
}

VstInt32 lv2uieffect::parameterOf(uint32_t port) const {
  if (port < kPortHarmonicCount) return (VstInt32)port;
  if (parameterCount > (VstInt32)kPortHarmonicCount && port >= kHqPortOversampling &&
      port <= kHqPortLimit)
    return tessarinehq::kParamOversampling + (VstInt32)(port - kHqPortOversampling);
  return -1;
}

tessarineeditor* lv2uieffect::getTessarineEditor() const {
  return static_cast<tessarineeditor*>(editor);
}

void lv2uieffect::setParameter(VstInt32 index, float value) {
  if (!std::isfinite(value) || !isParameter(index)) return;
  values[index] = value;
  if (tessarineeditor* view = getTessarineEditor()) view->setParameter(long(index), value);
}

float lv2uieffect::getParameter(VstInt32 index) {
  return isParameter(index) ? values[index] : 0.0f;
}

void lv2uieffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  if (!isParameter(index) || !host.write) return;
  float port;
  if (index < tessarinehq::kParamOversampling)
    port = dbFromNormalised(values[index]);
  else if (index == tessarinehq::kParamOversampling)
    port = (float)tessarinehq::factorOf(values[index]);
  else
    port = values[index] >= 0.5f ? 1.0f : 0.0f;
  host.write(host.controller, portOf(index), sizeof(port), 0, &port);
}

bool lv2uieffect::beginEdit(VstInt32 index) {
  return touch(index, true);
}

bool lv2uieffect::endEdit(VstInt32 index) {
  return touch(index, false);
}

bool lv2uieffect::touch(VstInt32 index, bool grabbed) {
  if (!isParameter(index) || !host.touch || !host.touch->touch) return false;
  host.touch->touch(host.touch->handle, portOf(index), grabbed);
  return true;
}

VstInt32 lv2uieffect::canHostDo(char* text) {
  return text && std::strcmp(text, "sizeWindow") == 0 && host.resize && host.resize->ui_resize ? 1
                                                                                               : 0;
}

bool lv2uieffect::sizeWindow(VstInt32 width, VstInt32 height) {
  if (!host.resize || !host.resize->ui_resize) return false;
  return host.resize->ui_resize(host.resize->handle, width, height) == 0;
}

void lv2uieffect::portEvent(uint32_t port, float value) {
  const VstInt32 index = parameterOf(port);
  if (index < 0 || !std::isfinite(value)) return;
  if (index < tessarinehq::kParamOversampling)
    setParameter(index, normalisedFromDb(value));
  else if (index == tessarinehq::kParamOversampling)
    setParameter(index, tessarinehq::valueOf(tessarineoversampler::nearestFactor(value)));
  else
    setParameter(index, value > 0.0f ? 1.0f : 0.0f);
}
