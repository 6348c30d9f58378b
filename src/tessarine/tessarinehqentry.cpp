// The entry of tessarine-hq.so: VSTPluginMain creates "+tessarine HQ".

#include "tessarinehq.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
  return new tessarinehq(audioMaster);
}
