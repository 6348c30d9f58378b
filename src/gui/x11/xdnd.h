#pragma once
// The XDND protocol (version 5), drop-target side: how the frame's window takes the
// drags of other X clients.
//
// A source looks for drop targets among top-level windows: it reads XdndAware (the
// protocol version) on the window under the pointer, or follows its XdndProxy to the
// window that answers for it. The frame's window is a child deep inside the host's
// window, so besides XdndAware on itself it puts XdndProxy on the host's top-level
// window (pointing at itself, and on itself to itself), unless the host does drag
// and drop of its own; it then answers in the top-level window's name.
//
// The source then sends client messages: XdndEnter (the offered types), XdndPosition
// (the pointer moved; answered by XdndStatus), XdndLeave, XdndDrop (answered by
// XdndFinished). The items are read from the XdndSelection with XConvertSelection.
// The frame sees enter, move, leave and drop as the pointer enters, crosses and
// leaves its window (with the proxy, the source's messages start and end at the
// edges of the top-level window instead).
//
// No view of this framework accepts drops: every XdndStatus refuses the drop (flags 0,
// an empty rectangle, no action), and a source that keeps to the protocol answers the
// release of the button with XdndLeave.
//
// Every wait for the source is bounded, and a drag whose source vanishes or falls
// silent ends as if it had left, so the editor never hangs on another program.

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dragcontainer.h"
#include "geometry.h"
#include "platformevent.h"

class X11Window;
class XdndTarget;

// The URIs of a text/uri-list (RFC 2483): one per line, comments (#) and empty lines
// left out.
void xdndParseUriList(const std::string& list, std::vector<std::string>& uris);
// The local path that a file URI names, percent-decoded: file:///p, file:/p,
// file://localhost/p and file://hostName/p. False for any other URI, for another
// host's files and for malformed ones (bad escapes, an encoded NUL, a fragment).
bool xdndPathFromUri(const std::string& uri, const char* hostName, std::string& path);

// The items of one drag, read from the source on demand: the files of a
// text/uri-list, or else one text (text/plain;charset=utf-8, UTF8_STRING or TEXT), or
// else one item of the first offered type.
class XdndDrag : public CPlatformDrag {
 public:
  // The offered types that matter, None where not offered: the file list, the
  // preferred text type, and the type of a drag that is neither.
  XdndDrag(XdndTarget* target, Atom uriList, Atom text, Atom other);

  long countItems() override;
  long getItemType(long index) override;
  bool getItemData(long index, std::string& data) override;

  // The drag is over: nothing more can be fetched.
  void detach() { target = nullptr; }

 private:
  struct Item {
    long type;
    Atom fetchType;  // None once the data is here, or when it cannot be fetched
    bool ready;
    std::string data;
  };
  void loadItems();
  bool loadFiles();

  XdndTarget* target;
  Atom uriList;
  Atom text;
  Atom other;
  bool loaded = false;
  std::vector<Item> items;
};

class XdndTarget {
 public:
  XdndTarget(X11Window& owner, Display* display, Window window, Window parent);
  ~XdndTarget();
  XdndTarget(const XdndTarget&) = delete;
  XdndTarget& operator=(const XdndTarget&) = delete;

  // Tells sources that the window takes drags (the properties above).
  void announce();
  // Ends a drag in progress (the frame sees it leave) and removes exactly the
  // properties announce() set, as far as they are still ours.
  void withdraw();
  bool isAnnounced() const { return announced; }

  // One of the protocol's client messages: true when it was one.
  bool handleClientMessage(const XClientMessageEvent& message);
  // A window we watch was destroyed: when it is the source's, the drag ends.
  void handleDestroy(Window destroyed);
  // Called by the event pump: ends a drag whose source has been silent for a while
  // and either vanished or no longer holds a button down.
  void checkAbandoned();

  // Reads the drag's data in the given type from the source (XdndDrag's fetch).
  // Bounded: a source that does not answer within kDataTimeoutMs is not asked again
  // during this drag.
  bool fetch(Atom type, std::string& data);

  static constexpr long kVersion = 5;
  static constexpr long kOldestVersion = 3;
  static constexpr long kDataTimeoutMs = 1000;
  static constexpr uint32_t kSilenceMs = 1000;
  static constexpr size_t kMaxDataBytes = 16u << 20;

  enum AtomIndex {
    kAware,
    kProxy,
    kEnter,
    kPosition,
    kStatus,
    kLeave,
    kDrop,
    kFinished,
    kSelection,
    kTypeList,
    kUriList,
    kUtf8Text,
    kUtf8String,
    kText,
    kIncr,
    kWmState,
    kDataProperty,
    kAtomCount
  };

 private:
  struct Session {
    bool active = false;
    unsigned serial = 0;  // tells one drag from the next
    Window source = None;
    Window target = None;  // whom the source addresses: our window, or the top level
    Time time = CurrentTime;
    Atom action = None;
    bool inside = false;  // the pointer is over our window; the frame saw it enter
    CPoint where;         // the last position, in window coordinates
    uint32_t lastMessageAt = 0;
    bool unresponsive = false;  // a data request went unanswered
    XdndDrag* drag = nullptr;   // one reference
  };

  void onEnter(const XClientMessageEvent& message);
  void onPosition(const XClientMessageEvent& message);
  void onLeave(const XClientMessageEvent& message);
  void onDrop(const XClientMessageEvent& message);
  bool fromSource(const XClientMessageEvent& message) const;
  void readTypes(const XClientMessageEvent& message, std::vector<Atom>& types);
  XdndDrag* createDrag(const std::vector<Atom>& types);
  bool locate(int rootX, int rootY, CPoint& where);
  void endSession(bool notifyFrame);
  bool deliverDrag(CPlatformEventKind kind, const CPoint& where, XdndDrag* drag);
  void send(Window to, Atom type, const long data[5]);
  bool watchSource(Window source, bool watch);
  bool sourceAlive(Window source);
  bool buttonHeld();

  Window findTopLevel();
  bool hasProperty(Window w, Atom property);
  Window readWindowProperty(Window w, Atom property);
  void removeProperties();

  bool waitForEvent(int type, Atom atom, XEvent& event);
  bool readProperty(std::string& data, Atom& type);
  bool readIncrementally(std::string& data);

  X11Window& owner;
  Display* display;
  Window window;
  Window parent;
  Window root = None;
  Atom atoms[kAtomCount] = {};
  bool announced = false;
  Window proxyOn = None;  // the top-level window that carries our XdndProxy
  Session session;
  unsigned lastSerial = 0;
};
