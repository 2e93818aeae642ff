// The list type of every catalog collection: a singly linked list of item
// pointers, newest first.
#pragma once

namespace pagora {

struct EntryNode {
  void* item;
  EntryNode* next;
};

struct EntryList {
  EntryNode* head = nullptr;
  bool owns_items = false;  // clearing frees the items too
};

// Puts `item` in front unless the very same pointer is listed already.
// 0 on success, -1 (list unchanged) when no node can be allocated.
int ListAdd(EntryList& list, void* item);

// ListAdd for an item the caller has just allocated, which cannot be listed
// yet: skips the identity walk so filling a list stays linear.
int ListAddFresh(EntryList& list, void* item);

// Frees every node, and every item when the list owns them.
void ListClear(EntryList& list);

}  // namespace pagora
