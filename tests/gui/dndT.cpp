// Drags from another program (xdndsource.h, a child process) over an opened editor:
// the frame logs the drag events, a view reads the items, XFixes reads the cursor.

// doctest before Xlib, which defines None.
#include <doctest/doctest.h>
// Properties, the cursor theme and XFixes.
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/extensions/Xfixes.h>

#include <string>
#include <vector>

#include "dragcontainer.h"
#include "platformclock.h"
#include "x11window.h"
#include "xdndsource.h"
#include "xtesthost.h"

namespace {
typedef std::vector<std::string> Log;

std::string pointText(const CPoint& p) {
  return std::to_string(p.h) + "," + std::to_string(p.v);
}

// What a view read from a drag: every item, and whether first() started again.
struct ItemReading {
  long count = -1;
  std::vector<std::string> data;  // "<null>" for an item that could not be read
  std::vector<long> sizes, types;
  std::vector<long> getTypes;  // getType from -1 to count
  bool terminated = true;      // every item's data ends in a NUL
  bool endsWithNull = false;
  bool restarts = false;
};

ItemReading readItems(CDragContainer* drag) {
  ItemReading reading;
  reading.count = drag->getCount();
  for (long i = 0; i < reading.count; i++) {
    long size = -2, type = -2;
    const char* item =
        static_cast<const char*>(i == 0 ? drag->first(size, type) : drag->next(size, type));
    reading.data.push_back(item ? std::string(item, (size_t)size) : "<null>");
    reading.sizes.push_back(size);
    reading.types.push_back(type);
    if (item && item[size] != '\0') reading.terminated = false;
  }
  long size, type;
  reading.endsWithNull = drag->next(size, type) == nullptr && size == 0 && type == -1;
  const char* again = static_cast<const char*>(drag->first(size, type));
  reading.restarts =
      reading.count > 0 && again && std::string(again, (size_t)size) == reading.data[0];
  for (long i = -1; i <= reading.count; i++) reading.getTypes.push_back(drag->getType(i));
  return reading;
}

// Reads the items whenever a drag enters it or drops on it; refuses the drop.
class ItemView : public CView {
 public:
  explicit ItemView(const CRect& size) : CView(size) {}
  void draw(CDrawContext*) override {
    draws++;
    setDirty(false);
  }
  void onDragEnter(CDrawContext*, CDragContainer* drag, const CPoint&) override {
    if (reads) entered = readItems(drag);
  }
  bool onDrop(CDrawContext*, CDragContainer* drag, const CPoint&) override {
    if (reads) dropped = readItems(drag);
    return false;
  }
  int draws = 0;
  bool reads = true;
  ItemReading entered, dropped;
};

// Logs the drag events it routes, with their points.
class LoggingFrame : public CFrame {
 public:
  LoggingFrame(const CRect& size, void* window, void* editor, Log* log)
      : CFrame(size, window, editor), log(log) {}
  void onDragEnter(CDrawContext* c, CDragContainer* d, const CPoint& p) override {
    note("enter", p), CFrame::onDragEnter(c, d, p);
  }
  void onDragMove(CDrawContext* c, CDragContainer* d, const CPoint& p) override {
    note("move", p), CFrame::onDragMove(c, d, p);
  }
  void onDragLeave(CDrawContext* c, CDragContainer* d, const CPoint& p) override {
    note("leave", p), CFrame::onDragLeave(c, d, p);
  }
  bool onDrop(CDrawContext* c, CDragContainer* d, const CPoint& p) override {
    return note("drop", p), CFrame::onDrop(c, d, p);
  }
  void note(const char* what, const CPoint& p) { log->push_back(what + (" " + pointText(p))); }
  Log* log;
};

class DropEditor : public AEffGUIEditor {
 public:
  explicit DropEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = {0, 0, 145, 419}; }
  bool open(void* ptr) override {
    AEffGUIEditor::open(ptr);
    frame = new LoggingFrame(CRect(0, 0, 419, 145), ptr, this, &log);
    view = new ItemView(CRect(100, 20, 300, 120));
    frame->addView(view);
    return true;
  }
  void close() override {
    delete frame;
    frame = nullptr;
    view = nullptr;
    AEffGUIEditor::close();
  }
  Log log;
  ItemView* view = nullptr;
};

struct DropSession {
  ~DropSession() {
    if (editor->getFrame()) dispatch(effEditClose);
  }
  VstIntPtr dispatch(VstInt32 opcode, void* ptr = nullptr) {
    return aeffect->dispatcher(aeffect, opcode, 0, 0, ptr, 0.f);
  }
  bool idleUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1500; i++) {
      dispatch(effEditIdle);
      if (done()) return true;
      platformSleep(2);
    }
    return false;
  }
  bool openAndShow(Window parent) {
    return dispatch(effEditOpen, (void*)parent) &&
           idleUntil([this] { return editor->view->draws > 0; });
  }
  Window childWindow() const { return editor->getFrame()->getPlatformControl()->getWindowId(); }
  // Sends a command to the source and runs the editor until the source answers.
  std::string step(XdndTestSource& source, const std::string& command) {
    source.send(command);
    std::string line = "(no answer)";
    idleUntil([&] { return source.answer(line); });
    return line;
  }

  TestEffect effect{HostRecorder::callback};
  DropEditor* editor = new DropEditor(&effect);  // owned by the effect
  AEffect* aeffect = effect.getAeffect();
};

// "move X Y" for a point of a window, in root coordinates.
std::string moveTo(Display* display, Window window, int x, int y) {
  int rootX, rootY;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
  return "move " + std::to_string(rootX) + " " + std::to_string(rootY);
}

// A point where the root window is all there is.
const char* const kPressOutside = "press 1000 900";
const char* const kMoveOutside = "move 1000 900";

// Whether the cursor theme has the cursor (the core font's stand-ins have no names).
bool themeHas(Display* display, const char* name) {
  XcursorImages* images =
      XcursorLibraryLoadImages(name, XcursorGetTheme(display), XcursorGetDefaultSize(display));
  if (images) XcursorImagesDestroy(images);
  return images != nullptr;
}

// The name of the cursor under the pointer.
std::string cursorName(Display* display) {
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (!image) return "(none)";
  const std::string name = image->name ? image->name : "";
  XFree(image);
  return name;
}

// A 32-bit property's single value, or -1 when the window has none.
long property(Display* display, Window window, const char* name) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  long value = -1;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False,
                         AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
      type != None && format == 32 && count == 1)
    value = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return value;
}

void setProperty(Display* display, Window window, const char* name, Atom type, long value) {
  XChangeProperty(display, window, XInternAtom(display, name, False), type, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&value), 1);
  XSync(display, False);
}

// Bit 1 alone: positions wanted, the drop refused, no action.
std::string statusFrom(Window target) {
  return "status " + std::to_string(target) + " 2 0";
}
std::string finishedFrom(Window target) {
  return "finished " + std::to_string(target) + " 0 0";
}

const char* const kFileList =
    "# dragged from a file manager\r\n"
    "file:///tmp/dnd%20test/sample%C3%A9.wav\r\n"
    "file://localhost/etc/hosts\r\n"
    "https://example.org/page\r\n";
const std::string kFirstPath = "/tmp/dnd test/sample\xC3\xA9.wav";
const std::string kText = "h\xC3\xA9llo, w\xC3\xB6rld";

// The editor opened in a host window, with a source over its child window.
struct Opened {
  Opened() {
    REQUIRE(session.openAndShow(host.window));
    child = session.childWindow();
  }
  // Moves the source's pointer to (x, y) of the editor; the target's status comes back.
  std::string over(XdndTestSource& source, int x, int y) {
    return session.step(source, moveTo(host.display, child, x, y));
  }
  HostRecorder recorder;
  XTestHost host;
  DropSession session;
  Window child = 0;
  Log& log = session.editor->log;
  ItemView& view() { return *session.editor->view; }
};
}  // namespace

TEST_CASE_FIXTURE(Opened,
                  "a file and then a text dragged over the editor: the frame, the items, the "
                  "reply, the cursor") {
  CHECK(property(host.display, child, "XdndAware") == 5);
  REQUIRE_MESSAGE(themeHas(host.display, "not-allowed"),
                  "no cursor theme with not-allowed: install adwaita-icon-theme");

  // Four types go in XdndTypeList; the source finds our window by XdndAware, as Qt does.
  XdndTestSource files(XdndTestSource::kDeepestAware,
                       {{"x-special/gnome-copied-files", "copy\nfile:///tmp/x"},
                        {"text/uri-list", kFileList},
                        {"UTF8_STRING", kFirstPath},
                        {"text/plain;charset=utf-8", kFirstPath}});
  REQUIRE(files.running());
  CHECK(session.step(files, kPressOutside) == "pressed");
  CHECK(session.step(files, kMoveOutside) == "none");
  CHECK(over(files, 150, 60) == statusFrom(child));
  CHECK(log == Log{"enter 150,60"});
  CHECK(cursorName(host.display) == "not-allowed");

  const ItemReading& items = view().entered;
  CHECK(items.count == 3);
  CHECK(items.data ==
        std::vector<std::string>{kFirstPath, "/etc/hosts", "https://example.org/page"});
  CHECK(items.sizes == std::vector<long>{(long)kFirstPath.size(), 10, 24});
  CHECK(items.types == std::vector<long>{0, 0, -1});
  CHECK(items.terminated);
  CHECK(items.endsWithNull);
  CHECK(items.restarts);
  CHECK(items.getTypes == std::vector<long>{-1, 0, 0, -1, -1});

  CHECK(over(files, 200, 70) == statusFrom(child));
  CHECK(over(files, 210, 75) == statusFrom(child));
  CHECK(cursorName(host.display) == "not-allowed");
  // Letting go over a refusing target: XdndLeave (answered before the editor read it).
  CHECK(session.step(files, "leave") == "left");
  CHECK(session.idleUntil([&] { return log.size() == 4; }));
  CHECK(log == Log{"enter 150,60", "move 200,70", "move 210,75", "leave 210,75"});
  CHECK(cursorName(host.display) == "left_ptr");

  log.clear();
  XdndTestSource text(XdndTestSource::kDeepestAware, {{"text/plain;charset=utf-8", kText}});
  REQUIRE(text.running());
  CHECK(session.step(text, kPressOutside) == "pressed");
  CHECK(over(text, 150, 60) == statusFrom(child));
  CHECK(cursorName(host.display) == "not-allowed");
  CHECK(over(text, 160, 65) == statusFrom(child));
  // A source may drop all the same: the views get it, refuse it, and the source hears so.
  CHECK(session.step(text, "drop") == finishedFrom(child));
  CHECK(log == Log{"enter 150,60", "move 160,65", "drop 160,65"});
  CHECK(cursorName(host.display) == "left_ptr");
  for (const ItemReading* reading : {&view().entered, &view().dropped}) {
    CHECK(reading->count == 1);
    CHECK(reading->data == std::vector<std::string>{kText});
    CHECK(reading->sizes == std::vector<long>{(long)kText.size()});
    CHECK(reading->types == std::vector<long>{1});
    CHECK(reading->restarts);
  }
}

TEST_CASE(
    "embedded in a host window without drop support, the editor gets drags through the top level") {
  HostRecorder recorder;
  XTestHost host;  // the top-level window
  const Window inner = XCreateSimpleWindow(host.display, host.window, 40, 30, 500, 300, 0, 0, 0);
  XMapWindow(host.display, inner);
  XSync(host.display, False);
  DropSession session;
  REQUIRE(session.openAndShow(inner));
  const Window child = session.childWindow();
  CHECK(property(host.display, host.window, "XdndProxy") == (long)child);
  CHECK(property(host.display, child, "XdndProxy") == (long)child);
  CHECK(property(host.display, child, "XdndAware") == 5);
  CHECK(property(host.display, host.window, "XdndAware") == -1);
  CHECK(property(host.display, inner, "XdndProxy") == -1);
  Log& log = session.editor->log;
  session.editor->view->reads = false;

  // Found the way GTK finds targets: the messages name the top level.
  XdndTestSource source(XdndTestSource::kTopLevel, {{"text/uri-list", kFileList}});
  REQUIRE(source.running());
  const std::string status = statusFrom(host.window);
  CHECK(session.step(source, kPressOutside) == "pressed");
  CHECK(session.step(source, kMoveOutside) == "none");
  // Over the host, beside the editor: the drag is ours, but not over the frame.
  CHECK(session.step(source, moveTo(host.display, host.window, 560, 370)) == status);
  CHECK(log.empty());
  CHECK(session.step(source, moveTo(host.display, child, 150, 60)) == status);
  CHECK(cursorName(host.display) == "not-allowed");
  CHECK(session.step(source, moveTo(host.display, child, 200, 70)) == status);
  CHECK(session.step(source, moveTo(host.display, host.window, 560, 370)) == status);
  CHECK(cursorName(host.display) != "not-allowed");
  CHECK(session.step(source, moveTo(host.display, child, 150, 60)) == status);
  CHECK(session.step(source, "drop") == finishedFrom(host.window));
  CHECK(log == Log{"enter 150,60", "move 200,70", "leave 520,340", "enter 150,60", "drop 150,60"});
  // No view asked for the items: nothing crossed.
  CHECK(session.step(source, "requests") == "requests 0");

  session.dispatch(effEditClose);
  CHECK(property(host.display, host.window, "XdndProxy") == -1);
}

TEST_CASE("a host's own drop-target properties are left alone") {
  HostRecorder recorder;
  XTestHost other(false);
  // A host's own XdndAware (and no proxy of ours), or its own proxy, stays as it was.
  for (bool ownProxy : {false, true}) {
    XTestHost host;
    if (ownProxy)
      setProperty(host.display, host.window, "XdndProxy", XA_WINDOW, (long)other.window);
    else
      setProperty(host.display, host.window, "XdndAware", XA_ATOM, 5);
    const long aware = property(host.display, host.window, "XdndAware");
    const long proxy = property(host.display, host.window, "XdndProxy");
    DropSession session;
    REQUIRE(session.openAndShow(host.window));
    CHECK(property(host.display, host.window, "XdndProxy") == proxy);
    session.dispatch(effEditClose);
    CHECK(property(host.display, host.window, "XdndProxy") == proxy);
    CHECK(property(host.display, host.window, "XdndAware") == aware);
  }
}

TEST_CASE_FIXTURE(Opened,
                  "setDropActive takes the drop-target properties away and puts them back") {
  CFrame& frame = *session.editor->getFrame();
  CHECK(frame.isDropActive());
  for (bool active : {false, true}) {
    CHECK(frame.setDropActive(active));
    CHECK(property(host.display, host.window, "XdndProxy") == (active ? (long)child : -1));
    CHECK(property(host.display, child, "XdndAware") == (active ? 5 : -1));
  }
}

TEST_CASE_FIXTURE(Opened, "a source that dies in the middle of a drag leaves the editor working") {
  {
    XdndTestSource source(XdndTestSource::kDeepestAware, {{"UTF8_STRING", kText}});
    REQUIRE(source.running());
    CHECK(session.step(source, kPressOutside) == "pressed");
    CHECK(over(source, 150, 60) == statusFrom(child));
    source.kill();
  }
  // Its window went with its connection: the drag ends as if it had left.
  CHECK(session.idleUntil([&] { return log.size() == 2; }));
  CHECK(log == Log{"enter 150,60", "leave 150,60"});
  CHECK(cursorName(host.display) == "left_ptr");
  host.button(1, false);

  log.clear();
  XdndTestSource next(XdndTestSource::kDeepestAware, {{"UTF8_STRING", kText}});
  REQUIRE(next.running());
  CHECK(session.step(next, kPressOutside) == "pressed");
  CHECK(over(next, 120, 40) == statusFrom(child));
  CHECK(session.step(next, "drop") == finishedFrom(child));
  CHECK(log == Log{"enter 120,40", "drop 120,40"});
  CHECK(view().dropped.data == std::vector<std::string>{kText});
}

TEST_CASE_FIXTURE(Opened,
                  "data that never arrives and a source that falls silent: bounded waits, then "
                  "the drag ends") {
  XdndTestSource source(XdndTestSource::kDeepestAware, {{"text/uri-list", kFileList}});
  REQUIRE(source.running());
  CHECK(session.step(source, "quiet") == "quiet");
  CHECK(session.step(source, kPressOutside) == "pressed");
  // The item list never comes: one item that cannot be read.
  CHECK(over(source, 150, 60) == statusFrom(child));
  const ItemReading& items = view().entered;
  CHECK(items.count == 1);
  CHECK(items.data == std::vector<std::string>{"<null>"});
  CHECK(items.sizes == std::vector<long>{0});
  CHECK(items.types == std::vector<long>{-1});
  CHECK(over(source, 160, 60) == statusFrom(child));

  // The source lets go of the button and says nothing more.
  CHECK(session.step(source, "release") == "released");
  CHECK(session.idleUntil([&] { return log.size() == 3; }));
  CHECK(log == Log{"enter 150,60", "move 160,60", "leave 160,60"});
  CHECK(cursorName(host.display) == "left_ptr");
}

TEST_CASE_FIXTURE(Opened, "a large text arrives in pieces") {
  std::string large;
  for (int i = 0; large.size() < 300000; i++) large += "line " + std::to_string(i) + "\n";

  XdndTestSource source(XdndTestSource::kDeepestAware, {{"UTF8_STRING", large}});
  REQUIRE(source.running());
  CHECK(session.step(source, kPressOutside) == "pressed");
  CHECK(over(source, 150, 60) == statusFrom(child));
  const ItemReading& items = view().entered;
  CHECK(items.count == 1);
  CHECK(items.types == std::vector<long>{1});
  REQUIRE(items.data.size() == 1);
  CHECK(items.sizes[0] == (long)large.size());
  CHECK(items.data[0] == large);
  CHECK(session.step(source, "leave") == "left");
}
