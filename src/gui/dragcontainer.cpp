#include "dragcontainer.h"

#include <cstdlib>
#include <cstring>

CDragContainer::CDragContainer(CPlatformDrag* platformDrag)
    : platformDrag(platformDrag), nbItems(-1), iterator(0), lastItem(nullptr) {
  if (platformDrag) platformDrag->remember();
}

CDragContainer::~CDragContainer() {
  std::free(lastItem);
  if (platformDrag) platformDrag->forget();
}

long CDragContainer::getCount() const {
  if (nbItems < 0) {
    const long count = platformDrag ? platformDrag->countItems() : 0;
    nbItems = (int32_t)(count < 0 ? 0 : count > INT32_MAX - 1 ? INT32_MAX - 1 : count);
  }
  return nbItems;
}

void* CDragContainer::first(long& size, long& type) {
  iterator = 0;
  return next(size, type);
}

void* CDragContainer::next(long& size, long& type) {
  std::free(lastItem);
  lastItem = nullptr;
  size = 0;
  type = -1;
  // Past the end the iterator stays one beyond the last item.
  if (iterator >= getCount()) {
    iterator = (int32_t)getCount() + 1;
    return nullptr;
  }
  const long index = iterator++;
  std::string data;
  const long itemType = platformDrag->getItemType(index);
  if (!platformDrag->getItemData(index, data)) return nullptr;
  lastItem = static_cast<char*>(std::malloc(data.size() + 1));
  if (!lastItem) return nullptr;
  std::memcpy(lastItem, data.data(), data.size());
  lastItem[data.size()] = '\0';
  size = (long)data.size();
  type = itemType;
  return lastItem;
}

long CDragContainer::getType(long index) const {
  if (index < 0 || index >= getCount()) return -1;
  return platformDrag->getItemType(index);
}
