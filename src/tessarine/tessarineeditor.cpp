#include "tessarineeditor.h"

#include <cstdlib>
#include <new>

#include "audioeffectx.h"
#include "frame.h"
#include "vgbutton.h"
#include "vgknob.h"
#include "vglabel.h"
#include "vglogo.h"

static_assert(std::atomic<std::thread::id>::is_always_lock_free,
              "the editor's thread check must not lock");

namespace {

constexpr int kEditorWidth = 419;
constexpr int kEditorHeight = 145;
constexpr int kKnobCount = 6;

// Tags of the controls that are not knobs (knobs carry their parameter index).
constexpr long kLogoTag = -1;
constexpr long kLabelTag = -99;
constexpr long kColorButtonTag = -8888;

// Entries: back, fore, highlight and text colour.
constexpr CColor kDefaultColors[4] = {
    {13, 0, 39, 255}, {144, 8, 0, 255}, {80, 189, 216, 255}, {0, 0, 0, 255}};

// Knobs are 66 x 66, 69 pixels apart; each caption is 64 x 15 right below its knob.
constexpr int kKnobLeft = 5;
constexpr int kKnobPitch = 69;
constexpr int kKnobSize = 66;
constexpr int kKnobTop = 36;
constexpr int kCaptionWidth = 64;
constexpr int kCaptionHeight = 15;

const char* const kCaptions[kKnobCount] = {"1st c. p.", "2nd c. p.", "3rd c. p.",
                                           "4th c. p.", "5th c. p.", "7th c. p."};

constexpr const char* kProductName = "+ t e s s a r i n e";
constexpr const char* kProductLine = "Quorvalin +tessarine vst - v. fire - 2026 Quorvalin";

// Everything left of the target button, which redraws through its own dirty flag.
const CRect kRecolouredArea(0, 0, 395, kEditorHeight);

// One channel of a random colour: 0..254, from the process's unseeded generator.
unsigned char randomChannel() {
  return (unsigned char)(std::rand() % 255);
}

}  // namespace

tessarineeditor::tessarineeditor(AudioEffect* effect)
    : tessarineeditor(effect, kKnobCount, kEditorWidth, kEditorHeight) {}

tessarineeditor::tessarineeditor(AudioEffect* effect, long parameters, int width, int height)
    : AEffGUIEditor(effect),
      CControlListener(),
      m_opened(false),
      logo(nullptr),
      oneKnob(nullptr),
      twoKnob(nullptr),
      threeKnob(nullptr),
      fourKnob(nullptr),
      fiveKnob(nullptr),
      sevenKnob(nullptr),
      oneLabel(nullptr),
      twoLabel(nullptr),
      threeLabel(nullptr),
      fourLabel(nullptr),
      fiveLabel(nullptr),
      sevenLabel(nullptr),
      bottomLabel(nullptr),
      invertColorButton(nullptr),
      plugColors{kDefaultColors[0], kDefaultColors[1], kDefaultColors[2], kDefaultColors[3]},
      parameterCount(parameters < 32 ? parameters : 32),
      userInterfaceThread(std::thread::id()),
      changedControls(0) {
  rect = {0, 0, (int16_t)height, (int16_t)width};
}

bool tessarineeditor::isParameterIndex(long index) const {
  return index >= 0 && index < parameterCount;
}

// A host may close the effect while the editor is still open: the frame, its controls
// and its child window go with the editor rather than staying behind.
tessarineeditor::~tessarineeditor() {
  close();
}

bool tessarineeditor::open(void* ptr) {
  rememberUserInterfaceThread();
  // A host that opens again without closing gets a fresh panel; the old frame and
  // its window would otherwise be lost.
  if (frame) close();
  // The knobs start from the effect's values as they are now; older changes from
  // other threads need no replay.
  changedControls.store(0, std::memory_order_relaxed);
  AEffEditor::open(ptr);
  switchColors(false);
  frame = new (std::nothrow) CFrame(CRect(0, 0, rect.right, rect.bottom), ptr, this);
  // Without a window of its own (no display, a parent that is no window, no file
  // descriptor left) the host must hear that the editor failed rather than show an
  // empty frame: nothing is kept, and a later open may still succeed. A null parent
  // (which effEditOpen never passes on) asks for the panel without any window.
  if (!frame || (ptr && !frame->getPlatformControl())) {
    close();
    systemWindow = nullptr;
    return false;
  }
  frame->setBackgroundColor(kWhiteCColor);
  if (!addControls()) {
    close();
    systemWindow = nullptr;
    return false;
  }
  m_opened = true;
  return true;
}

// Creates the controls in drawing order (later ones on top), each configured before
// the frame takes it over. False when memory ran out.
bool tessarineeditor::addControls() {
  logo = new (std::nothrow) VGLogo(CRect(5, 5, 414, 31), this, kLogoTag, plugColors);
  if (!logo) return false;
  logo->setName(kProductName);
  frame->addView(logo);

  for (int index = 0; index < kKnobCount; index++)
    if (!addKnobAndCaption(index)) return false;

  invertColorButton =
      new (std::nothrow) VGTargetButton(CRect(399, 115, 416, 132), this, kColorButtonTag, plugColors);
  if (!invertColorButton) return false;
  frame->addView(invertColorButton);

  bottomLabel = new (std::nothrow)
      VGBottomLabel(CRect(0, 135, kEditorWidth, kEditorHeight), this, kLabelTag, plugColors);
  if (!bottomLabel) return false;
  bottomLabel->setName(kProductLine);
  frame->addView(bottomLabel);
  return true;
}

// The knob of parameter index and the caption under it. False when memory ran out.
bool tessarineeditor::addKnobAndCaption(int index) {
  VGGrommetKnob** const knobs[kKnobCount] = {&oneKnob,  &twoKnob,  &threeKnob,
                                             &fourKnob, &fiveKnob, &sevenKnob};
  VGSimpleLabel** const captions[kKnobCount] = {&oneLabel,  &twoLabel,  &threeLabel,
                                                &fourLabel, &fiveLabel, &sevenLabel};
  const int left = kKnobLeft + index * kKnobPitch;
  const int bottom = kKnobTop + kKnobSize;

  VGGrommetKnob* knob = new (std::nothrow)
      VGGrommetKnob(CRect(left, kKnobTop, left + kKnobSize, bottom), this, index, plugColors);
  *knobs[index] = knob;
  if (!knob) return false;
  knob->setLabel("dB");
  knob->setValue(effect->getParameter(index));
  // The read-out's range in decibels; the value itself stays the effect's 0..1.
  knob->setMaxValue(0);
  knob->setMinValue(-60);
  frame->addView(knob);

  VGSimpleLabel* caption = new (std::nothrow) VGSimpleLabel(
      CRect(left, bottom, left + kCaptionWidth, bottom + kCaptionHeight), this, kLabelTag,
      plugColors);
  *captions[index] = caption;
  if (!caption) return false;
  caption->setName(kCaptions[index]);
  frame->addView(caption);
  return true;
}

// The control pointers are left as they are: only the frame is looked at from now on.
void tessarineeditor::close() {
  rememberUserInterfaceThread();
  m_opened = false;
  delete frame;
  frame = nullptr;
}

void tessarineeditor::idle() {
  rememberUserInterfaceThread();
  moveChangedControls();
  AEffGUIEditor::idle();
}

void tessarineeditor::setParameter(long index, float value) {
  (void)value;  // the knob shows the value the effect stored
  if (!isParameterIndex(index)) return;
  if (onUserInterfaceThread()) {
    moveControl(index);
    return;
  }
  changedControls.fetch_or(1u << index, std::memory_order_release);
}

VGGrommetKnob* tessarineeditor::knobAt(long index) const {
  VGGrommetKnob* const knobs[kKnobCount] = {oneKnob,  twoKnob,  threeKnob,
                                            fourKnob, fiveKnob, sevenKnob};
  return index >= 0 && index < kKnobCount ? knobs[index] : nullptr;
}

// User-interface thread only.
void tessarineeditor::moveControl(long index) {
  if (!frame) return;
  if (VGGrommetKnob* knob = knobAt(index)) knob->setValue(effect->getParameter((VstInt32)index));
}

// User-interface thread only: the controls of the parameters other threads changed.
void tessarineeditor::moveChangedControls() {
  uint32_t changed = changedControls.exchange(0, std::memory_order_acquire);
  for (long index = 0; changed; index++, changed >>= 1)
    if (changed & 1u) moveControl(index);
}

void tessarineeditor::invalidateRecoloured() {
  if (frame) frame->invalidate(kRecolouredArea);
}

void tessarineeditor::valueChanged(CDrawContext* context, CControl* control) {
  (void)context;
  const long tag = control->getTag();
  if (tag == kColorButtonTag) {
    switchColors(control->getValue() > 0.5f);
    invalidateRecoloured();
    return;
  }
  // Only the knobs (and an HQ editor's settings) stand for parameters. The captions,
  // the bottom strip and the logo
  // also report their clicks (tags -99 and -1), but those are no parameter index: a
  // host told to automate parameter -99 may index its automation lanes with it.
  if (isParameterIndex(tag)) effect->setParameterAutomated((VstInt32)tag, control->getValue());
  control->setDirty(true);
}

// Random colours for the back, fore and highlight entries (red, green, blue in that
// order each, opaque), the text colour kept; or the whole default table.
void tessarineeditor::switchColors(bool randomColors) {
  if (!randomColors) {
    for (int i = 0; i < 4; i++) plugColors[i] = kDefaultColors[i];
    return;
  }
  for (int i = 0; i < 3; i++) {
    CColor& entry = plugColors[i];
    entry.red = randomChannel();
    entry.green = randomChannel();
    entry.blue = randomChannel();
    entry.alpha = 255;
  }
}

void tessarineeditor::rememberUserInterfaceThread() {
  userInterfaceThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

bool tessarineeditor::onUserInterfaceThread() const {
  return userInterfaceThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}
