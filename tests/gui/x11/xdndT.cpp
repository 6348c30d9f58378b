// The platform layer's reading of XDND drags: the choice of items among the offered
// types, the lines of a text/uri-list and the local paths of file URIs. No X server
// needed.

#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "dragcontainer.h"
#include "xdnd.h"

TEST_CASE("an XDND drag chooses its items from the offered types") {
  const Atom uriList = 101, text = 102, other = 103;
  struct Case {
    Atom uriList, text, other;
    long count, type;
  };
  // Without a target (the drag is over) nothing can be fetched: a file list that
  // cannot be read falls back to the text, as an unreadable flavour does on the
  // platform of record.
  const Case cases[] = {{uriList, text, uriList, 1, 1},
                        {uriList, None, uriList, 1, -1},
                        {None, text, other, 1, 1},
                        {None, None, other, 1, -1},
                        {None, None, None, 0, -1}};
  for (const Case& c : cases) {
    XdndDrag* drag = new XdndDrag(nullptr, c.uriList, c.text, c.other);
    CDragContainer container(drag);
    drag->forget();
    CHECK(container.getCount() == c.count);
    CHECK(container.getType(0) == c.type);
    long size, type;
    CHECK(container.first(size, type) == nullptr);
  }
}

TEST_CASE("text/uri-list: lines, comments, line ends") {
  std::vector<std::string> uris;
  xdndParseUriList("# comment\r\nfile:///a\r\n\r\n  file:///b \nhttp://x/y", uris);
  CHECK(uris == std::vector<std::string>{"file:///a", "file:///b", "http://x/y"});
  xdndParseUriList(std::string("file:///c\r\n\0", 12), uris);
  CHECK(uris == std::vector<std::string>{"file:///c"});
  xdndParseUriList("", uris);
  CHECK(uris.empty());
}

TEST_CASE("file URIs become local paths; anything else is not a file") {
  std::string path;
  auto pathOf = [&](const char* uri) { return xdndPathFromUri(uri, "studio", path) ? path : "-"; };
  CHECK(pathOf("file:///tmp/a%20b/%C3%A9t%C3%A9.wav") == "/tmp/a b/\xC3\xA9t\xC3\xA9.wav");
  CHECK(pathOf("file://localhost/etc/hosts") == "/etc/hosts");
  CHECK(pathOf("FILE://LocalHost/x") == "/x");
  CHECK(pathOf("file://studio/home/me/take%231.wav") == "/home/me/take#1.wav");
  CHECK(pathOf("file:/single/slash") == "/single/slash");
  CHECK(pathOf("file:///100%25") == "/100%");
  CHECK(pathOf("file://elsewhere/home/me/a.wav") == "-");  // another host's file
  CHECK(pathOf("file:///bad%2") == "-");
  CHECK(pathOf("file:///bad%zz") == "-");
  CHECK(pathOf("file:///nul%00byte") == "-");
  CHECK(pathOf("file:///with#fragment") == "-");
  CHECK(pathOf("file:relative") == "-");
  CHECK(pathOf("file://") == "-");
  CHECK(pathOf("https://example.org/a.wav") == "-");
  CHECK(pathOf("") == "-");
}
