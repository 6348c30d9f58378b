// CDragContainer over a drag made up in the test, the choice of items of an XDND
// drag, and the decoding of file URIs. No X server needed.

#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "dragcontainer.h"
#include "xdnd.h"

namespace {
// A platform drag with fixed items; an item without data cannot be read.
class MadeUpDrag : public CPlatformDrag {
 public:
  struct Item {
    long type;
    bool readable;
    std::string data;
  };
  MadeUpDrag(std::vector<Item> items, bool* destroyed = nullptr)
      : items(std::move(items)), destroyed(destroyed) {}
  ~MadeUpDrag() override {
    if (destroyed) *destroyed = true;
  }
  long countItems() override {
    counts++;
    return (long)items.size();
  }
  long getItemType(long index) override { return items[(size_t)index].type; }
  bool getItemData(long index, std::string& data) override {
    const Item& item = items[(size_t)index];
    if (item.readable) data = item.data;
    return item.readable;
  }
  std::vector<Item> items;
  bool* destroyed;
  int counts = 0;
};

std::string text(void* item, long size) {
  return item ? std::string(static_cast<const char*>(item), (size_t)size) : "<null>";
}
}  // namespace

TEST_CASE("the container hands out the items in order, and first starts again") {
  MadeUpDrag* platform = new MadeUpDrag({{0, true, "/tmp/a b.wav"},
                                         {1, false, ""},
                                         {1, true, std::string("x\0y", 3)},
                                         {-1, true, "?"}});
  CDragContainer* drag = new CDragContainer(platform);
  platform->forget();
  CHECK(platform->counts == 0);  // nothing asked of the source yet

  CHECK(drag->getCount() == 4);
  long size = -2, type = -2;
  void* item = drag->first(size, type);
  CHECK(text(item, size) == "/tmp/a b.wav");
  CHECK((size == 12 && type == 0));
  CHECK(static_cast<char*>(item)[size] == '\0');
  // An item that cannot be read: null, size 0, type -1; the next one still comes.
  CHECK(drag->next(size, type) == nullptr);
  CHECK((size == 0 && type == -1));
  item = drag->next(size, type);
  CHECK(text(item, size) == std::string("x\0y", 3));
  CHECK((size == 3 && type == 1));
  item = drag->next(size, type);
  CHECK((text(item, size) == "?" && type == -1));
  for (int i = 0; i < 3; i++) {
    size = type = 7;
    CHECK(drag->next(size, type) == nullptr);
    CHECK((size == 0 && type == -1));
  }
  item = drag->first(size, type);
  CHECK((text(item, size) == "/tmp/a b.wav" && type == 0));

  CHECK(drag->getType(-1) == -1);
  CHECK(drag->getType(0) == 0);
  CHECK(drag->getType(1) == 1);  // the type is known even when the data is not
  CHECK(drag->getType(3) == -1);
  CHECK(drag->getType(4) == -1);
  CHECK(platform->counts == 1);  // counted once
  drag->forget();
}

TEST_CASE("the container keeps the platform drag alive until it goes itself") {
  bool destroyed = false;
  MadeUpDrag* platform = new MadeUpDrag({{1, true, "text"}}, &destroyed);
  CDragContainer* drag = new CDragContainer(platform);
  platform->forget();
  CHECK(!destroyed);
  CHECK(platform->getNbReference() == 1);
  drag->forget();
  CHECK(destroyed);

  CDragContainer empty(nullptr);
  long size, type;
  CHECK(empty.getCount() == 0);
  CHECK(empty.first(size, type) == nullptr);
  CHECK(empty.getType(0) == -1);
}

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
