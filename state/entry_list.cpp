#include "state/entry_list.h"

#include "platform/platform.h"

namespace pagora {

int ListAdd(EntryList& list, void* item) {
  for (EntryNode* n = list.head; n != nullptr; n = n->next) {
    if (n->item == item) return 0;
  }
  return ListAddFresh(list, item);
}

int ListAddFresh(EntryList& list, void* item) {
  auto* node = static_cast<EntryNode*>(Os().allocate(sizeof(EntryNode)));
  if (node == nullptr) return -1;
  node->item = item;
  node->next = list.head;
  list.head = node;
  return 0;
}

void ListClear(EntryList& list) {
  while (list.head != nullptr) {
    EntryNode* node = list.head;
    list.head = node->next;
    if (list.owns_items) Os().release(node->item);
    Os().release(node);
  }
}

}  // namespace pagora
