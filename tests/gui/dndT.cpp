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
#include "recordingview.h"
#include "xdndsource.h"
#include "xtesthost.h"

namespace {

std::string item(long type, const std::string& data) {
  return std::to_string(type) + " " + std::to_string(data.size()) + " " + data;
}

// What a view read from a drag: "<type> <size> <data>" per item ("<null>" when it
// could not be read), and in `rest` whether every item ends in a NUL, whether next()
// then gives NULL, 0 and -1, whether first() starts again, and getType from -1 to count.
struct Reading {
  Log items;
  std::string rest;
};

Reading readItems(CDragContainer* drag) {
  Reading r;
  const long count = drag->getCount();
  bool terminated = true;
  long size = -2, type = -2;
  auto line = [&](const void* data) {
    return data ? item(type, std::string(static_cast<const char*>(data), (size_t)size))
                : std::to_string(type) + " " + std::to_string(size) + " <null>";
  };
  for (long i = 0; i < count; i++) {
    const void* data = i == 0 ? drag->first(size, type) : drag->next(size, type);
    r.items.push_back(line(data));
    terminated &= !data || static_cast<const char*>(data)[size] == '\0';
  }
  const bool ends = drag->next(size, type) == nullptr && size == 0 && type == -1;
  const bool restarts = count > 0 && line(drag->first(size, type)) == r.items[0];
  r.rest = std::string(terminated ? "nul " : "") + (ends ? "end " : "") +
           (restarts ? "restarts " : "") + "types";
  for (long i = -1; i <= count; i++) r.rest += " " + std::to_string(drag->getType(i));
  return r;
}

// Reads the items whenever a drag enters it or drops on it; refuses the drop.
class ItemView : public CView {
 public:
  explicit ItemView(const CRect& size) : CView(size) {}
  void draw(CDrawContext*) override { draws++, setDirty(false); }
  void onDragEnter(CDrawContext*, CDragContainer* drag, const CPoint&) override {
    if (reads) entered = readItems(drag);
  }
  bool onDrop(CDrawContext*, CDragContainer* drag, const CPoint&) override {
    if (reads) dropped = readItems(drag);
    return false;
  }
  int draws = 0;
  bool reads = true;
  Reading entered, dropped;
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
  void note(const char* what, const CPoint& p) {
    log->push_back(std::string(what) + " " + std::to_string(p.h) + "," + std::to_string(p.v));
  }
  Log* log;
};

class DropEditor : public AEffGUIEditor {
 public:
  explicit DropEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = {0, 0, 145, 419}; }
  bool open(void* ptr) override {
    AEffGUIEditor::open(ptr);
    frame = new LoggingFrame(CRect(0, 0, 419, 145), ptr, this, &log);
    frame->addView(view = new ItemView(CRect(100, 20, 300, 120)));
    return true;
  }
  void close() override {
    delete frame;
    frame = nullptr, view = nullptr;
    AEffGUIEditor::close();
  }
  Log log;
  ItemView* view = nullptr;
};

// The drop editor in an effect, driven as a host drives it, and a host window.
struct Drop : HostedEffect {
  Drop() { e = effect.getAeffect(); }
  ~Drop() {
    if (editor->getFrame()) dispatch(effEditClose);
  }
  bool open(Window parent) {
    const bool shown = openEditor(parent) && idleUntil([this] { return editor->view->draws > 0; });
    if (shown) child = editorWindowIn(parent);
    return shown;
  }
  // Sends a command to the source and runs the editor until the source answers.
  std::string step(XdndTestSource& source, const std::string& command) {
    source.send(command);
    std::string line = "(no answer)";
    idleUntil([&] { return source.answer(line); });
    return line;
  }
  // Moves the source's pointer to (x, y) of a window (the editor's by default).
  std::string over(XdndTestSource& source, int x, int y, Window window = 0) {
    int rootX, rootY;
    Window unused;
    XTranslateCoordinates(host.display, window ? window : child, DefaultRootWindow(host.display), x,
                          y, &rootX, &rootY, &unused);
    return step(source, "move " + std::to_string(rootX) + " " + std::to_string(rootY));
  }
  // Presses the button where the root window is all there is.
  void press(XdndTestSource& source) {
    REQUIRE(source.running());
    CHECK(step(source, "press 1000 900") == "pressed");
  }
  // The name of the cursor under the pointer (the core font's stand-ins have none).
  std::string cursor() {
    XFixesCursorImage* image = XFixesGetCursorImage(host.display);
    const std::string name = image && image->name ? image->name : "(none)";
    if (image) XFree(image);
    return name;
  }
  // A window's 32-bit property, or -1 when it has none.
  long property(Window window, const char* name) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long value = -1;
    if (XGetWindowProperty(host.display, window, XInternAtom(host.display, name, False), 0, 1,
                           False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        type != None && format == 32 && count == 1)
      value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return value;
  }
  // Flags 0: the drop refused, no action (the empty rectangle keeps positions coming).
  std::string status(Window window = 0) {
    return "status " + std::to_string(window ? window : child) + " 0 0";
  }
  std::string finished() { return "finished " + std::to_string(child) + " 0 0"; }
  ItemView& view() { return *editor->view; }

  HostRecorder recorder;
  XTestHost host;
  TestEffect effect{HostRecorder::callback};
  DropEditor* editor = new DropEditor(&effect);  // owned by the effect
  Log& log = editor->log;
  Window child = 0;
};

// The editor opened in the host window.
struct Opened : Drop {
  Opened() { REQUIRE(open(host.window)); }
};

const char* const kFileList =
    "# dragged from a file manager\r\n"
    "file:///tmp/dnd%20test/sample%C3%A9.wav\r\n"
    "file://localhost/etc/hosts\r\n"
    "https://example.org/page\r\n";
const std::string kFirstPath = "/tmp/dnd test/sample\xC3\xA9.wav";
const std::string kText = "h\xC3\xA9llo, w\xC3\xB6rld";
}  // namespace

TEST_CASE_FIXTURE(Opened,
                  "a file and then a text dragged over the editor: the frame, the items, the "
                  "reply, the cursor") {
  CHECK(property(child, "XdndAware") == 5);
  XcursorImages* notAllowed = XcursorLibraryLoadImages("not-allowed", XcursorGetTheme(host.display),
                                                       XcursorGetDefaultSize(host.display));
  REQUIRE_MESSAGE(notAllowed, "no cursor theme with not-allowed: install adwaita-icon-theme");
  XcursorImagesDestroy(notAllowed);

  // Four types go in XdndTypeList; the source finds our window by XdndAware, as Qt does.
  XdndTestSource files(XdndTestSource::kDeepestAware,
                       {{"x-special/gnome-copied-files", "copy\nfile:///tmp/x"},
                        {"text/uri-list", kFileList},
                        {"UTF8_STRING", kFirstPath},
                        {"text/plain;charset=utf-8", kFirstPath}});
  press(files);
  CHECK(step(files, "move 1000 900") == "none");
  CHECK(over(files, 150, 60) == status());
  CHECK(log == Log{"enter 150,60"});
  CHECK(cursor() == "not-allowed");
  CHECK(view().entered.items ==
        Log{item(0, kFirstPath), item(0, "/etc/hosts"), item(-1, "https://example.org/page")});
  CHECK(view().entered.rest == "nul end restarts types -1 0 0 -1 -1");
  CHECK(over(files, 200, 70) == status());
  CHECK(over(files, 210, 75) == status());
  CHECK(cursor() == "not-allowed");
  // Letting go over a refusing target: XdndLeave (answered before the editor read it).
  CHECK(step(files, "leave") == "left");
  CHECK(idleUntil([&] { return log.size() == 4; }));
  CHECK(log == Log{"enter 150,60", "move 200,70", "move 210,75", "leave 210,75"});
  CHECK(cursor() == "left_ptr");

  log.clear();
  XdndTestSource text(XdndTestSource::kDeepestAware, {{"text/plain;charset=utf-8", kText}});
  press(text);
  CHECK(over(text, 150, 60) == status());
  CHECK(cursor() == "not-allowed");
  CHECK(over(text, 160, 65) == status());
  // A source may drop all the same: the views get it, refuse it, and the source hears so.
  CHECK(step(text, "drop") == finished());
  CHECK(log == Log{"enter 150,60", "move 160,65", "drop 160,65"});
  CHECK(cursor() == "left_ptr");
  for (const Reading* reading : {&view().entered, &view().dropped}) {
    CHECK(reading->items == Log{item(1, kText)});
    CHECK(reading->rest == "nul end restarts types -1 1 -1");
  }
}

TEST_CASE_FIXTURE(Opened,
                  "letting go over the editor: neither a source that reads the flags word as Qt 5 "
                  "does nor one that reads it as GTK does drops, copies or moves") {
  struct Source {
    XdndTestSource::Discovery discovery;
    XdndTestSource::Reading reading;
    Window addressed;  // the window the messages name
  };
  for (const Source& s :
       {Source{XdndTestSource::kDeepestAware, XdndTestSource::kAnyFlag, child},
        Source{XdndTestSource::kTopLevel, XdndTestSource::kAcceptBit, host.window}}) {
    log.clear();
    XdndTestSource source(s.discovery, {{"text/uri-list", kFileList}}, s.reading);
    press(source);
    CHECK(over(source, 150, 60) == status(s.addressed));
    CHECK(over(source, 160, 65) == status(s.addressed));
    CHECK(cursor() == "not-allowed");
    CHECK(step(source, "letgo") == "refused");
    CHECK(idleUntil([&] { return log.size() == 3; }));
    CHECK(log == Log{"enter 150,60", "move 160,65", "leave 160,65"});
  }
}

TEST_CASE_FIXTURE(
    Drop,
    "embedded in a host window without drop support, the editor gets drags through the top level") {
  const Window inner = XCreateSimpleWindow(host.display, host.window, 40, 30, 500, 300, 0, 0, 0);
  XMapWindow(host.display, inner);
  XSync(host.display, False);
  REQUIRE(open(inner));
  CHECK(property(host.window, "XdndProxy") == (long)child);
  CHECK(property(child, "XdndProxy") == (long)child);
  CHECK(property(child, "XdndAware") == 5);
  CHECK(property(host.window, "XdndAware") == -1);
  CHECK(property(inner, "XdndProxy") == -1);
  view().reads = false;

  // Found the way GTK finds targets: the messages name the top level.
  XdndTestSource source(XdndTestSource::kTopLevel, {{"text/uri-list", kFileList}});
  const std::string status = Drop::status(host.window);
  press(source);
  CHECK(step(source, "move 1000 900") == "none");
  // Over the host, beside the editor: the drag is ours, but not over the frame.
  CHECK(over(source, 560, 370, host.window) == status);
  CHECK(log.empty());
  CHECK(over(source, 150, 60) == status);
  CHECK(cursor() == "not-allowed");
  CHECK(over(source, 200, 70) == status);
  CHECK(over(source, 560, 370, host.window) == status);
  CHECK(cursor() != "not-allowed");
  CHECK(over(source, 150, 60) == status);
  CHECK(step(source, "drop") == "finished " + std::to_string(host.window) + " 0 0");
  CHECK(log == Log{"enter 150,60", "move 200,70", "leave 520,340", "enter 150,60", "drop 150,60"});
  // No view asked for the items: nothing crossed.
  CHECK(step(source, "requests") == "requests 0");

  dispatch(effEditClose);
  CHECK(property(host.window, "XdndProxy") == -1);
}

TEST_CASE("a host's own drop-target properties are left alone") {
  XTestHost other(false);
  // A host's own XdndAware (and no proxy of ours), or its own proxy, stays as it was.
  for (bool ownProxy : {false, true}) {
    Drop d;
    long value = ownProxy ? (long)other.window : 5;
    XChangeProperty(d.host.display, d.host.window,
                    XInternAtom(d.host.display, ownProxy ? "XdndProxy" : "XdndAware", False),
                    ownProxy ? XA_WINDOW : XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
    XSync(d.host.display, False);
    const long aware = d.property(d.host.window, "XdndAware");
    const long proxy = d.property(d.host.window, "XdndProxy");
    REQUIRE(d.open(d.host.window));
    CHECK(d.property(d.host.window, "XdndProxy") == proxy);
    d.dispatch(effEditClose);
    CHECK(d.property(d.host.window, "XdndProxy") == proxy);
    CHECK(d.property(d.host.window, "XdndAware") == aware);
  }
}

TEST_CASE_FIXTURE(Opened,
                  "setDropActive takes the drop-target properties away and puts them back") {
  CFrame& frame = *editor->getFrame();
  CHECK(frame.isDropActive());
  for (bool active : {false, true}) {
    CHECK(frame.setDropActive(active));
    CHECK(property(host.window, "XdndProxy") == (active ? (long)child : -1));
    CHECK(property(child, "XdndAware") == (active ? 5 : -1));
  }
}

TEST_CASE_FIXTURE(Opened, "a source that dies in the middle of a drag leaves the editor working") {
  {
    XdndTestSource source(XdndTestSource::kDeepestAware, {{"UTF8_STRING", kText}});
    press(source);
    CHECK(over(source, 150, 60) == status());
    source.kill();
  }
  // Its window went with its connection: the drag ends as if it had left.
  CHECK(idleUntil([&] { return log.size() == 2; }));
  CHECK(log == Log{"enter 150,60", "leave 150,60"});
  CHECK(cursor() == "left_ptr");
  host.button(1, false);

  log.clear();
  XdndTestSource next(XdndTestSource::kDeepestAware, {{"UTF8_STRING", kText}});
  press(next);
  CHECK(over(next, 120, 40) == status());
  CHECK(step(next, "drop") == finished());
  CHECK(log == Log{"enter 120,40", "drop 120,40"});
  CHECK(view().dropped.items == Log{item(1, kText)});
}

TEST_CASE_FIXTURE(Opened,
                  "data that never arrives and a source that falls silent: bounded waits, then "
                  "the drag ends") {
  XdndTestSource source(XdndTestSource::kDeepestAware, {{"text/uri-list", kFileList}});
  CHECK(step(source, "quiet") == "quiet");
  press(source);
  // The item list never comes: one item that cannot be read.
  CHECK(over(source, 150, 60) == status());
  CHECK(view().entered.items == Log{"-1 0 <null>"});
  CHECK(over(source, 160, 60) == status());
  // The source lets go of the button and says nothing more.
  CHECK(step(source, "release") == "released");
  CHECK(idleUntil([&] { return log.size() == 3; }));
  CHECK(log == Log{"enter 150,60", "move 160,60", "leave 160,60"});
  CHECK(cursor() == "left_ptr");
}

TEST_CASE_FIXTURE(Opened, "a large text arrives in pieces") {
  std::string large;
  for (int i = 0; large.size() < 300000; i++) large += "line " + std::to_string(i) + "\n";
  XdndTestSource source(XdndTestSource::kDeepestAware, {{"UTF8_STRING", large}});
  press(source);
  CHECK(over(source, 150, 60) == status());
  CHECK((view().entered.items == Log{item(1, large)}));  // no 300 kB dump on failure
  CHECK(step(source, "leave") == "left");
}
