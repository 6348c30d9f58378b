#include "lv2uieffect.h"

#include <cmath>
#include <cstring>
#include <new>

#include "tessarineeditor.h"

lv2uieffect::lv2uieffect(const HostLink& host)
    : AudioEffectX(nullptr, 1, kPortHarmonicCount), host(host) {
  // The editor registers itself with this effect, which deletes it.
  (void)new (std::nothrow) tessarineeditor(this);
}

tessarineeditor* lv2uieffect::getTessarineEditor() const {
  return static_cast<tessarineeditor*>(editor);
}

void lv2uieffect::setParameter(VstInt32 index, float value) {
  if (!std::isfinite(value) || !isHarmonic(index)) return;
  values[index] = value;
  if (tessarineeditor* view = getTessarineEditor()) view->setParameter(long(index), value);
}

float lv2uieffect::getParameter(VstInt32 index) {
  return isHarmonic(index) ? values[index] : 0.0f;
}

void lv2uieffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  if (!isHarmonic(index) || !host.write) return;
  const float db = dbFromNormalised(values[index]);
  host.write(host.controller, (uint32_t)index, sizeof(db), 0, &db);
}

bool lv2uieffect::beginEdit(VstInt32 index) {
  return touch(index, true);
}

bool lv2uieffect::endEdit(VstInt32 index) {
  return touch(index, false);
}

bool lv2uieffect::touch(VstInt32 index, bool grabbed) {
  if (!isHarmonic(index) || !host.touch || !host.touch->touch) return false;
  host.touch->touch(host.touch->handle, (uint32_t)index, grabbed);
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
  if (port < kPortHarmonicCount) setParameter((VstInt32)port, normalisedFromDb(value));
}
