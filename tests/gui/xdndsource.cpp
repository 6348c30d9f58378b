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
#include <cstdio>
#include <sstream>

#include "platformclock.h"

namespace {
constexpr size_t kPiece = 64 * 1024;  // larger data goes in pieces of this size
constexpr long kReplyWaitMs = 3000;

// The source's side: one connection, one hidden window that owns the XdndSelection.
class SourceProcess {
 public:
  SourceProcess(int commandFd, int answerFd, XdndTestSource::Discovery discovery,
                const std::vector<XdndTestSource::Offer>& offers);
  int run();

 private:
  struct Target {
    Window send = None;    // where the messages go: the target or its proxy
    Window window = None;  // whom they name
    long version = 0;
  };
  struct Transfer {
    bool active = false;
    Window requestor = None;
    Atom property = None;
    Atom type = None;
    const std::string* data = nullptr;
    size_t offset = 0;
  };

  Atom atom(const char* name) { return XInternAtom(display, name, False); }
  void reply(const std::string& line);
  void command(const std::string& line);
  void move(int x, int y);
  void finish(bool drop);
  void button(bool down);
  Target findTarget(int x, int y);
  long property(Window w, const char* name, Atom type);
  long awareVersion(Window w);
  Window proxyOf(Window w);
  void sendMessage(const char* type, long l1, long l2, long l3, long l4);
  void sendEnter();
  void handle(XEvent& event);
  void answerRequest(const XSelectionRequestEvent& request);
  void nextPiece(const XPropertyEvent& event);
  // Handles events until the awaited message came or the wait ran out.
  bool awaitMessage(Atom type, long reply[5]);
  void pump(long timeoutMs);

  int commandFd, answerFd;
  XdndTestSource::Discovery discovery;
  const std::vector<XdndTestSource::Offer>& offers;
  std::vector<Atom> offerAtoms;
  Display* display = nullptr;
  Window root = None, window = None;
  Target target;
  Transfer transfer;
  bool quiet = false;
  int requests = 0;
  Atom awaited = None;
  bool arrived = false;
  long message[5] = {};
};

int ignoreErrors(Display*, XErrorEvent*) {
  return 0;
}

SourceProcess::SourceProcess(int commandFd, int answerFd, XdndTestSource::Discovery discovery,
                             const std::vector<XdndTestSource::Offer>& offers)
    : commandFd(commandFd), answerFd(answerFd), discovery(discovery), offers(offers) {}

void SourceProcess::reply(const std::string& line) {
  const std::string text = line + "\n";
  if (write(answerFd, text.data(), text.size()) < 0) _exit(1);
}

int SourceProcess::run() {
  display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XSetErrorHandler(ignoreErrors);
  root = DefaultRootWindow(display);
  window = XCreateSimpleWindow(display, root, -10, -10, 1, 1, 0, 0, 0);
  for (const auto& offer : offers) offerAtoms.push_back(atom(offer.type.c_str()));
  XSetSelectionOwner(display, atom("XdndSelection"), window, CurrentTime);
  XSync(display, False);
  reply("ready");
  std::string line;
  for (;;) {
    pump(0);
    pollfd fds[2] = {{commandFd, POLLIN, 0}, {ConnectionNumber(display), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (!(fds[0].revents & (POLLIN | POLLHUP))) continue;
    char c;
    const ssize_t n = read(commandFd, &c, 1);
    if (n <= 0) return 0;  // the test is done with us
    if (c != '\n') {
      line += c;
      continue;
    }
    command(line);
    line.clear();
  }
}

void SourceProcess::command(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  int x = 0, y = 0;
  in >> verb >> x >> y;
  if (verb == "press") {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    button(true);
    reply("pressed");
  } else if (verb == "move") {
    move(x, y);
  } else if (verb == "leave" || verb == "drop") {
    finish(verb == "drop");
  } else if (verb == "release") {
    button(false);
    reply("released");
  } else if (verb == "quiet") {
    quiet = true;
    reply("quiet");
  } else if (verb == "requests") {
    reply("requests " + std::to_string(requests));
  }
}

void SourceProcess::button(bool down) {
  XTestFakeButtonEvent(display, 1, down, CurrentTime);
  XSync(display, False);
}

void SourceProcess::move(int x, int y) {
  XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
  XSync(display, False);
  const Target next = findTarget(x, y);
  if (next.window != target.window || next.send != target.send) {
    if (target.window) sendMessage("XdndLeave", 0, 0, 0, 0);
    target = next;
    if (target.window) sendEnter();
  }
  if (!target.window) {
    reply("none");
    return;
  }
  sendMessage("XdndPosition", 0, ((long)x << 16) | y, CurrentTime, (long)atom("XdndActionCopy"));
  long status[5];
  if (!awaitMessage(atom("XdndStatus"), status)) {
    reply("silent");
    return;
  }
  reply("status " + std::to_string(status[0]) + " " + std::to_string(status[1]) + " " +
        std::to_string(status[4]));
}

void SourceProcess::finish(bool drop) {
  std::string answer = drop ? "none" : "left";
  if (target.window && !drop) sendMessage("XdndLeave", 0, 0, 0, 0);
  if (target.window && drop) {
    sendMessage("XdndDrop", 0, CurrentTime, 0, 0);
    long finished[5];
    answer = awaitMessage(atom("XdndFinished"), finished)
                 ? "finished " + std::to_string(finished[0]) + " " + std::to_string(finished[1]) +
                       " " + std::to_string(finished[2])
                 : "silent";
  }
  target = Target();
  button(false);
  reply(answer);
}

// kTopLevel: the root's child under the pointer (there is no window manager in the
// tests), then its XdndProxy when the proxy names itself too, and XdndAware on
// whichever window gets the messages. kDeepestAware: down from the root through the
// windows under the pointer, the first one with XdndAware itself (messages then go
// to its proxy, if it names one).
SourceProcess::Target SourceProcess::findTarget(int x, int y) {
  Target found;
  Window w = root, child = None;
  int localX, localY;
  for (int depth = 0; depth < 8; depth++) {
    if (!XTranslateCoordinates(display, root, w, x, y, &localX, &localY, &child) || !child) break;
    w = child;
    if (discovery == XdndTestSource::kTopLevel) {
      const Window proxy = proxyOf(w);
      const long version = awareVersion(proxy ? proxy : w);
      if (version) found = {proxy ? proxy : w, w, std::min(version, 5L)};
      break;
    }
    if (const long version = awareVersion(w)) {
      const Window proxy = proxyOf(w);
      found = {proxy ? proxy : w, w, std::min(version, 5L)};
      break;
    }
  }
  return found;
}

long SourceProcess::property(Window w, const char* name, Atom type) {
  Atom actual;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  long value = 0;
  if (XGetWindowProperty(display, w, atom(name), 0, 1, False, type, &actual, &format, &count,
                         &after, &data) == Success &&
      actual == type && count == 1)
    value = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return value;
}

long SourceProcess::awareVersion(Window w) {
  return property(w, "XdndAware", XA_ATOM);
}

// A proxy counts when it names itself as well.
Window SourceProcess::proxyOf(Window w) {
  const Window proxy = (Window)property(w, "XdndProxy", XA_WINDOW);
  return proxy && (Window)property(proxy, "XdndProxy", XA_WINDOW) == proxy ? proxy : None;
}

void SourceProcess::sendMessage(const char* type, long l1, long l2, long l3, long l4) {
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = target.window;
  event.xclient.message_type = atom(type);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)window;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target.send, False, NoEventMask, &event);
  XFlush(display);
}

void SourceProcess::sendEnter() {
  const bool manyTypes = offerAtoms.size() > 3;
  if (manyTypes) {
    std::vector<long> list(offerAtoms.begin(), offerAtoms.end());
    XChangeProperty(display, window, atom("XdndTypeList"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(list.data()), (int)list.size());
  }
  long types[3] = {};
  for (size_t i = 0; i < 3 && i < offerAtoms.size(); i++) types[i] = (long)offerAtoms[i];
  sendMessage("XdndEnter", (target.version << 24) | (manyTypes ? 1 : 0), types[0], types[1],
              types[2]);
}

bool SourceProcess::awaitMessage(Atom type, long reply[5]) {
  awaited = type;
  arrived = false;
  const uint32_t start = platformTicks();
  while (!arrived && (long)(platformTicks() - start) < kReplyWaitMs) pump(10);
  awaited = None;
  std::copy(message, message + 5, reply);
  return arrived;
}

void SourceProcess::pump(long timeoutMs) {
  XFlush(display);
  if (!XPending(display)) {
    pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, (int)timeoutMs);
  }
  while (XPending(display)) {
    XEvent event;
    XNextEvent(display, &event);
    handle(event);
  }
}

void SourceProcess::handle(XEvent& event) {
  if (event.type == SelectionRequest) {
    answerRequest(event.xselectionrequest);
  } else if (event.type == PropertyNotify) {
    nextPiece(event.xproperty);
  } else if (event.type == ClientMessage && event.xclient.message_type == awaited) {
    std::copy(event.xclient.data.l, event.xclient.data.l + 5, message);
    arrived = true;
  }
}

void SourceProcess::answerRequest(const XSelectionRequestEvent& request) {
  if (quiet) return;  // the data never arrives
  requests++;
  XEvent notify = {};
  notify.xselection.type = SelectionNotify;
  notify.xselection.requestor = request.requestor;
  notify.xselection.selection = request.selection;
  notify.xselection.target = request.target;
  notify.xselection.time = request.time;
  notify.xselection.property = None;
  const auto offer = std::find(offerAtoms.begin(), offerAtoms.end(), request.target);
  if (offer != offerAtoms.end() && request.property != None) {
    const std::string& data = offers[(size_t)(offer - offerAtoms.begin())].data;
    if (data.size() > kPiece) {
      // Announce the size, then send pieces as the requestor deletes the property.
      XSelectInput(display, request.requestor, PropertyChangeMask);
      const long size = (long)data.size();
      XChangeProperty(display, request.requestor, request.property, atom("INCR"), 32,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(&size), 1);
      transfer = {true, request.requestor, request.property, request.target, &data, 0};
    } else {
      XChangeProperty(display, request.requestor, request.property, request.target, 8,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                      (int)data.size());
    }
    notify.xselection.property = request.property;
  }
  XSendEvent(display, request.requestor, False, NoEventMask, &notify);
  XFlush(display);
}

void SourceProcess::nextPiece(const XPropertyEvent& event) {
  if (!transfer.active || event.window != transfer.requestor || event.atom != transfer.property ||
      event.state != PropertyDelete)
    return;
  const size_t size = std::min(kPiece, transfer.data->size() - transfer.offset);
  XChangeProperty(display, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(transfer.data->data() + transfer.offset),
                  (int)size);
  transfer.offset += size;
  // The empty piece that ends the transfer has gone out.
  if (size == 0) {
    transfer.active = false;
    XSelectInput(display, transfer.requestor, NoEventMask);
  }
  XFlush(display);
}
}  // namespace

XdndTestSource::XdndTestSource(Discovery discovery, const std::vector<Offer>& offers) {
  int commands[2], answers[2];
  if (pipe(commands) != 0) return;
  if (pipe(answers) != 0) {
    close(commands[0]);
    close(commands[1]);
    return;
  }
  pid = fork();
  if (pid == 0) {
    close(commands[1]);
    close(answers[0]);
    SourceProcess source(commands[0], answers[1], discovery, offers);
    _exit(source.run());
  }
  close(commands[0]);
  close(answers[1]);
  commandFd = commands[1];
  answerFd = answers[0];
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
  if (commandFd < 0 || write(commandFd, text.data(), text.size()) < 0) return;
}

bool XdndTestSource::answer(std::string& line) {
  char buffer[256];
  ssize_t n;
  while (answerFd >= 0 && (n = read(answerFd, buffer, sizeof buffer)) > 0)
    received.append(buffer, (size_t)n);
  const size_t end = received.find('\n');
  if (end == std::string::npos) return false;
  line = received.substr(0, end);
  received.erase(0, end + 1);
  return true;
}

void XdndTestSource::kill() {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}
