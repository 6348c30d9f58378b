#include "frame.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "aeffguieditor.h"
#include "audioeffectx.h"
#include "dragcontainer.h"
#include "drawcontext.h"
#include "platformclock.h"
#include "platformevent.h"
#include "scalefactor.h"
#include "x11window.h"

// The window description of the host interface that audioMasterOpenWindow takes:
// the 32-bit record's field order and widths, pointers pointer-sized.
struct VstWindow {
  char title[128];
  int16_t xPos;
  int16_t yPos;
  int16_t width;
  int16_t height;
  int32_t style;
  void* parent;
  void* userHandle;
  void* winHandle;
  char future[104];
};

namespace {
AEffGUIEditor* editorOf(void* pEditor) {
  return static_cast<AEffGUIEditor*>(pEditor);
}

// The effect behind the editor, when it can make the extended host requests.
AudioEffectX* effectOf(void* pEditor) {
  AEffGUIEditor* editor = editorOf(pEditor);
  return editor ? dynamic_cast<AudioEffectX*>(editor->getEffect()) : nullptr;
}
}  // namespace

CFrame::CFrame(const CRect& inSize, void* inSystemWindow, void* inEditor)
    : CViewContainer(inSize, nullptr, nullptr) {
  initFields(inEditor);
  pSystemWindow = inSystemWindow;
  setOpenFlag(true);
  initFrame(inSystemWindow);
}

CFrame::CFrame(const CRect& inSize, const char* inTitle, void* inEditor, long inStyle)
    : CViewContainer(inSize, nullptr, nullptr) {
  initFields(inEditor);
  bAddedWindow = true;
  setOpenFlag(false);
  pVstWindow = static_cast<VstWindow*>(std::calloc(1, sizeof(VstWindow)));
  if (!pVstWindow) return;
  if (inTitle) std::strncpy(pVstWindow->title, inTitle, sizeof pVstWindow->title - 1);
  pVstWindow->xPos = (int16_t)inSize.left;
  pVstWindow->yPos = (int16_t)inSize.top;
  pVstWindow->width = (int16_t)inSize.width();
  pVstWindow->height = (int16_t)inSize.height();
  pVstWindow->style = (int32_t)inStyle;
}

void CFrame::initFields(void* inEditor) {
  pEditor = inEditor;
  pSystemWindow = nullptr;
  pModalView = nullptr;
  pFocusView = nullptr;
  bFirstDraw = true;
  bOpenFlag = false;
  bDropActive = false;
  bUpdatesDisabled = false;
  controlRef = nullptr;
  hasFocus = false;
  hiScrollOffset = CPoint(0, 0);
  pFrameContext = nullptr;
  bAddedWindow = false;
  pVstWindow = nullptr;
  pDragContainer = nullptr;
  pParentFrame = this;
  scaleFactor = pEditor ? editorOf(pEditor)->getScaleFactor() : 1.f;
}

CFrame::~CFrame() {
  if (pModalView) removeView(pModalView, false);
  pModalView = nullptr;
  setCursor(kCursorDefault);
  // Ends a drag in progress too: the views see it leave.
  setDropActive(false);
  endDrag(pDragContainer);
  // setDrawContext takes no reference, so there is none to give back here.
  pFrameContext = nullptr;
  if (bAddedWindow) close();
  std::free(pVstWindow);
  // The children go while the frame and its window still exist, in case their
  // destruction asks anything of the frame.
  removeAll(true);
  pFocusView = nullptr;
  delete controlRef;
  controlRef = nullptr;
}

bool CFrame::initFrame(void* systemWin) {
  if (!systemWin) return false;
  int error = 0;
  const float f = scaleFactor;
  controlRef = X11Window::create((unsigned long)(uintptr_t)systemWin, scaledLength(size.left, f),
                                 scaledLength(size.top, f), scaledLength(size.width(), f),
                                 scaledLength(size.height(), f), platformEventHandler, this, &error,
                                 f);
  if (!controlRef) {
    std::fprintf(stderr, "Could not create Control : %d\n", error);
    return false;
  }
  // From now on the frame's coordinates are its window's.
  size.moveTo(0, 0);
  mouseableArea.moveTo(0, 0);
  setDropActive(true);
  return true;
}

bool CFrame::open(CPoint* point) {
  if (!bAddedWindow || !pVstWindow) return false;
  if (point) {
    pVstWindow->xPos = (int16_t)point->h;
    pVstWindow->yPos = (int16_t)point->v;
  }
  AudioEffectX* effect = effectOf(pEditor);
  if (!effect) return false;
  pSystemWindow = effect->openWindow(pVstWindow);
  if (!pSystemWindow) return false;
  initFrame(pSystemWindow);
  setOpenFlag(true);
  return true;
}

bool CFrame::close() {
  if (!bAddedWindow || !pSystemWindow) return false;
  // open() turns it on again with the new window.
  setDropActive(false);
  delete controlRef;
  controlRef = nullptr;
  if (AudioEffectX* effect = effectOf(pEditor)) effect->closeWindow(pVstWindow);
  pSystemWindow = nullptr;
  return true;
}

// ---- services for views and controls ---------------------------------------------

CDrawContext* CFrame::createDrawContext() {
  if (pFrameContext) {
    pFrameContext->remember();
    return pFrameContext;
  }
  return new (std::nothrow) CDrawContext(this, nullptr, pSystemWindow);
}

bool CFrame::getCurrentLocation(CPoint& where) {
  if (CDrawContext* context = createDrawContext()) {
    context->getMouseLocation(where);
    context->forget();
  }
  return true;
}

long CFrame::getTicks() const {
  return pEditor ? (long)editorOf(pEditor)->getTicks() : 0;
}

long CFrame::getKnobMode() const {
  return AEffGUIEditor::getKnobMode();
}

void CFrame::beginEdit(long index) {
  if (pEditor) editorOf(pEditor)->beginEdit((VstInt32)index);
}

void CFrame::endEdit(long index) {
  if (pEditor) editorOf(pEditor)->endEdit((VstInt32)index);
}

void CFrame::doIdleStuff() {
  if (pEditor) editorOf(pEditor)->doIdleStuff();
  if (pFrameContext) pFrameContext->synchronizeCGContext();
}

void CFrame::invalidate(const CRect& rect) {
  for (CCView* link = pFirstView; link; link = link->pNext) {
    CRect viewSize;
    link->pView->getViewSize(viewSize);
    if (viewSize.rectOverlap(rect)) link->pView->setDirty(true);
  }
}

bool CFrame::updatesDisabled(bool state) {
  const bool previous = bUpdatesDisabled;
  bUpdatesDisabled = state;
  return previous;
}

void CFrame::draw(CView* pView) {
  CDrawContext* context = createDrawContext();
  if (!context) return;
  if (pView && isChild(pView))
    pView->draw(context);
  else
    draw(context);
  context->forget();
}

CView* CFrame::getCurrentView() const {
  return pModalView ? pModalView : CViewContainer::getCurrentView();
}

void* CFrame::getEditor() const {
  return pEditor;
}

void CFrame::dumpHierarchy() {
  dumpInfo();
  DebugPrint("\n");
  CViewContainer::dumpHierarchy();
}

bool CFrame::isTypeOf(const char* s) const {
  return std::strcmp(s, "CFrame") == 0 || CViewContainer::isTypeOf(s);
}

bool CFrame::setDropActive(bool val) {
  if (!bDropActive && !val) return true;
  if (controlRef) controlRef->setDropTarget(val);
  bDropActive = val;
  return true;
}

void CFrame::setCursor(CCursorType type) {
  if (controlRef) controlRef->setCursor((int)type);
}

// ---- idle and drawing ------------------------------------------------------------

bool CFrame::isCollapsed() const {
  return controlRef && !controlRef->isViewable();
}

void CFrame::idle() {
  // The cheap tests first: whether the window is visible may take a round trip to
  // the X server, worth it only when there is something to draw.
  if (!isOpen() || bFirstDraw || !isDirty() || isCollapsed()) return;
  if (CDrawContext* context = createDrawContext()) {
    update(context);
    context->forget();
  }
}

void CFrame::update(CDrawContext* pContext) {
  if (!isOpen() || bUpdatesDisabled || !pContext) return;
  if (bDirty) {
    draw(pContext);
    setDirty(false);
    return;
  }
  CRect keptClip;
  pContext->getClipRect(keptClip);
  if (pModalView && pModalView->isDirty()) pModalView->update(pContext);
  for (CCView* link = pFirstView; link; link = link->pNext) {
    CRect clip;
    link->pView->getViewSize(clip);
    clip.bound(keptClip);
    pContext->setClipRect(clip);
    link->pView->update(pContext);
  }
  pContext->setClipRect(keptClip);
}

void CFrame::draw(CDrawContext* pContext) {
  bFirstDraw = false;
  if (!pContext) pContext = pFrameContext;
  if (pContext) CViewContainer::draw(pContext);
}

void CFrame::drawRect(CDrawContext* pContext, const CRect& updateRect) {
  bFirstDraw = false;
  CDrawContext* created = nullptr;
  if (!pContext) pContext = created = createDrawContext();
  if (!pContext) return;
  CRect keptClip;
  pContext->getClipRect(keptClip);
  CRect clip(updateRect);
  clip.bound(keptClip);
  pContext->setClipRect(clip);
  if (updateRect.width() > 0 && updateRect.height() > 0)
    CViewContainer::drawRect(pContext, updateRect);
  pContext->setClipRect(keptClip);
  if (created) created->forget();
}

// ---- mouse, wheel, keys, focus ---------------------------------------------------

void CFrame::mouse(CDrawContext* pContext, CPoint& where, long buttons) {
  if (!pContext) pContext = pFrameContext;
  // Every click first takes the keyboard focus away.
  if (pFocusView) setFocusView(nullptr);
  if (buttons == -1 && pContext) buttons = pContext->getMouseButtons();
  if (!pModalView) {
    CViewContainer::mouse(pContext, where, buttons);
    return;
  }
  if (pModalView->hitTest(where, buttons)) pModalView->mouse(pContext, where, buttons);
}

bool CFrame::onWheel(CDrawContext* pContext, const CPoint& where, CMouseWheelAxis axis,
                     float distance) {
  CView* target = pModalView ? pModalView : getViewAt(where, false);
  if (!target) return false;
  CDrawContext* created = nullptr;
  if (!pContext) pContext = created = createDrawContext();
  const bool result = target->onWheel(pContext, where, axis, distance);
  if (created) created->forget();
  return result;
}

bool CFrame::onWheel(CDrawContext* pContext, const CPoint& where, float distance) {
  return onWheel(pContext, where, kMouseWheelAxisY, distance);
}

long CFrame::onKeyDown(VstKeyCode& keyCode) {
  long result = pFocusView ? pFocusView->onKeyDown(keyCode) : -1;
  if (result == -1 && pModalView) result = pModalView->onKeyDown(keyCode);
  if (result == -1 && keyCode.virt == 2)  // Tab; Shift-Tab goes backwards
    result = advanceNextFocusView(pFocusView, (keyCode.modifier & 1) != 0) ? 1 : -1;
  return result;
}

long CFrame::onKeyUp(VstKeyCode& keyCode) {
  long result = pFocusView ? pFocusView->onKeyUp(keyCode) : -1;
  if (result == -1 && pModalView) result = pModalView->onKeyUp(keyCode);
  return result;
}

void CFrame::setFocusView(CView* pView) {
  CView* previous = pFocusView;
  pFocusView = pView;
  if (pFocusView && pFocusView->wantsFocus()) pFocusView->setDirty();
  if (previous) {
    previous->looseFocus(nullptr);
    if (previous->wantsFocus()) previous->setDirty();
  }
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse) {
  if (pModalView) return false;
  if (!oldFocus) oldFocus = pFocusView;
  if (!oldFocus) return CViewContainer::advanceNextFocusView(nullptr, reverse);
  if (isChild(oldFocus)) {
    if (CViewContainer::advanceNextFocusView(oldFocus, reverse)) return true;
    setFocusView(nullptr);
    return false;
  }
  // Nested deeper: each container on the way up, innermost first, tries to advance
  // past the child that leads to oldFocus; last of all the frame itself.
  CView* child = oldFocus;
  CView* parent = oldFocus->getParentView();
  while (parent && parent != this && parent->isTypeOf("CViewContainer")) {
    if (static_cast<CViewContainer*>(parent)->advanceNextFocusView(child, reverse)) return true;
    child = parent;
    parent = parent->getParentView();
  }
  return CViewContainer::advanceNextFocusView(child, reverse);
}

bool CFrame::setModalView(CView* pView) {
  if (pModalView && pView) return false;
  // Removed without forgetting: whoever set the modal view still holds it.
  if (pModalView) removeView(pModalView, false);
  pModalView = pView;
  if (pView) addView(pView);
  return true;
}

// ---- size and position -----------------------------------------------------------

void CFrame::setWindowSize(long width, long height) {
  if (controlRef)
    controlRef->resize(scaledLength((int)width, scaleFactor), scaledLength((int)height, scaleFactor),
                       scaleFactor);
}

// The host's window is in pixels: it is asked for the points times the factor.
bool CFrame::setSize(long width, long height) {
  if (!isOpen() || (width == size.width() && height == size.height())) return false;
  AudioEffectX* effect = effectOf(pEditor);
  char sizeWindow[] = "sizeWindow";
  if (effect && effect->canHostDo(sizeWindow) &&
      effect->sizeWindow(scaledLength((int)width, scaleFactor),
                         scaledLength((int)height, scaleFactor))) {
    // The host resized its window: only the frame's own window follows; the
    // children's layout stays as it is.
    size.setWidth((CCoord)width);
    size.setHeight((CCoord)height);
    setWindowSize(width, height);
    return true;
  }
  size.setWidth((CCoord)width);
  size.setHeight((CCoord)height);
  setWindowSize(width, height);
  CRect rect(0, 0, (CCoord)width, (CCoord)height);
  CViewContainer::setViewSize(rect);
  return true;
}

void CFrame::setViewSize(CRect& rect) {
  setSize(rect.width(), rect.height());
}

bool CFrame::getSize(CRect* pSize) const {
  if (!isOpen() || !pSize) return false;
  int x, y, width, height;
  if (controlRef && controlRef->getFrame(x, y, width, height))
    *pSize = pixelsToPoints(CRect(x, y, x + width, y + height));
  else
    *pSize = size;
  return true;
}

bool CFrame::getSize(CRect& pSize) const {
  return getSize(&pSize);
}

bool CFrame::getPosition(long& x, long& y) const {
  int screenX, screenY;
  if (!isOpen() || !controlRef || !controlRef->getScreenPosition(screenX, screenY)) return false;
  x = screenX - hiScrollOffset.h;
  y = screenY - hiScrollOffset.v;
  return true;
}

bool CFrame::setPosition(long x, long y) {
  int left, top, width, height;
  if (!isOpen() || !controlRef || !controlRef->getFrame(left, top, width, height)) return false;
  return controlRef->move((int)x, (int)y);
}

// ---- the window ------------------------------------------------------------------

cairo_surface_t* CFrame::getBackBuffer() {
  return controlRef ? controlRef->getBackBuffer() : nullptr;
}

void CFrame::flushBackBuffer() {
  if (controlRef) controlRef->flush();
}

bool CFrame::queryPointer(CPoint& where, long& buttons) {
  int x, y;
  if (!controlRef || !controlRef->queryPointer(x, y, buttons)) return false;
  where = pixelsToPoints(CPoint(x, y));
  return true;
}

// ---- the scale factor --------------------------------------------------------------

CPoint CFrame::pixelsToPoints(const CPoint& pixel) const {
  if (scaleFactor == 1.f) return pixel;
  return CPoint((CCoord)std::floor(pixel.x / scaleFactor), (CCoord)std::floor(pixel.y / scaleFactor));
}

CRect CFrame::pixelsToPoints(const CRect& pixels) const {
  if (scaleFactor == 1.f) return pixels;
  const double f = scaleFactor;
  return CRect((CCoord)std::floor(pixels.left / f), (CCoord)std::floor(pixels.top / f),
               (CCoord)std::ceil(pixels.right / f), (CCoord)std::ceil(pixels.bottom / f));
}

void CFrame::markDamaged(const CRect& rect) {
  if (!controlRef) return;
  // Grown outwards to whole pixels: at a fractional factor a point's edge may fall
  // inside a pixel, which the anti-aliased edge still touches.
  const double f = scaleFactor;
  const int left = (int)std::floor(rect.left * f), top = (int)std::floor(rect.top * f);
  controlRef->addDamage(left, top, (int)std::ceil(rect.right * f) - left,
                        (int)std::ceil(rect.bottom * f) - top);
}

unsigned long CFrame::getWindowId() const {
  return controlRef ? controlRef->getWindowId() : 0;
}

int64_t CFrame::getPixelsSent() const {
  return controlRef ? controlRef->getPixelsSent() : 0;
}

bool CFrame::setScaleFactor(float factor) {
  if (!isValidScaleFactor(factor) || factor == scaleFactor) return false;
  scaleFactor = factor;
  if (!controlRef) return true;
  const int width = scaledLength(size.width(), factor), height = scaledLength(size.height(), factor);
  AudioEffectX* effect = effectOf(pEditor);
  char sizeWindow[] = "sizeWindow";
  if (effect && effect->canHostDo(sizeWindow)) effect->sizeWindow(width, height);
  // The window follows whatever the host did: the editor is drawn at the new factor.
  controlRef->resize(width, height, factor);
  setDirty(true);
  return true;
}

bool CFrame::waitMouseEvent(long timeoutMs, int& kind) {
  return controlRef && controlRef->waitMouseEvent(timeoutMs, kind);
}

void CFrame::dispatchEvents() {
  if (controlRef) controlRef->dispatchEvents();
}

void CFrame::runEventLoop(long ms) {
  if (controlRef)
    controlRef->runEventLoop(ms);
  else if (ms > 0)
    platformSleep((uint32_t)ms);
}

bool CFrame::dispatchUpdateEvent() {
  return controlRef && controlRef->dispatchExposeEvent();
}

// ---- the window's events -----------------------------------------------------------

bool CFrame::platformEventHandler(const CPlatformEvent& windowEvent, void* userData) {
  CFrame* frame = static_cast<CFrame*>(userData);
  // The window speaks in pixels, the views in points.
  CPlatformEvent event(windowEvent);
  event.where = frame->pixelsToPoints(windowEvent.where);
  event.rect = frame->pixelsToPoints(windowEvent.rect);
  switch (event.kind) {
    case kPlatformDraw:
      return frame->handleDrawEvent(event.rect);
    case kPlatformTrack:
    case kPlatformClick:
      return frame->handleMouseEvent(event.where, event.buttons);
    case kPlatformWheel:
      return frame->handleWheelEvent(event.where, event.horizontal, event.modifiers,
                                     event.distance);
    case kPlatformKeyDown: {
      VstKeyCode keyCode = event.keyCode;
      return frame->handleKeyEvent(keyCode);
    }
    case kPlatformFocusIn:
    case kPlatformFocusOut:
      return frame->handleFocusEvent(event.kind == kPlatformFocusIn);
    case kPlatformDragEnter:
    case kPlatformDragMove:
    case kPlatformDragLeave:
    case kPlatformDragDrop:
      return frame->handleDragEvent(event);
  }
  return false;
}

bool CFrame::handleDrawEvent(const CRect& exposed) {
  CDrawContext* context = createDrawContext();
  if (!context) return false;
  CRect bounds(exposed);
  bounds.bound(size);
  // A partial draw clears the frame's dirty flag; when the frame wanted a whole
  // redraw, keep asking for it.
  const bool wasDirty = bDirty;
  drawRect(context, bounds);
  // The exposed area is sent whole, whatever the views drew into it.
  markDamaged(bounds);
  if (wasDirty && bounds != size) setDirty(true);
  context->forget();
  return true;
}

bool CFrame::handleMouseEvent(const CPoint& where, long buttons) {
  CDrawContext* context = createDrawContext();
  if (!context) return false;
  CPoint point(where);
  mouse(context, point, buttons);
  context->forget();
  return true;
}

bool CFrame::handleWheelEvent(const CPoint& where, bool horizontal, long modifiers,
                              float distance) {
  // Ctrl (the Command key's stand-in) turns the vertical wheel horizontal.
  const CMouseWheelAxis axis =
      (!horizontal && !(modifiers & kButtonCommand)) ? kMouseWheelAxisY : kMouseWheelAxisX;
  CDrawContext* context = createDrawContext();
  onWheel(context, where, axis, distance);
  if (context) context->forget();
  return true;
}

bool CFrame::handleKeyEvent(VstKeyCode& keyCode) {
  // Keys typed into the window count only while it has the keyboard focus; the
  // host's own key calls reach the frame through the editor.
  return hasFocus && onKeyDown(keyCode) != -1;
}

bool CFrame::handleFocusEvent(bool focusIn) {
  hasFocus = focusIn;
  if (!focusIn) setFocusView(nullptr);
  return true;
}

bool CFrame::handleDragEvent(const CPlatformEvent& event) {
  if (event.kind == kPlatformDragEnter) {
    if (!event.drag) return false;
    endDrag(pDragContainer);
    pDragContainer = new (std::nothrow) CDragContainer(event.drag);
  }
  CDragContainer* drag = pDragContainer;
  if (!drag) return false;
  // The views may run the event pump, and a drag that ends meanwhile must outlive
  // this call.
  drag->remember();
  CDrawContext* context = createDrawContext();
  bool result = true;
  switch (event.kind) {
    case kPlatformDragEnter:
      setCursor(kCursorNotAllowed);
      onDragEnter(context, drag, event.where);
      break;
    case kPlatformDragMove:
      onDragMove(context, drag, event.where);
      break;
    case kPlatformDragLeave:
      onDragLeave(context, drag, event.where);
      setCursor(kCursorDefault);
      endDrag(drag);
      break;
    default:
      result = onDrop(context, drag, event.where);
      setCursor(kCursorDefault);
      endDrag(drag);
      break;
  }
  if (context) context->forget();
  drag->forget();
  return result;
}

void CFrame::endDrag(CDragContainer* drag) {
  if (!drag || drag != pDragContainer) return;
  pDragContainer = nullptr;
  drag->forget();
}
