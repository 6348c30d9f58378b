#include "xdnd.h"

#include <X11/Xatom.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "platformclock.h"
#include "x11errortrap.h"
#include "x11window.h"

namespace {
const char* const kAtomNames[XdndTarget::kAtomCount] = {
    "XdndAware",          "XdndProxy",    "XdndEnter",     "XdndPosition",
    "XdndStatus",         "XdndLeave",    "XdndDrop",      "XdndFinished",
    "XdndSelection",      "XdndTypeList", "text/uri-list", "text/plain;charset=utf-8",
    "UTF8_STRING",        "TEXT",         "INCR",          "WM_STATE",
    "TESSARINE_XDND_DATA"};

// Property reads ask for this many 32-bit units at a time.
constexpr long kChunkLongs = 65536;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isBlank(char c) {
  return c == '\r' || c == '\0' || c == ' ' || c == '\t';
}

// Xlib hands 16- and 32-bit property items over as short and long; they are
// narrowed back to their size on the wire.
void appendItems(std::string& data, const unsigned char* bytes, int format, unsigned long count) {
  if (format == 8) {
    data.append(reinterpret_cast<const char*>(bytes), count);
    return;
  }
  for (unsigned long i = 0; i < count; i++) {
    if (format == 16) {
      const uint16_t item = (uint16_t) reinterpret_cast<const short*>(bytes)[i];
      data.append(reinterpret_cast<const char*>(&item), sizeof item);
    } else if (format == 32) {
      const uint32_t item = (uint32_t) reinterpret_cast<const long*>(bytes)[i];
      data.append(reinterpret_cast<const char*>(&item), sizeof item);
    }
  }
}

// What the data waits look for: the source's answer to our XConvertSelection, or a
// new piece of an incremental transfer in our property.
struct EventMatch {
  int type;
  Window window;
  Atom atom;
  Atom selection;
};

Bool matchesEvent(Display*, XEvent* event, XPointer arg) {
  const EventMatch& match = *reinterpret_cast<const EventMatch*>(arg);
  if (event->type != match.type) return False;
  if (event->type == SelectionNotify)
    return event->xselection.requestor == match.window &&
           event->xselection.selection == match.selection && event->xselection.target == match.atom;
  return event->xproperty.window == match.window && event->xproperty.atom == match.atom &&
         event->xproperty.state == PropertyNewValue;
}
}  // namespace

// ---- text/uri-list ------------------------------------------------------------------

void xdndParseUriList(const std::string& list, std::vector<std::string>& uris) {
  uris.clear();
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    // Lines end in CR LF; some sources end them in LF alone, or close the list with
    // a NUL.
    size_t first = start, last = end;
    while (first < last && isBlank(list[first])) first++;
    while (last > first && isBlank(list[last - 1])) last--;
    if (last > first && list[first] != '#') uris.push_back(list.substr(first, last - first));
    start = end + 1;
  }
}

bool xdndPathFromUri(const std::string& uri, const char* hostName, std::string& path) {
  path.clear();
  if (uri.size() < 6 || strncasecmp(uri.c_str(), "file:", 5) != 0) return false;
  size_t at = 5;
  if (uri.compare(at, 2, "//") == 0) {
    const size_t slash = uri.find('/', at + 2);
    if (slash == std::string::npos) return false;
    const std::string host = uri.substr(at + 2, slash - at - 2);
    const bool local = host.empty() || strcasecmp(host.c_str(), "localhost") == 0 ||
                       (hostName && strcasecmp(host.c_str(), hostName) == 0);
    if (!local) return false;
    at = slash;
  } else if (uri[at] != '/') {
    return false;
  }
  // A '#' in a file name is escaped; a bare one starts a fragment, which no file has.
  if (uri.find('#', at) != std::string::npos) return false;
  for (size_t i = at; i < uri.size(); i++) {
    char c = uri[i];
    if (c == '%') {
      if (i + 2 >= uri.size()) return false;
      const int high = hexValue(uri[i + 1]), low = hexValue(uri[i + 2]);
      if (high < 0 || low < 0) return false;
      c = (char)(high * 16 + low);
      if (c == '\0') return false;  // a path ends at its first NUL
      i += 2;
    }
    path += c;
  }
  return true;
}

// ---- the items of a drag ----------------------------------------------------------

XdndDrag::XdndDrag(XdndTarget* target, Atom uriList, Atom text, Atom other)
    : target(target), uriList(uriList), text(text), other(other) {}

long XdndDrag::countItems() {
  loadItems();
  return (long)items.size();
}

long XdndDrag::getItemType(long index) {
  loadItems();
  return index >= 0 && (size_t)index < items.size() ? items[(size_t)index].type : -1;
}

bool XdndDrag::getItemData(long index, std::string& data) {
  loadItems();
  if (index < 0 || (size_t)index >= items.size()) return false;
  Item& item = items[(size_t)index];
  if (!item.ready) {
    if (item.fetchType == None || !target || !target->fetch(item.fetchType, item.data))
      return false;
    item.ready = true;
    item.fetchType = None;
  }
  data = item.data;
  return true;
}

void XdndDrag::loadItems() {
  if (loaded) return;
  loaded = true;
  if (uriList != None && loadFiles()) return;
  // An item whose own flavour cannot be read is read as text, as on the platform of
  // record; a file list that cannot be read and has no text is an unreadable item.
  if (text != None)
    items.push_back({1, text, false, {}});
  else if (uriList != None)
    items.push_back({-1, None, false, {}});
  else if (other != None)
    items.push_back({-1, other, false, {}});
}

bool XdndDrag::loadFiles() {
  std::string list;
  if (!target || !target->fetch(uriList, list)) return false;
  std::vector<std::string> uris;
  xdndParseUriList(list, uris);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  for (const std::string& uri : uris) {
    // Anything but a local file (a web address, another host's file) is an item of
    // another kind, with the URI as its data.
    Item item{0, None, true, {}};
    if (!xdndPathFromUri(uri, host, item.data)) {
      item.type = -1;
      item.data = uri;
    }
    items.push_back(std::move(item));
  }
  // An empty list leaves the drag to its text, if it has one.
  return !items.empty() || text == None;
}

// ---- announcing the window ----------------------------------------------------------

XdndTarget::XdndTarget(X11Window& owner, Display* display, Window window, Window parent)
    : owner(owner), display(display), window(window), parent(parent) {
  if (!owner.isAlive()) return;
  X11ErrorTrap trap;
  if (!XInternAtoms(display, const_cast<char**>(kAtomNames), kAtomCount, False, atoms))
    std::fill(atoms, atoms + kAtomCount, None);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) && !owner.isConnectionDead())
    root = attributes.root;
}

XdndTarget::~XdndTarget() {
  // The frame is going away: the drag ends without telling it.
  endSession(false);
  if (announced) removeProperties();
}

void XdndTarget::announce() {
  if (announced || !owner.isAlive() || atoms[kAware] == None) return;
  X11ErrorTrap trap;
  const long version = kVersion;
  const long self = (long)window;
  const unsigned char* selfData = reinterpret_cast<const unsigned char*>(&self);
  XChangeProperty(display, window, atoms[kAware], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&version), 1);
  XChangeProperty(display, window, atoms[kProxy], XA_WINDOW, 32, PropModeReplace, selfData, 1);
  // A host that does drag and drop itself keeps its drags.
  const Window topLevel = findTopLevel();
  if (topLevel != None && !hasProperty(topLevel, atoms[kAware]) &&
      !hasProperty(topLevel, atoms[kProxy])) {
    XChangeProperty(display, topLevel, atoms[kProxy], XA_WINDOW, 32, PropModeReplace, selfData, 1);
    proxyOn = topLevel;
  }
  XFlush(display);
  announced = true;
}

void XdndTarget::withdraw() {
  endSession(true);
  if (announced) removeProperties();
}

void XdndTarget::removeProperties() {
  announced = false;
  const Window topLevel = proxyOn;
  proxyOn = None;
  if (owner.isConnectionDead()) return;
  X11ErrorTrap trap;
  // Only while it still points at us: the host may have taken the property over.
  if (topLevel != None && readWindowProperty(topLevel, atoms[kProxy]) == window)
    XDeleteProperty(display, topLevel, atoms[kProxy]);
  if (owner.isAlive()) {
    XDeleteProperty(display, window, atoms[kAware]);
    XDeleteProperty(display, window, atoms[kProxy]);
  }
  XFlush(display);
}

// The window that sources look at: the host's top-level window as the window manager
// manages it (the one carrying WM_STATE) or, without a window manager, the ancestor
// that is a child of the root. The caller holds an X11ErrorTrap.
Window XdndTarget::findTopLevel() {
  Window w = parent;
  for (int depth = 0; w != None && depth < 64; depth++) {
    if (hasProperty(w, atoms[kWmState])) return w;
    Window treeRoot = None, up = None, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, w, &treeRoot, &up, &children, &count)) return None;
    if (children) XFree(children);
    if (w == treeRoot) return None;  // the host handed us the root window itself
    if (up == treeRoot) return w;
    w = up;
  }
  return None;
}

// The caller holds an X11ErrorTrap.
bool XdndTarget::hasProperty(Window w, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, w, property, 0, 0, False, AnyPropertyType, &type,
                                        &format, &count, &after, &data);
  if (data) XFree(data);
  return status == Success && type != None && !owner.isConnectionDead();
}

// The caller holds an X11ErrorTrap.
Window XdndTarget::readWindowProperty(Window w, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window value = None;
  if (XGetWindowProperty(display, w, property, 0, 1, False, XA_WINDOW, &type, &format, &count,
                         &after, &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1 && data)
    value = static_cast<Window>(*reinterpret_cast<const long*>(data));
  if (data) XFree(data);
  return value;
}

// ---- the protocol's messages --------------------------------------------------------

bool XdndTarget::handleClientMessage(const XClientMessageEvent& message) {
  if (message.format != 32 || atoms[kEnter] == None) return false;
  const Atom type = message.message_type;
  if (type != atoms[kEnter] && type != atoms[kPosition] && type != atoms[kLeave] &&
      type != atoms[kDrop])
    return false;
  // A window that no longer announces itself takes no drags.
  if (!announced) return true;
  if (type == atoms[kEnter])
    onEnter(message);
  else if (type == atoms[kPosition])
    onPosition(message);
  else if (type == atoms[kLeave])
    onLeave(message);
  else
    onDrop(message);
  return true;
}

bool XdndTarget::fromSource(const XClientMessageEvent& message) const {
  return session.active && (Window)message.data.l[0] == session.source;
}

// Step 1: the target receives XdndEnter. A drag comes over the window, or over the
// top-level window we answer for: the message names the source window, the protocol
// version (high byte of l[1]) and up to three offered types (more in XdndTypeList).
void XdndTarget::onEnter(const XClientMessageEvent& message) {
  const long version = (long)(((unsigned long)message.data.l[1] >> 24) & 0xff);
  if (version < kOldestVersion) return;
  // A drag whose end never reached us gives way to the new one.
  endSession(true);
  std::vector<Atom> types;
  readTypes(message, types);
  XdndDrag* drag = createDrag(types);
  if (!drag) return;
  session.active = true;
  session.serial = ++lastSerial;
  session.source = (Window)message.data.l[0];
  session.target = message.window;
  session.drag = drag;
  session.lastMessageAt = platformTicks();
  // The source's window going away ends the drag (see handleDestroy).
  if (!watchSource(session.source, true)) endSession(false);
}

void XdndTarget::readTypes(const XClientMessageEvent& message, std::vector<Atom>& types) {
  if (message.data.l[1] & 1) {
    X11ErrorTrap trap;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, (Window)message.data.l[0], atoms[kTypeList], 0, 1024, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        type == XA_ATOM && format == 32 && data) {
      const long* list = reinterpret_cast<const long*>(data);
      for (unsigned long i = 0; i < count; i++)
        if (list[i]) types.push_back((Atom)list[i]);
    }
    if (data) XFree(data);
    if (!types.empty()) return;
  }
  for (int i = 2; i < 5; i++)
    if (message.data.l[i]) types.push_back((Atom)message.data.l[i]);
}

XdndDrag* XdndTarget::createDrag(const std::vector<Atom>& types) {
  auto offered = [&](AtomIndex index) {
    return std::find(types.begin(), types.end(), atoms[index]) != types.end() ? atoms[index]
                                                                              : (Atom)None;
  };
  Atom text = offered(kUtf8Text);
  if (text == None) text = offered(kUtf8String);
  if (text == None) text = offered(kText);
  const Atom other = types.empty() ? (Atom)None : types.front();
  return new (std::nothrow) XdndDrag(this, offered(kUriList), text, other);
}

// Step 2: the target receives XdndPosition. The pointer moved to the root position
// in l[2] (x << 16 | y) at the time in l[3], asking for the action in l[4]. The frame
// sees the drag enter its window, move over it and leave it.
void XdndTarget::onPosition(const XClientMessageEvent& message) {
  if (!fromSource(message)) return;
  const unsigned long packed = (unsigned long)message.data.l[2];
  session.target = message.window;
  session.time = (Time)message.data.l[3];
  session.action = (Atom)message.data.l[4];
  session.lastMessageAt = platformTicks();
  CPoint where;
  const bool inside = locate((int)((packed >> 16) & 0xffff), (int)(packed & 0xffff), where);
  const bool wasInside = session.inside;
  session.inside = inside;
  session.where = where;
  if (inside && !wasInside)
    deliverDrag(kPlatformDragEnter, where, session.drag);
  else if (inside)
    deliverDrag(kPlatformDragMove, where, session.drag);
  else if (wasInside)
    deliverDrag(kPlatformDragLeave, where, session.drag);
  // Step 3: the target sends XdndStatus, naming the window the source addressed. The
  // drop is refused with a flags word of 0 and no action, so the source shows its
  // not-allowed cursor: bit 1 ("keep sending positions") stays clear too, because
  // some toolkits (Qt 5) read any non-zero flags word as "drop possible" and would
  // then drop and report a copy or move as done. The empty rectangle (l[2], l[3] 0)
  // still asks for a position at every move, so the views see them all.
  const long status[5] = {(long)message.window, 0, 0, 0, (long)None};
  send((Window)message.data.l[0], atoms[kStatus], status);
}

// Step 4a: the target receives XdndLeave. The drag left the window (or the top-level
// window we answer for), or it was cancelled, or the user let go over us: a source
// that keeps to the protocol answers a refused drop with XdndLeave.
void XdndTarget::onLeave(const XClientMessageEvent& message) {
  if (fromSource(message)) endSession(true);
}

// Step 4b: the target receives XdndDrop. The user let go over the window although
// the drop was refused, as some sources do: the frame routes the drop when the
// pointer was over its window; data is read with the drop's time stamp (l[2]).
void XdndTarget::onDrop(const XClientMessageEvent& message) {
  if (!fromSource(message)) return;
  const unsigned serial = session.serial;
  session.time = (Time)message.data.l[2];
  session.lastMessageAt = platformTicks();
  const Atom action = session.action;
  bool accepted = false;
  if (session.inside) {
    session.inside = false;  // the frame ends its side of the drag with the drop
    accepted = deliverDrag(kPlatformDragDrop, session.where, session.drag);
  }
  // Step 5: the target sends XdndFinished: whether the drop was taken (bit 0 of l[1])
  // and the action performed (l[2]).
  const long finished[5] = {(long)message.window, accepted ? 1 : 0,
                            accepted ? (long)action : (long)None, 0, 0};
  send((Window)message.data.l[0], atoms[kFinished], finished);
  // Unless the frame's handlers, running the event pump, already saw a new drag.
  if (session.serial == serial) endSession(false);
}

void XdndTarget::handleDestroy(Window destroyed) {
  if (session.active && destroyed == session.source) endSession(true);
}

void XdndTarget::checkAbandoned() {
  if (!session.active) return;
  const uint32_t now = platformTicks();
  if (now - session.lastMessageAt < kSilenceMs) return;
  session.lastMessageAt = now;  // asked again one period later
  // A user holding still over the window keeps a button down; a source that let go
  // sends its drop or leave at once.
  if (owner.isAlive() && sourceAlive(session.source) && buttonHeld()) return;
  endSession(true);
}

bool XdndTarget::locate(int rootX, int rootY, CPoint& where) {
  if (!owner.isAlive() || root == None) return false;
  const bool viewable = owner.isViewable();
  X11ErrorTrap trap;
  int x = 0, y = 0;
  Window child = None;
  if (!XTranslateCoordinates(display, root, window, rootX, rootY, &x, &y, &child) ||
      owner.isConnectionDead())
    return false;
  where(x, y);
  return viewable && x >= 0 && y >= 0 && x < owner.width && y < owner.height;
}

void XdndTarget::endSession(bool notifyFrame) {
  if (!session.active) return;
  // Cleared first: the frame's handlers may run the event pump, and this target
  // with it, again.
  const Session ended = session;
  session = Session();
  if (notifyFrame && ended.inside) deliverDrag(kPlatformDragLeave, ended.where, ended.drag);
  ended.drag->detach();
  ended.drag->forget();
  watchSource(ended.source, false);
}

bool XdndTarget::deliverDrag(CPlatformEventKind kind, const CPoint& where, XdndDrag* drag) {
  CPlatformEvent event;
  event.kind = kind;
  event.where = where;
  event.drag = drag;
  // The drag stays alive through the frame's handlers even if they end it.
  drag->remember();
  const bool result = owner.deliver(event);
  drag->forget();
  return result;
}

void XdndTarget::send(Window to, Atom type, const long data[5]) {
  if (!owner.isAlive()) return;
  X11ErrorTrap trap;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.display = display;
  event.xclient.window = to;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  for (int i = 0; i < 5; i++) event.xclient.data.l[i] = data[i];
  // BadWindow when the source is gone: trapped, and the drag ends by its destruction.
  XSendEvent(display, to, False, NoEventMask, &event);
  XFlush(display);
}

// False when the source's window is already gone.
bool XdndTarget::watchSource(Window source, bool watch) {
  if (owner.isConnectionDead()) return false;
  X11ErrorTrap trap;
  const long errors = owner.getErrorCount();
  XSelectInput(display, source, watch ? StructureNotifyMask : NoEventMask);
  if (!watch) {
    XFlush(display);
    return true;
  }
  XSync(display, False);
  return owner.getErrorCount() == errors && !owner.isConnectionDead();
}

bool XdndTarget::sourceAlive(Window source) {
  X11ErrorTrap trap;
  const long errors = owner.getErrorCount();
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, source, &attributes) && owner.getErrorCount() == errors &&
         !owner.isConnectionDead();
}

bool XdndTarget::buttonHeld() {
  X11ErrorTrap trap;
  Window rootReturn, child;
  int rootX, rootY, x, y;
  unsigned int mask = 0;
  // False only when the pointer is on another screen; the state is right either way.
  XQueryPointer(display, root, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask);
  const unsigned int buttons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
  return !owner.isConnectionDead() && (mask & buttons) != 0;
}

// ---- the drag's data ----------------------------------------------------------------

bool XdndTarget::fetch(Atom type, std::string& data) {
  data.clear();
  if (!session.active || session.unresponsive || !owner.isAlive()) return false;
  const Atom property = atoms[kDataProperty];
  {
    X11ErrorTrap trap;
    XDeleteProperty(display, window, property);
    XConvertSelection(display, atoms[kSelection], type, property, window, session.time);
  }
  XEvent notify;
  if (!waitForEvent(SelectionNotify, type, notify)) {
    session.unresponsive = true;
    return false;
  }
  // None: the source has no data of that type after all.
  if (notify.xselection.property == None) return false;
  Atom actualType = None;
  if (!readProperty(data, actualType) || actualType == None) return false;
  if (actualType == atoms[kIncr]) return readIncrementally(data);
  return true;
}

bool XdndTarget::waitForEvent(int type, Atom atom, XEvent& event) {
  EventMatch match = {type, window, atom, atoms[kSelection]};
  const uint32_t start = platformTicks();
  while (owner.isAlive()) {
    {
      // Everything else stays queued for the event pump.
      X11ErrorTrap trap;
      if (XCheckIfEvent(display, &event, matchesEvent, reinterpret_cast<XPointer>(&match)))
        return true;
    }
    const long remaining = kDataTimeoutMs - (long)(platformTicks() - start);
    if (remaining <= 0) return false;
    owner.pollConnection(remaining);
  }
  return false;
}

// Reads and deletes our data property; type None when there was none.
bool XdndTarget::readProperty(std::string& data, Atom& type) {
  X11ErrorTrap trap;
  const Atom property = atoms[kDataProperty];
  data.clear();
  type = None;
  long offset = 0;
  for (;;) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* bytes = nullptr;
    const int status =
        XGetWindowProperty(display, window, property, offset, kChunkLongs, False, AnyPropertyType,
                           &actualType, &format, &count, &after, &bytes);
    if (status != Success || owner.isConnectionDead()) {
      if (bytes) XFree(bytes);
      return false;
    }
    if (actualType == None) return true;
    if (bytes) {
      appendItems(data, bytes, format, count);
      XFree(bytes);
    }
    type = actualType;
    offset += (long)(count * (unsigned long)format / 32);
    if (after == 0) break;
    if (data.size() > kMaxDataBytes) return false;
  }
  // Deleting the property also asks an incremental source for its next piece.
  XDeleteProperty(display, window, property);
  XFlush(display);
  return true;
}

// Large data comes in pieces (INCR): the source writes a piece into our property, we
// read and delete it, it writes the next; an empty piece ends the transfer. Each
// piece is awaited for the same bounded time.
bool XdndTarget::readIncrementally(std::string& data) {
  data.clear();
  for (;;) {
    XEvent event;
    if (!waitForEvent(PropertyNotify, atoms[kDataProperty], event)) {
      session.unresponsive = true;
      return false;
    }
    std::string piece;
    Atom type = None;
    if (!readProperty(piece, type)) return false;
    if (type == None) continue;  // the notice of a piece we already read
    if (piece.empty()) return true;
    if (data.size() + piece.size() > kMaxDataBytes) return false;
    data += piece;
  }
}
