/* vxlstlib: doubly linked lists. The original library is imported by ordinal;
 * here each ordinal is a named function whose comment gives the ordinal. */
#ifndef VXHOST_VXLSTLIB_H
#define VXHOST_VXLSTLIB_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* Header that starts every list node (three words on the original platform,
 * native pointers here). Used only by the list library. */
typedef struct VxNode {
  struct VxNode *next;
  struct VxNode *prev;
  void *reserved;
} VxNode;

/* The list header (16 bytes on the original platform). */
typedef struct VxList {
  VxNode *head;
  VxNode *tail;
  int32_t count;
  int32_t reserved;
} VxList;

/* Ordinal 16: makes `list` an empty list. Returns list. */
VxList *lstNewList(VxList *list);
/* Ordinal 1: the first node, or null when the list is empty. */
VxNode *lstFirst(const VxList *list);
/* Ordinal 5: the node after `node`, or null at the end. */
VxNode *lstNext(const VxNode *node);
/* Ordinal 7: the node before `node`; null for the first node, which
 * lstInsert takes as "at the head". */
VxNode *lstPrev(const VxNode *node);
/* Ordinal 17: places `node` right after `after`; after = null puts it first. */
void lstInsert(VxList *list, VxNode *after, VxNode *node);
/* Ordinal 10: appends `node` as the last node. */
void lstAppend(VxList *list, VxNode *node);
/* Ordinal 13: unlinks `node` from `list`; the node is not freed. */
void lstRemove(VxList *list, VxNode *node);
/* Ordinal 6: the node at `position` counted from 1, or null when out of range. */
VxNode *lstNodeAt(const VxList *list, int32_t position);

VX_EXTERN_C_END

#endif
