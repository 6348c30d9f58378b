// The described plug-in's entry: the effect VSTPluginMain creates in tessarine.so.
// A module that brings its own createEffectInstance (tessarine-hq.so) never pulls
// this object out of the static library.

#include "tessarine.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
  return new tessarine(audioMaster);
}
