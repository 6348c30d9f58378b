#pragma once
// CView: the base of every visible element. A view is a rectangle in its parent's
// coordinates that draws itself, receives mouse, wheel, key, focus and drag events,
// may carry a background bitmap and a list of opaque attributes, and marks itself
// dirty so that the frame's idle pass redraws it.

#include <atomic>
#include <cstdint>

#include "aeffeditor.h"
#include "geometry.h"
#include "referencecounter.h"

class CBitmap;
class CDrawContext;
class CDragContainer;
class CFrame;
class CViewContainer;

// Live views in the process: the constructor adds one, the destructor subtracts one.
extern std::atomic<int32_t> gNbCView;

// Attribute identifiers are by custom four-character codes, first character in the
// most significant byte.
typedef uint32_t CViewAttributeID;
constexpr CViewAttributeID kCViewAttributeReferencePointer =
    ((uint32_t)'c' << 24) | ((uint32_t)'v' << 16) | ((uint32_t)'r' << 8) | (uint32_t)'p';

enum CMouseWheelAxis { kMouseWheelAxisX = 0, kMouseWheelAxisY };

// One entry of a view's attribute list: an owned byte buffer under an identifier.
class CAttributeListEntry {
 public:
  CAttributeListEntry(long size, CViewAttributeID id);
  ~CAttributeListEntry();
  CAttributeListEntry(const CAttributeListEntry&) = delete;
  CAttributeListEntry& operator=(const CAttributeListEntry&) = delete;

  CViewAttributeID getID() const { return id; }
  long getSize() const { return sizeOfPointer; }
  void* getPointer() const { return pointer; }
  CAttributeListEntry* getNext() const { return nextEntry; }
  void setNext(CAttributeListEntry* entry) { nextEntry = entry; }

 protected:
  CAttributeListEntry* nextEntry;
  void* pointer;
  int32_t sizeOfPointer;
  CViewAttributeID id;
};

class CView : public CReferenceCounter {
 public:
  explicit CView(const CRect& size);
  ~CView() override;
  // A view owns its attribute list and a reference on its background: no copies.
  CView(const CView&) = delete;
  CView& operator=(const CView&) = delete;

  virtual void draw(CDrawContext* pContext);
  virtual void drawRect(CDrawContext* pContext, const CRect& updateRect);
  virtual bool checkUpdate(CRect& updateRect) const;
  virtual void mouse(CDrawContext* pContext, CPoint& where, long buttons = -1);

  virtual void setBackground(CBitmap* background);
  virtual CBitmap* getBackground() const { return pBackground; }

  virtual long onKeyDown(VstKeyCode& keyCode);
  virtual long onKeyUp(VstKeyCode& keyCode);
  virtual bool onWheel(CDrawContext* pContext, const CPoint& where, float distance);
  virtual bool onWheel(CDrawContext* pContext, const CPoint& where, CMouseWheelAxis axis,
                       float distance);

  // Drag and drop: a plain view refuses drops and ignores the drag's passage.
  virtual bool onDrop(CDrawContext* pContext, CDragContainer* drag, const CPoint& where);
  virtual void onDragEnter(CDrawContext* pContext, CDragContainer* drag, const CPoint& where);
  virtual void onDragLeave(CDrawContext* pContext, CDragContainer* drag, const CPoint& where);
  virtual void onDragMove(CDrawContext* pContext, CDragContainer* drag, const CPoint& where);

  virtual void looseFocus(CDrawContext* pContext);
  virtual void takeFocus(CDrawContext* pContext);

  virtual bool isDirty() const { return bDirty; }
  virtual void setDirty(bool val = true) { bDirty = val; }

  virtual void setMouseEnabled(bool bEnable = true) { bMouseEnabled = bEnable; }
  virtual bool getMouseEnabled() const { return bMouseEnabled; }
  virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
  virtual CRect& getMouseableArea(CRect& rect) const;
  virtual bool hitTest(const CPoint& where, long buttons = -1);

  virtual void setTransparency(bool val) { bTransparencyEnabled = val; }
  virtual bool getTransparency() const { return bTransparencyEnabled; }

  virtual void setViewSize(CRect& rect);
  virtual CRect& getViewSize(CRect& rect) const;

  virtual bool removed(CView* parent);
  virtual bool attached(CView* view);

  virtual void getMouseLocation(CDrawContext* context, CPoint& point);
  virtual CPoint& frameToLocal(CPoint& point) const;
  virtual CPoint& localToFrame(CPoint& point) const;

  virtual void* getEditor() const;
  virtual long notify(CView* sender, const char* message);
  virtual void redrawRect(CDrawContext* context, const CRect& rect);

  virtual bool wantsFocus() const { return bWantsFocus; }
  virtual void setWantsFocus(bool state) { bWantsFocus = state; }

  virtual void dumpInfo();
  virtual bool isTypeOf(const char* s) const;

  long getWidth() const { return size.width(); }
  long getHeight() const { return size.height(); }
  CView* getParentView() const { return pParentView; }
  CFrame* getFrame() const { return pParentFrame; }
  void redraw();

  bool getAttributeSize(const CViewAttributeID id, long& outSize) const;
  bool getAttribute(const CViewAttributeID id, const long inSize, void* outData,
                    long& outSize) const;
  bool setAttribute(const CViewAttributeID id, const long inSize, void* inData);

 protected:
  // Containers set the parent links when they adopt a view, and the frame and
  // containers call update on their children during idle.
  friend class CViewContainer;
  friend class CFrame;

  virtual void update(CDrawContext* pContext);

  CAttributeListEntry* findAttribute(CViewAttributeID id) const;

  CRect size;
  CRect mouseableArea;
  CFrame* pParentFrame;
  CView* pParentView;
  bool bDirty;
  bool bMouseEnabled;
  bool bTransparencyEnabled;
  bool bWantsFocus;
  CBitmap* pBackground;
  CAttributeListEntry* pAttributeList;
};

// printf-style debug output to standard error, used by the view dumps.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
