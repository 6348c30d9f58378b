#pragma once
// Loads a VST 2.4 plug-in from a shared object and drives it the way a DAW does:
// one instance at a time, opened on construction and closed on destruction.

#include <memory>
#include <string>

#include "aeffectx.h"

struct HostSettings {
  int sampleRate = 48000;
  int blockSize = 512;
  bool monoInput = false;  // report the second input pin as not connected
};

class PluginHost {
 public:
  // Loads the library, creates the effect, opens it and announces the sample
  // rate and block size. Throws HostError when the file is not a plug-in.
  PluginHost(const std::string& path, const HostSettings& settings);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  const AEffect& record() const { return *effect_; }

  void resume();   // effMainsChanged 1
  void suspend();  // effMainsChanged 0

  std::string productString();
  std::string vendorString();
  VstIntPtr vendorVersion();

  std::string paramName(int index);
  std::string paramLabel(int index);
  std::string paramDisplay(int index);
  float paramValue(int index);
  void setParam(int index, float value);

  int program();
  void setProgram(int program);
  std::string programName(int program);
  // The current program's name, asked without switching programs.
  std::string currentProgramName();

  void setBypass(bool bypass);
  void processReplacing(float** inputs, float** outputs, int frames);

  // The plug-in's editor, opened in a window of the host (an X11 window id).
  bool hasEditor() const { return (effect_->flags & effFlagsHasEditor) != 0; }
  // The size the editor asks for before it opens; false when it gives none.
  bool editorSize(int& width, int& height);
  bool openEditor(unsigned long window);
  // Tells the plug-in the content scale of the editor's screen, as hosts do
  // (effVendorSpecific 'PreS' / 'AeCs', the factor in opt); true when it took it.
  bool setEditorScale(float factor);
  void idleEditor();
  void closeEditor();

 private:
  struct LibraryCloser {
    void operator()(void* handle) const;
  };

  static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                void* ptr, float opt);
  VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
  VstIntPtr pinConnected(VstInt32 index, bool isInput) const;

  void load(const std::string& path);
  AEffect* createEffect(const std::string& path);
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  std::string queryText(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
  std::string programNameBySwitching(int program);

  HostSettings settings_;
  std::unique_ptr<void, LibraryCloser> library_;
  AEffect* effect_ = nullptr;
  bool resumed_ = false;
};
