#include "viewcontainer.h"

#include <cstring>
#include <new>

#include "bitmap.h"
#include "drawcontext.h"
#include "frame.h"
#include "offscreencontext.h"

const char* kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

// Nesting depth of dumpHierarchy, shared by every container of the process.
// Indentation of the dump in progress on this thread.
static thread_local int32_t gDumpLevel = 0;

// ---------------------------------------------------------------------------
// CCView: a link holds one reference on its view for as long as it exists.

CCView::CCView(CView* pView) : pView(pView), pNext(nullptr), pPrevious(nullptr) {
  pView->remember();
}

CCView::~CCView() {
  pView->forget();
}

// ---------------------------------------------------------------------------
// Construction and destruction

CViewContainer::CViewContainer(const CRect& rect, CFrame* pParent, CBitmap* pBackground)
    : CView(rect),
      pFirstView(nullptr),
      pLastView(nullptr),
      mode(kOnlyDirtyUpdateMode),
      pOffscreenContext(nullptr),
      backgroundColor(kBlackCColor),
      backgroundOffset(0, 0),
      bDrawInOffscreen(false),
      currentDragView(nullptr) {
  pParentFrame = pParent;
  setBackground(pBackground);
}

CViewContainer::~CViewContainer() {
  removeAll(true);
  if (pOffscreenContext) pOffscreenContext->forget();
  pOffscreenContext = nullptr;
}

bool CViewContainer::isTypeOf(const char* s) const {
  return std::strcmp(s, "CViewContainer") == 0 || CView::isTypeOf(s);
}

// Compared by pointer: only the shared message object asks the question.
long CViewContainer::notify(CView* sender, const char* message) {
  (void)sender;
  return message == kMsgCheckIfViewContainer ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Children and ownership. addView takes over the creator's reference; the link
// holds one more, released when the link goes.

void CViewContainer::addView(CView* pView) {
  if (!pView) return;
  CCView* link = new (std::nothrow) CCView(pView);
  if (!link) return;
  pView->pParentFrame = pParentFrame;
  pView->pParentView = this;
  if (pLastView) {
    pLastView->pNext = link;
    link->pPrevious = pLastView;
  } else {
    pFirstView = link;
  }
  pLastView = link;
  pView->attached(this);
  pView->setDirty(true);
}

void CViewContainer::addView(CView* pView, CRect& mouseableArea, bool mouseEnabled) {
  if (!pView) return;
  pView->setMouseEnabled(mouseEnabled);
  pView->setMouseableArea(mouseableArea);
  addView(pView);
}

CCView* CViewContainer::findLink(CView* pView) const {
  for (CCView* link = pFirstView; link; link = link->pNext)
    if (link->pView == pView) return link;
  return nullptr;
}

void CViewContainer::removeView(CView* pView, const bool& withForget) {
  if (pParentFrame && pParentFrame->getFocusView() == pView) pParentFrame->setFocusView(nullptr);
  CCView* link = findLink(pView);
  if (!link) return;
  if (currentDragView == pView) currentDragView = nullptr;
  pView->removed(this);
  if (withForget) pView->forget();
  if (link->pPrevious)
    link->pPrevious->pNext = link->pNext;
  else
    pFirstView = link->pNext;
  if (link->pNext)
    link->pNext->pPrevious = link->pPrevious;
  else
    pLastView = link->pPrevious;
  delete link;
}

// The list is detached before the children go, so a child that reaches back into
// this container while it is destroyed finds it empty rather than half unlinked.
void CViewContainer::removeAll(const bool& withForget) {
  CCView* link = pFirstView;
  pFirstView = nullptr;
  pLastView = nullptr;
  currentDragView = nullptr;
  while (link) {
    CCView* next = link->pNext;
    link->pView->removed(this);
    if (withForget) link->pView->forget();
    delete link;
    link = next;
  }
}

bool CViewContainer::isChild(CView* pView) const {
  return findLink(pView) != nullptr;
}

long CViewContainer::getNbViews() const {
  long count = 0;
  for (CCView* link = pFirstView; link; link = link->pNext) count++;
  return count;
}

CView* CViewContainer::getView(long index) const {
  if (index < 0) return nullptr;
  for (CCView* link = pFirstView; link; link = link->pNext, index--)
    if (index == 0) return link->pView;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Background, modes and the offscreen surface

void CViewContainer::setBackgroundColor(CColor color) {
  backgroundColor = color;
  setDirty(true);
}

void CViewContainer::makeOffscreen() {
  pOffscreenContext =
      new (std::nothrow) COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor);
}

void CViewContainer::useOffscreen(bool b) {
  bDrawInOffscreen = b;
  if (!b && pOffscreenContext) {
    pOffscreenContext->forget();
    pOffscreenContext = nullptr;
  }
}

bool CViewContainer::attached(CView* view) {
  (void)view;
  if (!pOffscreenContext && bDrawInOffscreen) makeOffscreen();
  return true;
}

bool CViewContainer::removed(CView* parent) {
  (void)parent;
  if (pOffscreenContext) pOffscreenContext->forget();
  pOffscreenContext = nullptr;
  return true;
}

void CViewContainer::setViewSize(CRect& rect) {
  CView::setViewSize(rect);
  if (pOffscreenContext && bDrawInOffscreen) {
    pOffscreenContext->forget();
    makeOffscreen();
  }
}

// ---------------------------------------------------------------------------
// Coordinates and draw-context offsets

void CViewContainer::modifyDrawContext(long save[4], CDrawContext* pContext) {
  if (!pContext) return;
  save[0] = pContext->offsetScreen.h;
  save[1] = pContext->offsetScreen.v;
  save[2] = pContext->offset.h;
  save[3] = pContext->offset.v;
  pContext->offsetScreen.offset(size.left, size.top);
  pContext->offset.offset(size.left, size.top);
}

void CViewContainer::restoreDrawContext(CDrawContext* pContext, long save[4]) {
  if (!pContext) return;
  pContext->offsetScreen((int32_t)save[0], (int32_t)save[1]);
  pContext->offset((int32_t)save[2], (int32_t)save[3]);
}

CPoint& CViewContainer::frameToLocal(CPoint& point) const {
  point.offset(-size.left, -size.top);
  if (pParentView && pParentView->isTypeOf("CViewContainer"))
    return pParentView->frameToLocal(point);
  return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const {
  point.offset(size.left, size.top);
  if (pParentView && pParentView->isTypeOf("CViewContainer"))
    return pParentView->localToFrame(point);
  return point;
}

// ---------------------------------------------------------------------------
// Drawing

// Steps shared by the full and the partial draw: the target is the offscreen
// surface, or the given context shifted to this container's origin.
CDrawContext* CViewContainer::beginDrawTarget(CDrawContext* pContext, long save[4]) {
  if (!pOffscreenContext && bDrawInOffscreen) makeOffscreen();
  if (pOffscreenContext && bTransparencyEnabled)
    pOffscreenContext->copyTo(pContext, size, CPoint(0, 0));
  if (bDrawInOffscreen && pOffscreenContext) return pOffscreenContext;
  modifyDrawContext(save, pContext);
  return pContext;
}

void CViewContainer::endDrawTarget(CDrawContext* pContext, CDrawContext* target, long save[4],
                                   const CRect& updateRect, const CPoint& srcOffset) {
  if (target != pContext)
    static_cast<COffscreenContext*>(target)->copyFrom(pContext, updateRect, srcOffset);
  else
    restoreDrawContext(pContext, save);
}

// The clip of pContext in the target's coordinates. An offscreen surface starts at
// this container's top-left, so its clip is moved there (the frame's offscreen is
// already at the window's origin).
CRect CViewContainer::targetClip(CDrawContext* pContext, CDrawContext* target) const {
  CRect clip;
  pContext->getClipRect(clip);
  if (target != pContext && !isTypeOf("CFrame")) clip.offset(-clip.left, -clip.top);
  return clip;
}

void CViewContainer::draw(CDrawContext* pContext) {
  if (!pContext) return;
  long save[4] = {0, 0, 0, 0};
  CDrawContext* target = beginDrawTarget(pContext, save);

  CRect r(0, 0, size.width(), size.height());
  CRect keptClip;
  pContext->getClipRect(keptClip);
  CRect clip = targetClip(pContext, target);

  CRect newClip(r);
  newClip.bound(clip);
  target->setClipRect(newClip);
  if (pBackground) {
    if (bTransparencyEnabled)
      pBackground->drawTransparent(target, r, backgroundOffset);
    else
      pBackground->draw(target, r, backgroundOffset);
  } else if (!bTransparencyEnabled) {
    target->setFillColor(backgroundColor);
    target->fillRect(r);
  }

  for (CCView* link = pFirstView; link; link = link->pNext) {
    CRect viewSize(link->pView->size);
    viewSize.bound(clip);
    target->setClipRect(viewSize);
    link->pView->draw(target);
  }

  target->setClipRect(keptClip);
  endDrawTarget(pContext, target, save, size, CPoint(0, 0));
  setDirty(false);
}

void CViewContainer::drawRect(CDrawContext* pContext, const CRect& _updateRect) {
  if (!pContext) return;
  long save[4] = {0, 0, 0, 0};
  CDrawContext* target = beginDrawTarget(pContext, save);

  CRect updateRect(_updateRect);
  updateRect.bound(size);
  CRect clientRect(updateRect);
  clientRect.offset(-size.left, -size.top);

  CRect keptClip;
  pContext->getClipRect(keptClip);
  CRect newClip(clientRect);
  newClip.bound(targetClip(pContext, target));
  target->setClipRect(newClip);

  drawBackgroundRect(target, clientRect);
  drawChildrenRect(target, clientRect, newClip);

  target->setClipRect(keptClip);
  endDrawTarget(pContext, target, save, updateRect, CPoint(clientRect.left, clientRect.top));
  setDirty(false);
}

// Draws the children that meet the client rectangle, each clipped to its part of
// it. A dirty child drawn only in part stays dirty so that it is drawn whole later.
void CViewContainer::drawChildrenRect(CDrawContext* target, CRect& clientRect,
                                      const CRect& newClip) {
  for (CCView* link = pFirstView; link; link = link->pNext) {
    CView* pV = link->pView;
    if (!pV->checkUpdate(clientRect)) continue;
    CRect viewSize(pV->size);
    viewSize.bound(newClip);
    if (viewSize.getWidth() == 0 || viewSize.getHeight() == 0) continue;
    target->setClipRect(viewSize);
    bool wasDirty = pV->isDirty();
    pV->drawRect(target, clientRect);
    if (wasDirty && pV->size != viewSize && !isTypeOf("CScrollContainer")) pV->setDirty(true);
  }
}

void CViewContainer::drawBackgroundRect(CDrawContext* pContext, CRect& _updateRect) {
  if (pBackground) {
    CRect oldClip;
    pContext->getClipRect(oldClip);
    CRect newClip(_updateRect);
    newClip.bound(oldClip);
    pContext->setClipRect(newClip);
    CRect tr(0, 0, pBackground->getWidth(), pBackground->getHeight());
    if (bTransparencyEnabled)
      pBackground->drawTransparent(pContext, tr, backgroundOffset);
    else
      pBackground->draw(pContext, tr, backgroundOffset);
    pContext->setClipRect(oldClip);
  } else if (!bTransparencyEnabled) {
    pContext->setFillColor(backgroundColor);
    pContext->fillRect(_updateRect);
  }
}

// rect is in local coordinates. A transparent container has the parent draw what
// lies behind it; an opaque one draws the area itself with the context moved to its
// parent's position in the frame.
void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect) {
  CRect _rect(rect);
  _rect.offset(size.left, size.top);
  if (bTransparencyEnabled) {
    if (pParentView)
      pParentView->redrawRect(context, _rect);
    else if (pParentFrame)
      pParentFrame->drawRect(context, _rect);
    return;
  }
  if (!context) return;
  CPoint p(0, 0);
  if (pParentView) pParentView->localToFrame(p);
  CPoint savedScreen(context->offsetScreen);
  CPoint savedOffset(context->offset);
  context->offsetScreen.offset(p.h, p.v);
  context->offset.offset(p.h, p.v);
  drawRect(context, _rect);
  context->offsetScreen = savedScreen;
  context->offset = savedOffset;
}

// ---------------------------------------------------------------------------
// Idle update

bool CViewContainer::isDirty() const {
  if (bDirty) return true;
  CRect local(0, 0, size.width(), size.height());
  for (CCView* link = pFirstView; link; link = link->pNext) {
    if (!link->pView->isDirty()) continue;
    CRect r(link->pView->size);
    r.bound(local);
    if (r.getWidth() > 0 && r.getHeight() > 0) return true;
  }
  return false;
}

void CViewContainer::update(CDrawContext* pContext) {
  CRect local(0, 0, size.width(), size.height());
  if (mode == kNormalUpdateMode) {
    if (isDirty()) {
      redrawRect(pContext, local);
      setDirty(false);
    }
  } else if (mode == kOnlyDirtyUpdateMode) {
    if (bDirty)
      redrawRect(pContext, local);
    else
      updateDirtyChildren(pContext, local);
    setDirty(false);
  }
}

// Mode 1 without an own redraw: each dirty child that meets the container is drawn
// alone, a nested container by its own update.
void CViewContainer::updateDirtyChildren(CDrawContext* pContext, CRect& local) {
  for (CCView* link = pFirstView; link; link = link->pNext) {
    CView* pV = link->pView;
    if (!pV->isDirty() || !pV->checkUpdate(local)) continue;
    if (pV->notify(this, kMsgCheckIfViewContainer) == 1) {
      pV->update(pContext);
    } else {
      CRect viewSize(pV->size);
      viewSize.bound(local);
      pV->redrawRect(pContext, viewSize);
    }
  }
}

// ---------------------------------------------------------------------------
// Mouse and wheel

// The wheel and drag events reach a child with the point in the children's
// coordinates and the context shifted to this container's origin.
template <typename Route>
void CViewContainer::routeToChildren(CDrawContext* pContext, const CPoint& where, Route route) {
  long save[4] = {0, 0, 0, 0};
  modifyDrawContext(save, pContext);
  CPoint where2(where);
  where2.offset(-size.left, -size.top);
  route(where2);
  restoreDrawContext(pContext, save);
}

bool CViewContainer::hitTest(const CPoint& where, long buttons) {
  return CView::hitTest(where, buttons);
}

// The context is not shifted: views that read the mouse position walk up with
// getMouseLocation, which shifts it.
void CViewContainer::mouse(CDrawContext* pContext, CPoint& where, long buttons) {
  CPoint where2(where);
  where2.offset(-size.left, -size.top);
  if (buttons == -1 && pContext) buttons = pContext->getMouseButtons();
  for (CCView* link = pLastView; link; link = link->pPrevious) {
    CView* pV = link->pView;
    if (pV->getMouseEnabled() && pV->hitTest(where2, buttons)) {
      pV->mouse(pContext, where2, buttons);
      return;
    }
  }
}

bool CViewContainer::hitTestSubViews(const CPoint& where, long buttons) {
  CPoint where2(where);
  where2.offset(-size.left, -size.top);
  for (CCView* link = pLastView; link; link = link->pPrevious)
    if (link->pView->getMouseEnabled() && link->pView->hitTest(where2, buttons)) return true;
  return false;
}

// The topmost child whose mouseable area holds the local point, mouse-enabled or not.
CView* CViewContainer::childAt(const CPoint& local) const {
  for (CCView* link = pLastView; link; link = link->pPrevious) {
    CPoint p(local);
    if (p.isInside(link->pView->mouseableArea)) return link->pView;
  }
  return nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const {
  if (!pParentFrame) return nullptr;
  CPoint where2(where);
  where2.offset(-size.left, -size.top);
  CView* pV = childAt(where2);
  if (pV && deep && pV->isTypeOf("CViewContainer"))
    return static_cast<CViewContainer*>(pV)->getViewAt(where2, deep);
  return pV;
}

CView* CViewContainer::getCurrentView() const {
  if (!pParentFrame) return nullptr;
  CPoint where;
  pParentFrame->getCurrentLocation(where);
  frameToLocal(where);
  return childAt(where);
}

bool CViewContainer::onWheel(CDrawContext* pContext, const CPoint& where, float distance) {
  return onWheel(pContext, where, kMouseWheelAxisY, distance);
}

bool CViewContainer::onWheel(CDrawContext* pContext, const CPoint& where, CMouseWheelAxis axis,
                             float distance) {
  CView* view = getViewAt(where, false);
  if (!view) return false;
  bool result = false;
  routeToChildren(pContext, where, [&](const CPoint& where2) {
    result = view->onWheel(pContext, where2, axis, distance);
  });
  return result;
}

// ---------------------------------------------------------------------------
// Keys and focus

long CViewContainer::onKeyDown(VstKeyCode& keyCode) {
  for (CCView* link = pLastView; link; link = link->pPrevious) {
    long result = link->pView->onKeyDown(keyCode);
    if (result != -1) return result;
  }
  return -1;
}

long CViewContainer::onKeyUp(VstKeyCode& keyCode) {
  for (CCView* link = pLastView; link; link = link->pPrevious) {
    long result = link->pView->onKeyUp(keyCode);
    if (result != -1) return result;
  }
  return -1;
}

void CViewContainer::looseFocus(CDrawContext* pContext) {
  for (CCView* link = pFirstView; link; link = link->pNext) link->pView->looseFocus(pContext);
}

void CViewContainer::takeFocus(CDrawContext* pContext) {
  for (CCView* link = pFirstView; link; link = link->pNext) link->pView->takeFocus(pContext);
}

// Candidates are the children after oldFocus (all of them when it is null) in the
// walking direction; nested containers are searched from their start.
bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse) {
  if (!pParentFrame) return false;
  bool foundOld = oldFocus == nullptr;
  for (CCView* link = reverse ? pLastView : pFirstView; link;
       link = reverse ? link->pPrevious : link->pNext) {
    CView* pV = link->pView;
    if (!foundOld) {
      foundOld = pV == oldFocus;
      continue;
    }
    if (pV->wantsFocus()) {
      pParentFrame->setFocusView(pV);
      return true;
    }
    if (pV->isTypeOf("CViewContainer") &&
        static_cast<CViewContainer*>(pV)->advanceNextFocusView(nullptr, reverse))
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Drag routing. The target child is found on the unconverted point; the child
// gets the point in local coordinates and the context shifted to this origin
// (routeToChildren).

void CViewContainer::onDragEnter(CDrawContext* pContext, CDragContainer* drag,
                                 const CPoint& where) {
  if (!pParentFrame) return;
  routeToChildren(pContext, where, [&](const CPoint& where2) {
    if (currentDragView) currentDragView->onDragLeave(pContext, drag, where2);
    currentDragView = getViewAt(where, false);
    if (currentDragView) currentDragView->onDragEnter(pContext, drag, where2);
  });
}

void CViewContainer::onDragLeave(CDrawContext* pContext, CDragContainer* drag,
                                 const CPoint& where) {
  if (!pParentFrame) return;
  routeToChildren(pContext, where, [&](const CPoint& where2) {
    if (currentDragView) currentDragView->onDragLeave(pContext, drag, where2);
    currentDragView = nullptr;
  });
}

void CViewContainer::onDragMove(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) {
  if (!pParentFrame) return;
  routeToChildren(pContext, where, [&](const CPoint& where2) {
    CView* view = getViewAt(where, false);
    if (view != currentDragView) {
      if (currentDragView) currentDragView->onDragLeave(pContext, drag, where2);
      if (view) view->onDragEnter(pContext, drag, where2);
      currentDragView = view;
    } else if (currentDragView) {
      currentDragView->onDragMove(pContext, drag, where2);
    }
  });
}

bool CViewContainer::onDrop(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) {
  if (!pParentFrame) return false;
  bool result = false;
  routeToChildren(pContext, where, [&](const CPoint& where2) {
    CView* view = getViewAt(where, false);
    if (view != currentDragView) {
      if (currentDragView) currentDragView->onDragLeave(pContext, drag, where2);
      currentDragView = view;
    }
    if (currentDragView) {
      result = currentDragView->onDrop(pContext, drag, where2);
      currentDragView->onDragLeave(pContext, drag, where2);
    }
    currentDragView = nullptr;
  });
  return result;
}

// ---------------------------------------------------------------------------
// Debug dumps

void CViewContainer::dumpInfo() {
  static const char* modeString[] = {"Normal Update Mode", "Only Dirty Update Mode"};
  const char* modeText = (mode == 0 || mode == 1) ? modeString[mode] : "Unknown Update Mode";
  DebugPrint("CViewContainer: Mode: %s, Offscreen:%s ", modeText, bDrawInOffscreen ? "Yes" : "No");
  CView::dumpInfo();
}

void CViewContainer::dumpHierarchy() {
  gDumpLevel++;
  for (CCView* link = pFirstView; link; link = link->pNext) {
    for (int32_t i = 0; i < gDumpLevel; i++) DebugPrint("\t");
    link->pView->dumpInfo();
    DebugPrint("\n");
    if (link->pView->isTypeOf("CViewContainer"))
      static_cast<CViewContainer*>(link->pView)->dumpHierarchy();
  }
  gDumpLevel--;
}
