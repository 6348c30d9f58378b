#pragma once
// CDragContainer: the items of a drag over the editor, as views read them in their
// drag hooks (onDragEnter, onDragMove, onDragLeave, onDrop). An item is a file
// (type 0: its data is a NUL-terminated file-system path), text (type 1: the bytes,
// NUL-terminated) or anything else (type -1).
//
// The window system's side of the drag is a CPlatformDrag, which fetches the items
// from the drag's source only when a view asks for them: the views of most editors
// never do, and every fetch is a round trip to another program.

#include <cstdint>
#include <string>

#include "referencecounter.h"

// The window system's drag. Reference counted, since a container may outlive the
// drag (a view may remember it): once the drag is over, items that were never read
// can no longer be read, while those already read stay readable.
class CPlatformDrag : public CReferenceCounter {
 public:
  // Number of items; 0 when there are none.
  virtual long countItems() = 0;
  // Type of the item at the zero-based index: 0 file, 1 text, -1 anything else.
  virtual long getItemType(long index) = 0;
  // The item's data: the path of a file, the bytes of a text. False when the data
  // cannot be read.
  virtual bool getItemData(long index, std::string& data) = 0;
};

class CDragContainer : public CReferenceCounter {
 public:
  // Keeps a reference on platformDrag (which may be null: a drag without items).
  explicit CDragContainer(CPlatformDrag* platformDrag);
  ~CDragContainer() override;
  CDragContainer(const CDragContainer&) = delete;
  CDragContainer& operator=(const CDragContainer&) = delete;

  long getCount() const;
  // Starts again at the first item: the same as next() after a rewind.
  void* first(long& size, long& type);
  // The data of the next item, or null when there is none or it cannot be read
  // (size 0, type -1 then). The pointer stays valid until the next call or the
  // container's destruction.
  void* next(long& size, long& type);
  // The type of the item at the zero-based index; -1 out of range.
  long getType(long index) const;

 protected:
  CPlatformDrag* platformDrag;
  // Counted at the first question about the items rather than at construction:
  // counting files means fetching their list from the source. -1 until then.
  mutable int32_t nbItems;
  int32_t iterator;  // one-based index of the item next() returned last
  char* lastItem;    // malloc'd; the data next() returned last
};
