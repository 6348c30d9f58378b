#include "xdndsource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "childprocess.h"
#include "platformclock.h"

namespace {
constexpr size_t kPiece = 64 * 1024;  // larger data goes in pieces of this size (INCR)

int ignoreErrors(Display*, XErrorEvent*) {
  return 0;
}

// The source's side: one connection, one hidden window that owns the XdndSelection.
struct SourceProcess {
  SourceProcess(int c, int a, XdndTestSource::Discovery d,
                const std::vector<XdndTestSource::Offer>& o, XdndTestSource::Reading r)
      : commandFd(c), answerFd(a), discovery(d), offers(o), reading(r) {}
  int commandFd, answerFd;
  XdndTestSource::Discovery discovery;
  const std::vector<XdndTestSource::Offer>& offers;
  XdndTestSource::Reading reading;
  long statusFlags = 0;  // l[1] and l[4] of the last XdndStatus
  Atom statusAction = None;
  std::vector<Atom> offerAtoms;
  Display* display = XOpenDisplay(nullptr);
  Window window = None, target = None, sendTo = None;  // sendTo: the target or its proxy
  long version = 0;
  bool quiet = false;
  int requests = 0;
  Atom awaited = None;
  bool arrived = false;
  long message[5] = {};
  // An INCR transfer under way: the requestor, its property and type, what is left.
  Window requestor = None;
  Atom property = None, type = None;
  std::string rest;
  bool incr = false;

  Atom atom(const char* name) { return XInternAtom(display, name, False); }
  void reply(const std::string& line) {
    const std::string text = line + "\n";
    if (write(answerFd, text.data(), text.size()) < 0) _exit(1);
  }
  void button(bool down) {
    XTestFakeButtonEvent(display, 1, down, CurrentTime), XSync(display, False);
  }
  void motion(int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
  }
  long read(Window w, const char* name, Atom wanted) {
    Atom actual;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long value = 0;
    if (XGetWindowProperty(display, w, atom(name), 0, 1, False, wanted, &actual, &format, &count,
                           &after, &data) == Success &&
        actual == wanted && count == 1)
      value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return value;
  }
  // A proxy counts when it names itself as well.
  Window proxyOf(Window w) {
    const Window proxy = (Window)read(w, "XdndProxy", XA_WINDOW);
    return proxy && (Window)read(proxy, "XdndProxy", XA_WINDOW) == proxy ? proxy : None;
  }
  void send(const char* name, long l1, long l2, long l3, long l4) {
    XEvent e = {};
    e.xclient = {ClientMessage, 0, False, display, target, atom(name), 32, {}};
    const long l[5] = {(long)window, l1, l2, l3, l4};
    std::copy(l, l + 5, e.xclient.data.l);
    XSendEvent(display, sendTo, False, NoEventMask, &e);
    XFlush(display);
  }
  // Handles events until the awaited message came or 3 s ran out.
  bool await(const char* name) {
    awaited = atom(name), arrived = false;
    for (const uint32_t start = platformTicks(); !arrived && platformTicks() - start < 3000;)
      pump(10);
    awaited = None;
    return arrived;
  }
  std::string words(const char* first, int a, int b, int c) {
    return std::string(first) + " " + std::to_string(message[a]) + " " +
           std::to_string(message[b]) + " " + std::to_string(message[c]);
  }

  int run() {
    if (!display) return 1;
    XSetErrorHandler(ignoreErrors);
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
    for (const auto& offer : offers) offerAtoms.push_back(atom(offer.type.c_str()));
    XSetSelectionOwner(display, atom("XdndSelection"), window, CurrentTime);
    XSync(display, False);
    reply("ready");
    std::string line;
    for (char c;;) {
      pump(0);
      pollfd fds[2] = {{commandFd, POLLIN, 0}, {ConnectionNumber(display), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 || !(fds[0].revents & (POLLIN | POLLHUP))) continue;
      if (::read(commandFd, &c, 1) <= 0) return 0;  // the test is done with us
      if (c != '\n')
        line += c;
      else
        command(line), line.clear();
    }
  }
  void command(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    int x = 0, y = 0;
    in >> verb >> x >> y;
    if (verb == "press")
      motion(x, y), button(true), reply("pressed");
    else if (verb == "move")
      move(x, y);
    else if (verb == "leave" || verb == "drop")
      reply(finish(verb == "drop"));
    else if (verb == "letgo")
      letGo();
    else if (verb == "release")
      button(false), reply("released");
    else if (verb == "quiet")
      quiet = true, reply("quiet");
    else if (verb == "requests")
      reply("requests " + std::to_string(requests));
  }

  void move(int x, int y) {
    motion(x, y);
    XSync(display, False);
    Window nextTarget = None, nextSend = None;
    long nextVersion = 0;
    find(x, y, nextTarget, nextSend, nextVersion);
    if (nextTarget != target || nextSend != sendTo) {
      if (target) send("XdndLeave", 0, 0, 0, 0);
      target = nextTarget, sendTo = nextSend, version = nextVersion;
      if (target) enter();
    }
    if (!target) return reply("none");
    send("XdndPosition", 0, ((long)x << 16) | y, CurrentTime, (long)askedAction());
    statusFlags = 0, statusAction = None;
    if (!await("XdndStatus")) return reply("silent");
    statusFlags = message[1], statusAction = (Atom)message[4];
    reply(words("status", 0, 1, 4));
  }
  Atom askedAction() {
    return atom(reading == XdndTestSource::kAnyFlag ? "XdndActionMove" : "XdndActionCopy");
  }

  std::string finish(bool drop) {
    std::string answer = drop ? "none" : "left";
    if (target && !drop) send("XdndLeave", 0, 0, 0, 0);
    if (target && drop) {
      send("XdndDrop", 0, CurrentTime, 0, 0);
      answer = await("XdndFinished") ? words("finished", 0, 1, 2) : "silent";
    }
    target = sendTo = None;
    button(false);
    return answer;
  }

  // Qt 5 tests the whole flags word for "drop possible"; GTK and the protocol, bit 0.
  void letGo() {
    const bool accepted = target && (reading == XdndTestSource::kAnyFlag ? statusFlags != 0
                                                                         : (statusFlags & 1) != 0);
    if (!accepted) {
      finish(false);
      return reply("refused");
    }
    finish(true);
    const Atom done = statusAction != None ? statusAction : askedAction();
    reply(std::string("dropped ") + (done == atom("XdndActionMove") ? "move" : "copy"));
  }

  // kTopLevel: the root's child under the pointer (no window manager in the tests),
  // then its XdndProxy, and XdndAware on whichever gets the messages. kDeepestAware:
  // down from the root, the first window with XdndAware itself, then its proxy.
  void find(int x, int y, Window& found, Window& to, long& v) {
    Window w = DefaultRootWindow(display), child = None;
    int localX, localY;
    for (int depth = 0; depth < 8; depth++) {
      if (!XTranslateCoordinates(display, DefaultRootWindow(display), w, x, y, &localX, &localY,
                                 &child) ||
          !child)
        return;
      w = child;
      const Window proxy = proxyOf(w);
      const bool top = discovery == XdndTestSource::kTopLevel;
      if (const long aware = read(top && proxy ? proxy : w, "XdndAware", XA_ATOM)) {
        found = w, to = proxy ? proxy : w, v = std::min(aware, 5L);
        return;
      }
      if (top) return;
    }
  }

  // More than three types go in XdndTypeList.
  void enter() {
    std::vector<long> list(offerAtoms.begin(), offerAtoms.end());
    const bool many = list.size() > 3;
    if (many)
      XChangeProperty(display, window, atom("XdndTypeList"), XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(list.data()), (int)list.size());
    list.resize(std::max<size_t>(list.size(), 3), 0);
    send("XdndEnter", (version << 24) | many, list[0], list[1], list[2]);
  }

  void pump(int timeoutMs) {
    XFlush(display);
    pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    if (!XPending(display)) poll(&fd, 1, timeoutMs);
    for (XEvent e; XPending(display);) {
      XNextEvent(display, &e);
      if (e.type == SelectionRequest)
        answer(e.xselectionrequest);
      else if (e.type == PropertyNotify)
        nextPiece(e.xproperty);
      else if (e.type == ClientMessage && e.xclient.message_type == awaited)
        std::copy(e.xclient.data.l, e.xclient.data.l + 5, message), arrived = true;
    }
  }

  void put(Window w, Atom p, Atom t, int format, const void* data, size_t n) {
    XChangeProperty(display, w, p, t, format, PropModeReplace,
                    static_cast<const unsigned char*>(data), (int)n);
  }

  void answer(const XSelectionRequestEvent& r) {
    if (quiet) return;  // the data never arrives
    requests++;
    XEvent notify = {};
    notify.xselection = {SelectionNotify, 0,        False, display, r.requestor,
                         r.selection,     r.target, None,  r.time};
    const auto offer = std::find(offerAtoms.begin(), offerAtoms.end(), r.target);
    if (offer != offerAtoms.end() && r.property != None) {
      const std::string& data = offers[(size_t)(offer - offerAtoms.begin())].data;
      if (data.size() > kPiece) {
        // The size first, then a piece whenever the requestor deletes the property.
        XSelectInput(display, r.requestor, PropertyChangeMask);
        const long size = (long)data.size();
        put(r.requestor, r.property, atom("INCR"), 32, &size, 1);
        requestor = r.requestor, property = r.property, type = r.target, rest = data, incr = true;
      } else {
        put(r.requestor, r.property, r.target, 8, data.data(), data.size());
      }
      notify.xselection.property = r.property;
    }
    XSendEvent(display, r.requestor, False, NoEventMask, &notify);
    XFlush(display);
  }

  void nextPiece(const XPropertyEvent& e) {
    if (!incr || e.window != requestor || e.atom != property || e.state != PropertyDelete) return;
    const size_t size = std::min(kPiece, rest.size());
    put(requestor, property, type, 8, rest.data(), size);
    rest.erase(0, size);
    if (size == 0) incr = false, XSelectInput(display, requestor, NoEventMask);  // the end sent
    XFlush(display);
  }
};
}  // namespace

XdndTestSource::XdndTestSource(Discovery discovery, const std::vector<Offer>& offers,
                               Reading reading) {
  int commands[2], answers[2];
  if (pipe(commands) != 0) return;
  if (pipe(answers) != 0) {
    close(commands[0]), close(commands[1]);
    return;
  }
  if ((pid = forkChild()) == 0) {
    close(commands[1]), close(answers[0]);
    SourceProcess source(commands[0], answers[1], discovery, offers, reading);
    _exit(source.run());
  }
  close(commands[0]), close(answers[1]);
  commandFd = commands[1], answerFd = answers[0];
  fcntl(answerFd, F_SETFL, O_NONBLOCK);
  // The child's window exists and owns the selection once it says so.
  std::string line;
  for (int i = 0; i < 1500 && pid > 0 && !answer(line); i++) platformSleep(2);
  if (line != "ready") kill();
}

XdndTestSource::~XdndTestSource() {
  kill();
  if (commandFd >= 0) close(commandFd);
  if (answerFd >= 0) close(answerFd);
}

void XdndTestSource::send(const std::string& command) {
  const std::string text = command + "\n";
  if (commandFd >= 0 && write(commandFd, text.data(), text.size()) < 0) return;
}

bool XdndTestSource::answer(std::string& line) {
  char buffer[256];
  for (ssize_t n; answerFd >= 0 && (n = read(answerFd, buffer, sizeof buffer)) > 0;)
    received.append(buffer, (size_t)n);
  const size_t end = received.find('\n');
  if (end == std::string::npos) return false;
  line = received.substr(0, end);
  received.erase(0, end + 1);
  return true;
}

void XdndTestSource::kill() {
  killChild(pid);
  pid = -1;
}
