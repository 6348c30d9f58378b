#pragma once
// tessarineeditor: the plug-in's own editor. A fixed 419 x 145 panel: a logo strip,
// six knobs (one per harmonic parameter) with captions beneath, a target button that
// swaps the panel's four-colour scheme for random colours and back, and a bottom
// strip with the product line. It listens to all its controls: turning a knob is an
// automated parameter change of the effect, and the effect's parameter changes (from
// the host, from program selection or from the knobs themselves) move the knobs.
//
// Threads. open, close, idle and valueChanged run on the host's user-interface
// thread, which the editor recognises as the thread that last called open or idle.
// setParameter may come from any thread (a host's automation thread, say). On the
// user-interface thread it sets the knob at once; on any other thread it touches no
// control, since close may be deleting them at that moment, and only records which
// parameter changed, lock-free: the next idle pass moves that knob.

#include <atomic>
#include <cstdint>
#include <thread>

#include "aeffguieditor.h"
#include "control.h"
#include "geometry.h"

class VGBottomLabel;
class VGGrommetKnob;
class VGLogo;
class VGSimpleLabel;
class VGTargetButton;

class tessarineeditor : public AEffGUIEditor, public CControlListener {
 public:
  explicit tessarineeditor(AudioEffect* effect);
  // Closes the editor if the host has not.
  ~tessarineeditor() override;

  // Builds the panel in the host window ptr, in the default colours. False only
  // when memory runs out (nothing is left open then).
  bool open(void* ptr) override;
  // Deletes the frame and with it every control.
  void close() override;
  // Moves the knobs that other threads changed, then the frame's idle pass.
  void idle() override;

  // The effect's notification of a parameter change (any thread; see above). The
  // knob of index 0..5 shows the effect's stored value; other indices, or a closed
  // editor, change nothing.
  // Distinct from AEffGUIEditor::setParameter(int, float), which does nothing: the
  // effect calls this one with a long index. Bringing the base one into scope would
  // let an int index pick the do-nothing overload, so it stays hidden on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Woverloaded-virtual"
  virtual void setParameter(long index, float value);
#pragma GCC diagnostic pop
  // A control's value changed by the user: knobs become automated parameter
  // changes, the target button switches the colour scheme.
  void valueChanged(CDrawContext* context, CControl* control) override;

 protected:
  // For editors with more controls: `parameters` parameters shown (at most 32, the
  // first six the knobs), the panel's size in points.
  tessarineeditor(AudioEffect* effect, long parameters, int width, int height);
  // Creates the controls in drawing order. False when memory ran out.
  virtual bool addControls();
  // Shows the effect's value of parameter index (user-interface thread only).
  virtual void moveControl(long index);
  // Redraws what the colour scheme colours, after it changed.
  virtual void invalidateRecoloured();
  bool isParameterIndex(long index) const;
  CColor* getColors() { return plugColors; }

 private:
  bool addKnobAndCaption(int index);
  // The knob of parameter index 0..5, null for any other index.
  VGGrommetKnob* knobAt(long index) const;
  void moveChangedControls();
  void switchColors(bool randomColors);
  void rememberUserInterfaceThread();
  bool onUserInterfaceThread() const;

  bool m_opened;
  VGLogo* logo;
  VGGrommetKnob* oneKnob;
  VGGrommetKnob* twoKnob;
  VGGrommetKnob* threeKnob;
  VGGrommetKnob* fourKnob;
  VGGrommetKnob* fiveKnob;
  VGGrommetKnob* sevenKnob;
  VGSimpleLabel* oneLabel;
  VGSimpleLabel* twoLabel;
  VGSimpleLabel* threeLabel;
  VGSimpleLabel* fourLabel;
  VGSimpleLabel* fiveLabel;
  VGSimpleLabel* sevenLabel;
  VGBottomLabel* bottomLabel;
  VGTargetButton* invertColorButton;
  CColor plugColors[4];
  long parameterCount;  // the parameters with a control: knobs and settings

  // The thread that last called open or idle: the host's user-interface thread.
  std::atomic<std::thread::id> userInterfaceThread;
  // Bit i set: parameter i changed on another thread and its control has not followed yet.
  std::atomic<uint32_t> changedControls;
};
