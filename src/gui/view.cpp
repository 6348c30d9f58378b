#include "view.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bitmap.h"
#include "drawcontext.h"
#include "frame.h"
#include "viewcontainer.h"

std::atomic<int32_t> gNbCView{0};

void DebugPrint(const char* format, ...) {
  char string[512];
  va_list marker;
  va_start(marker, format);
  vsnprintf(string, sizeof(string), format, marker);
  va_end(marker);
  fprintf(stderr, "%s", string);
}

// ---------------------------------------------------------------------------
// CAttributeListEntry

CAttributeListEntry::CAttributeListEntry(long size, CViewAttributeID id)
    : nextEntry(nullptr), pointer(nullptr), sizeOfPointer((int32_t)size), id(id) {
  pointer = std::malloc(size > 0 ? (size_t)size : 1);
  // A failed allocation leaves an entry of no bytes, which no copy can overrun.
  if (!pointer) sizeOfPointer = 0;
}

CAttributeListEntry::~CAttributeListEntry() {
  std::free(pointer);
}

// ---------------------------------------------------------------------------
// CView: construction and destruction

CView::CView(const CRect& size)
    : size(size),
      mouseableArea(size),
      pParentFrame(nullptr),
      pParentView(nullptr),
      bDirty(false),
      bMouseEnabled(true),
      bTransparencyEnabled(false),
      bWantsFocus(false),
      pBackground(nullptr),
      pAttributeList(nullptr) {
  gNbCView++;
}

CView::~CView() {
  if (pBackground) pBackground->forget();
  while (pAttributeList) {
    CAttributeListEntry* next = pAttributeList->getNext();
    delete pAttributeList;
    pAttributeList = next;
  }
  gNbCView--;
}

// ---------------------------------------------------------------------------
// Drawing and redraw requests

void CView::draw(CDrawContext* pContext) {
  if (pBackground) {
    if (bTransparencyEnabled)
      pBackground->drawTransparent(pContext, size, CPoint(0, 0));
    else
      pBackground->draw(pContext, size, CPoint(0, 0));
  }
  setDirty(false);
}

void CView::drawRect(CDrawContext* pContext, const CRect& updateRect) {
  (void)updateRect;
  draw(pContext);
}

bool CView::checkUpdate(CRect& updateRect) const {
  return updateRect.rectOverlap(size);
}

void CView::redraw() {
  if (pParentFrame) pParentFrame->draw(this);
}

void CView::redrawRect(CDrawContext* context, const CRect& rect) {
  if (pParentView)
    pParentView->redrawRect(context, rect);
  else if (pParentFrame)
    pParentFrame->drawRect(context, rect);
}

void CView::update(CDrawContext* pContext) {
  if (!isDirty()) return;
  if (pContext)
    redrawRect(pContext, size);
  else
    redraw();
  setDirty(false);
}

void CView::setBackground(CBitmap* background) {
  if (pBackground) pBackground->forget();
  pBackground = background;
  if (pBackground) pBackground->remember();
  setDirty(true);
}

// ---------------------------------------------------------------------------
// Events: a plain view takes nothing

void CView::mouse(CDrawContext* pContext, CPoint& where, long buttons) {
  (void)pContext, (void)where, (void)buttons;
}

long CView::onKeyDown(VstKeyCode& keyCode) {
  (void)keyCode;
  return -1;
}

long CView::onKeyUp(VstKeyCode& keyCode) {
  (void)keyCode;
  return -1;
}

bool CView::onWheel(CDrawContext* pContext, const CPoint& where, float distance) {
  (void)pContext, (void)where, (void)distance;
  return false;
}

// A view that only knows the vertical wheel takes both axes through it.
bool CView::onWheel(CDrawContext* pContext, const CPoint& where, CMouseWheelAxis axis,
                    float distance) {
  (void)axis;
  return onWheel(pContext, where, distance);
}

bool CView::onDrop(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) {
  (void)pContext, (void)drag, (void)where;
  return false;
}

void CView::onDragEnter(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) {
  (void)pContext, (void)drag, (void)where;
}

void CView::onDragLeave(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) {
  (void)pContext, (void)drag, (void)where;
}

void CView::onDragMove(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) {
  (void)pContext, (void)drag, (void)where;
}

void CView::looseFocus(CDrawContext* pContext) {
  (void)pContext;
}

void CView::takeFocus(CDrawContext* pContext) {
  (void)pContext;
}

long CView::notify(CView* sender, const char* message) {
  (void)sender, (void)message;
  return 0;
}

// ---------------------------------------------------------------------------
// Geometry

CRect& CView::getMouseableArea(CRect& rect) const {
  rect = mouseableArea;
  return rect;
}

bool CView::hitTest(const CPoint& where, long buttons) {
  (void)buttons;
  return where.isInside(mouseableArea);
}

// The mouseable area stays where it was: clicks are taken in the old area until
// the owner moves it too.
void CView::setViewSize(CRect& rect) {
  size = rect;
  setDirty(true);
}

CRect& CView::getViewSize(CRect& rect) const {
  rect = size;
  return rect;
}

bool CView::removed(CView* parent) {
  (void)parent;
  return true;
}

bool CView::attached(CView* view) {
  (void)view;
  return true;
}

// Each container on the way up shifts the context by its origin before the
// position is read at the top, so the answer is local to this view's parent.
void CView::getMouseLocation(CDrawContext* context, CPoint& point) {
  if (!context) return;
  if (pParentView && pParentView->notify(this, kMsgCheckIfViewContainer) == 1) {
    CViewContainer* parent = static_cast<CViewContainer*>(pParentView);
    long save[4];
    parent->modifyDrawContext(save, context);
    parent->getMouseLocation(context, point);
    parent->restoreDrawContext(context, save);
  } else {
    context->getMouseLocation(point);
  }
}

CPoint& CView::frameToLocal(CPoint& point) const {
  if (pParentView && pParentView->isTypeOf("CViewContainer"))
    return pParentView->frameToLocal(point);
  return point;
}

CPoint& CView::localToFrame(CPoint& point) const {
  if (pParentView && pParentView->isTypeOf("CViewContainer"))
    return pParentView->localToFrame(point);
  return point;
}

void* CView::getEditor() const {
  return pParentFrame ? pParentFrame->getEditor() : nullptr;
}

bool CView::isTypeOf(const char* s) const {
  return std::strcmp(s, "CView") == 0;
}

// ---------------------------------------------------------------------------
// Attributes

CAttributeListEntry* CView::findAttribute(CViewAttributeID id) const {
  for (CAttributeListEntry* entry = pAttributeList; entry; entry = entry->getNext())
    if (entry->getID() == id) return entry;
  return nullptr;
}

bool CView::getAttributeSize(const CViewAttributeID id, long& outSize) const {
  CAttributeListEntry* entry = findAttribute(id);
  if (!entry) return false;
  outSize = entry->getSize();
  return true;
}

bool CView::getAttribute(const CViewAttributeID id, const long inSize, void* outData,
                         long& outSize) const {
  CAttributeListEntry* entry = findAttribute(id);
  if (!entry || inSize < entry->getSize()) return false;
  outSize = entry->getSize();
  if (outSize > 0) std::memcpy(outData, entry->getPointer(), (size_t)outSize);
  return true;
}

// An existing entry is reused only when the new data fits; it keeps its stored size.
bool CView::setAttribute(const CViewAttributeID id, const long inSize, void* inData) {
  if (inSize < 0) return false;
  CAttributeListEntry* entry = findAttribute(id);
  if (entry) {
    if (entry->getSize() < inSize) return false;
    if (inSize > 0) std::memcpy(entry->getPointer(), inData, (size_t)inSize);
    return true;
  }
  entry = new (std::nothrow) CAttributeListEntry(inSize, id);
  if (!entry) return false;
  if (entry->getSize() < inSize) {
    delete entry;
    return false;
  }
  if (inSize > 0) std::memcpy(entry->getPointer(), inData, (size_t)inSize);
  if (!pAttributeList) {
    pAttributeList = entry;
  } else {
    CAttributeListEntry* last = pAttributeList;
    while (last->getNext()) last = last->getNext();
    last->setNext(entry);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Debug dump

void CView::dumpInfo() {
  CRect viewRect;
  getViewSize(viewRect);
  DebugPrint("left:%4d, top:%4d, width:%4d, height:%4d ", (int)viewRect.left, (int)viewRect.top,
             (int)viewRect.getWidth(), (int)viewRect.getHeight());
  if (getMouseEnabled()) DebugPrint("(Mouse Enabled) ");
  if (getTransparency()) DebugPrint("(Transparent) ");
  CRect mouseRect;
  getMouseableArea(mouseRect);
  if (mouseRect != viewRect)
    DebugPrint(" (Mouseable Area: left:%4d, top:%4d, width:%4d, height:%4d ", (int)mouseRect.left,
               (int)mouseRect.top, (int)mouseRect.getWidth(), (int)mouseRect.getHeight());
}
