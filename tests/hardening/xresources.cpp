#include "xresources.h"

#include <X11/Xatom.h>
#include <X11/extensions/XRes.h>

#include <cstring>
#include <utility>

#include "xerrortrap.h"

std::ostream& operator<<(std::ostream& out, const XResourceCounts& c) {
  return out << "{clients " << c.clients << ", windows " << c.windows << ", pixmaps " << c.pixmaps
             << ", gcs " << c.gcs << ", fonts " << c.fonts << ", cursors " << c.cursors
             << ", other " << c.other << "}";
}

namespace {

XResourceCounts unavailable() {
  XResourceCounts c;
  c.clients = c.windows = c.pixmaps = c.gcs = c.fonts = c.cursors = c.other = -1;
  return c;
}

// Adds one client's resources, by the names of their types. The client may have left
// since the server listed it.
bool addClient(Display* display, XID client, XResourceCounts& counts) {
  XErrorTrap trap(display);
  int types = 0;
  XResType* list = nullptr;
  if (!XResQueryClientResources(display, client, &types, &list)) return false;
  const std::pair<const char*, long XResourceCounts::*> kinds[] = {
      {"WINDOW", &XResourceCounts::windows},
      {"PIXMAP", &XResourceCounts::pixmaps},
      {"GC", &XResourceCounts::gcs},
      {"FONT", &XResourceCounts::fonts},
      {"CURSOR", &XResourceCounts::cursors}};
  for (int i = 0; i < types; i++) {
    char* name = XGetAtomName(display, list[i].resource_type);
    long XResourceCounts::*kind = &XResourceCounts::other;
    for (const auto& [typeName, member] : kinds)
      if (name && !std::strcmp(name, typeName)) kind = member;
    counts.*kind += list[i].count;
    if (name) XFree(name);
  }
  if (list) XFree(list);
  counts.clients++;
  return true;
}

}  // namespace

XResourceCounts countXResources(Display* display) {
  int count = 0;
  XResClient* clients = nullptr;
  if (!XResQueryClients(display, &count, &clients)) return unavailable();
  XResourceCounts counts;
  for (int i = 0; i < count; i++) addClient(display, clients[i].resource_base, counts);
  if (clients) XFree(clients);
  return counts;
}

XResourceCounts countXResourcesOfOwner(Display* display, Window window) {
  int count = 0;
  XResClient* clients = nullptr;
  if (!XResQueryClients(display, &count, &clients)) return unavailable();
  XResourceCounts counts = unavailable();
  for (int i = 0; i < count; i++) {
    const XResClient& client = clients[i];
    if ((window & ~client.resource_mask) != client.resource_base) continue;
    counts = XResourceCounts();
    addClient(display, client.resource_base, counts);
    break;
  }
  if (clients) XFree(clients);
  return counts;
}
