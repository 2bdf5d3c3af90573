// vxlstlib: doubly linked lists of caller-owned nodes. A linked node's
// `reserved` word names the list holding it, so that a node of another list
// (or one already unlinked) is never relinked or unlinked by mistake.
#include "vxhost/vxlstlib.h"

extern "C" VxList *lstNewList(VxList *list) {
  if (list)
    *list = VxList{nullptr, nullptr, 0, 0};
  return list;
}

extern "C" VxNode *lstFirst(const VxList *list) { return list ? list->head : nullptr; }

extern "C" VxNode *lstNext(const VxNode *node) { return node ? node->next : nullptr; }

extern "C" VxNode *lstPrev(const VxNode *node) { return node ? node->prev : nullptr; }

extern "C" void lstInsert(VxList *list, VxNode *after, VxNode *node) {
  if (!list || !node || node == after || (after && after->reserved != list))
    return;
  VxNode *before = after ? after->next : list->head;
  node->prev = after;
  node->next = before;
  node->reserved = list;
  (after ? after->next : list->head) = node;
  (before ? before->prev : list->tail) = node;
  ++list->count;
}

extern "C" void lstAppend(VxList *list, VxNode *node) {
  if (list)
    lstInsert(list, list->tail, node);
}

extern "C" void lstRemove(VxList *list, VxNode *node) {
  if (!list || !node || node->reserved != list)
    return;
  (node->prev ? node->prev->next : list->head) = node->next;
  (node->next ? node->next->prev : list->tail) = node->prev;
  node->next = node->prev = nullptr;
  node->reserved = nullptr;
  --list->count;
}

extern "C" VxNode *lstNodeAt(const VxList *list, int32_t position) {
  if (!list || position < 1 || position > list->count)
    return nullptr;
  VxNode *node = list->head;
  while (node && --position > 0)
    node = node->next;
  return node;
}
