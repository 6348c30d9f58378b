// The plug-in's only exported symbol.

#include "aeffectx.h"
#include "audioeffect.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(
    audioMasterCallback audioMaster) {
  // No effect exists yet, so the version query carries no record.
  if (!audioMaster || !audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f))
    return nullptr;
  try {
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
  } catch (...) {
    // Construction failed part-way (out of memory, say): null is the only
    // failure a host understands.
    return nullptr;
  }
}
