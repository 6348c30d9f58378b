#pragma once
// CViewContainer: a view that owns an ordered list of child views. It draws its
// background and then its children (first child at the bottom), routes mouse, wheel,
// key, focus and drag events to the right child (last child first), converts
// coordinates between itself and its children, and decides during idle what needs
// redrawing. Children's rectangles are in the container's local coordinates, whose
// origin is the container's own top-left corner.

#include "view.h"

class COffscreenContext;

// Asked of a parent with notify(); a container answers 1. Compared by pointer.
extern const char* kMsgCheckIfViewContainer;

enum {
  kNormalUpdateMode = 0,    // idle redraws the whole container when anything is dirty
  kOnlyDirtyUpdateMode = 1  // idle redraws only the dirty children
};

// One link of a container's child list; the link holds a reference on its view.
class CCView {
 public:
  CCView(CView* pView);
  ~CCView();
  CCView(const CCView&) = delete;
  CCView& operator=(const CCView&) = delete;

  CView* pView;
  CCView* pNext;
  CCView* pPrevious;
};

class CViewContainer : public CView {
 public:
  CViewContainer(const CRect& size, CFrame* pParent, CBitmap* pBackground = nullptr);
  ~CViewContainer() override;

  virtual void addView(CView* pView);
  virtual void addView(CView* pView, CRect& mouseableArea, bool mouseEnabled = true);
  virtual void removeView(CView* pView, const bool& withForget = true);
  virtual void removeAll(const bool& withForget = true);
  virtual bool isChild(CView* pView) const;
  virtual long getNbViews() const;
  virtual CView* getView(long index) const;

  virtual void setBackgroundColor(CColor color);
  virtual CColor getBackgroundColor() const { return backgroundColor; }
  virtual void setBackgroundOffset(const CPoint& p) { backgroundOffset = p; }
  virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
  virtual void drawBackgroundRect(CDrawContext* pContext, CRect& _updateRect);

  virtual void setMode(long val) { mode = (int32_t)val; }
  virtual long getMode() const { return mode; }
  virtual void useOffscreen(bool b);

  virtual CView* getCurrentView() const;
  virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
  virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);
  virtual void dumpHierarchy();

  void draw(CDrawContext* pContext) override;
  void drawRect(CDrawContext* pContext, const CRect& _updateRect) override;
  void mouse(CDrawContext* pContext, CPoint& where, long buttons = -1) override;
  bool onWheel(CDrawContext* pContext, const CPoint& where, float distance) override;
  bool onWheel(CDrawContext* pContext, const CPoint& where, CMouseWheelAxis axis,
               float distance) override;
  long onKeyDown(VstKeyCode& keyCode) override;
  long onKeyUp(VstKeyCode& keyCode) override;
  long notify(CView* sender, const char* message) override;

  bool onDrop(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) override;
  void onDragEnter(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) override;
  void onDragLeave(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) override;
  void onDragMove(CDrawContext* pContext, CDragContainer* drag, const CPoint& where) override;

  void looseFocus(CDrawContext* pContext) override;
  void takeFocus(CDrawContext* pContext) override;

  bool isDirty() const override;
  void setViewSize(CRect& rect) override;
  bool removed(CView* parent) override;
  bool attached(CView* view) override;
  CPoint& frameToLocal(CPoint& point) const override;
  CPoint& localToFrame(CPoint& point) const override;
  void redrawRect(CDrawContext* context, const CRect& rect) override;
  void dumpInfo() override;
  bool isTypeOf(const char* s) const override;
  bool hitTest(const CPoint& where, long buttons = -1) override;

 protected:
  friend class CView;  // the mouse-location walk shifts the context by each container

  void update(CDrawContext* pContext) override;

  void modifyDrawContext(long save[4], CDrawContext* pContext);
  void restoreDrawContext(CDrawContext* pContext, long save[4]);
  // Calls route(local) with where in the children's coordinates while pContext is
  // shifted to this container's origin. Defined, and used, in viewcontainer.cpp.
  template <typename Route>
  void routeToChildren(CDrawContext* pContext, const CPoint& where, Route route);
  bool hitTestSubViews(const CPoint& where, long buttons = -1);

  // Helpers of the drawing algorithms.
  CDrawContext* beginDrawTarget(CDrawContext* pContext, long save[4]);
  void endDrawTarget(CDrawContext* pContext, CDrawContext* target, long save[4],
                     const CRect& updateRect, const CPoint& srcOffset);
  CRect targetClip(CDrawContext* pContext, CDrawContext* target) const;
  void drawChildrenRect(CDrawContext* target, CRect& clientRect, const CRect& newClip);
  void updateDirtyChildren(CDrawContext* pContext, CRect& local);
  void makeOffscreen();
  CCView* findLink(CView* pView) const;
  CView* childAt(const CPoint& local) const;

  CCView* pFirstView;
  CCView* pLastView;
  int32_t mode;
  COffscreenContext* pOffscreenContext;
  CColor backgroundColor;
  CPoint backgroundOffset;
  bool bDrawInOffscreen;
  CView* currentDragView;
};
