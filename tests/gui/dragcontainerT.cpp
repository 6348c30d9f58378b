// CDragContainer over a drag made up in the test. No X server needed; the XDND
// drags of other programs: x11/xdndT (file URIs) and dndT (under Xvfb).

#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "dragcontainer.h"

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
