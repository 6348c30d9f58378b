// The LV2 interface binary: the described editor, or the HQ editor for "+tessarine
// HQ", in the host's ui:parent window, connected to the processor's ports through
// the lv2uieffect stand-in.
// lv2ui_descriptor is its one export.

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "frame.h"
#include "lv2uieffect.h"
#include "tessarineeditor.h"

namespace {

struct tessarinelv2ui {
  lv2uieffect* effect = nullptr;
  // The host's ui:scaleFactor option; 0 when it gives none (the editor then asks the
  // user's setting and the desktop).
  float scaleFactor = 0.0f;
  // The option's key and its value type, mapped when the host offers urid:map (0 else).
  LV2_URID scaleKey = 0;
  LV2_URID floatType = 0;
};

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; features++)
    if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  return nullptr;
}

// The ui:scaleFactor in a host's list of options; 0 when it has none. Options are
// keyed by URID, so only a host that also offers urid:map can name one.
float scaleFactorIn(const tessarinelv2ui& ui, const LV2_Options_Option* options) {
  if (!options || !ui.scaleKey) return 0.0f;
  for (const LV2_Options_Option* option = options; option->key || option->value; option++) {
    if (option->key != ui.scaleKey || option->type != ui.floatType ||
        option->size != sizeof(float) || !option->value)
      continue;
    return *static_cast<const float*>(option->value);
  }
  return 0.0f;
}

void mapOptionKeys(tessarinelv2ui& ui, const LV2_Feature* const* features) {
  const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
  if (!map || !map->map) return;
  ui.scaleKey = map->map(map->handle, LV2_UI__scaleFactor);
  ui.floatType = map->map(map->handle, LV2_ATOM__Float);
}

void cleanup(LV2UI_Handle handle) {
  tessarinelv2ui* ui = static_cast<tessarinelv2ui*>(handle);
  if (tessarineeditor* editor = ui->effect ? ui->effect->getTessarineEditor() : nullptr)
    editor->close();
  delete ui->effect;  // and with it the editor
  delete ui;
}

// Opens the editor in the parent window and tells the host its window and size.
bool openEditor(tessarinelv2ui& ui, void* parent, LV2UI_Widget* widget,
                const LV2UI_Resize* resize) {
  tessarineeditor* editor = ui.effect->getTessarineEditor();
  if (!editor) return false;
  // The host's factor comes after the user's own (TESSARINE_SCALE); a value outside
  // 1 to 4, or none, is ignored and the desktop's is used.
  editor->setHostScaleFactor(ui.scaleFactor);
  if (!editor->open(parent)) return false;
  CFrame* frame = editor->getFrame();
  if (!frame || !frame->getWindowId()) return false;
  *widget = reinterpret_cast<LV2UI_Widget>((uintptr_t)frame->getWindowId());
  ERect* rect = nullptr;
  if (resize && resize->ui_resize && editor->getRect(&rect) && rect)
    resize->ui_resize(resize->handle, rect->right - rect->left, rect->bottom - rect->top);
  return true;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor* descriptor, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) noexcept {
  void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
  // Each interface is its own plug-in's.
  const bool hq = descriptor && descriptor->URI && std::strcmp(descriptor->URI, TESSARINE_LV2_HQ_UI_URI) == 0;
  if (!pluginUri || !parent || !widget ||
      std::strcmp(pluginUri, hq ? TESSARINE_LV2_HQ_URI : TESSARINE_LV2_URI) != 0)
    return nullptr;
  tessarinelv2ui* ui = new (std::nothrow) tessarinelv2ui();
  if (!ui) return nullptr;
  lv2uieffect::HostLink link;
  link.write = write;
  link.controller = controller;
  link.touch = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
  link.resize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize));
  mapOptionKeys(*ui, features);
  ui->scaleFactor = scaleFactorIn(
      *ui, static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options)));
  try {
    ui->effect = new lv2uieffect(link, hq);
  } catch (...) {
    ui->effect = nullptr;
  }
  const auto* resize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize));
  if (!ui->effect || !openEditor(*ui, parent, widget, resize)) {
    cleanup(ui);
    return nullptr;
  }
  return ui;
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t bufferSize, uint32_t format,
               const void* buffer) {
  // Format 0 is a plain float, the only kind the control ports carry.
  if (format != 0 || bufferSize != sizeof(float) || !buffer) return;
  float value;
  std::memcpy(&value, buffer, sizeof(value));
  static_cast<tessarinelv2ui*>(handle)->effect->portEvent(port, value);
}

int idle(LV2UI_Handle handle) {
  if (tessarineeditor* editor = static_cast<tessarinelv2ui*>(handle)->effect->getTessarineEditor())
    editor->idle();
  return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

// A new ui:scaleFactor while the editor is open (the window moved to another
// screen, the user changed the desktop's scale): the editor asks the host for its
// new size through ui:resize and redraws at the new factor.
uint32_t setOptions(LV2_Handle handle, const LV2_Options_Option* options) {
  tessarinelv2ui* ui = static_cast<tessarinelv2ui*>(handle);
  const float factor = scaleFactorIn(*ui, options);
  if (factor == 0.0f) return LV2_OPTIONS_ERR_BAD_KEY;
  ui->scaleFactor = factor;
  tessarineeditor* editor = ui->effect->getTessarineEditor();
  return editor && editor->setHostScaleFactor(factor) ? LV2_OPTIONS_SUCCESS
                                                      : LV2_OPTIONS_ERR_BAD_VALUE;
}

uint32_t getOptions(LV2_Handle, LV2_Options_Option*) {
  return LV2_OPTIONS_ERR_UNKNOWN;
}

const LV2_Options_Interface kOptionsInterface = {getOptions, setOptions};

const void* extensionData(const char* uri) {
  if (!uri) return nullptr;
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
  if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptionsInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptors[] = {
    {TESSARINE_LV2_UI_URI, instantiate, cleanup, portEvent, extensionData},
    {TESSARINE_LV2_HQ_UI_URI, instantiate, cleanup, portEvent, extensionData},
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index < sizeof(kDescriptors) / sizeof(kDescriptors[0]) ? &kDescriptors[index] : nullptr;
}
