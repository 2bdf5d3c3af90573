#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vxhost/vxlstlib.h"

namespace {

struct Item {
  VxNode node;
  char name;
};

std::string order(const VxList &list) {
  std::string s;
  for (VxNode *n = lstFirst(&list); n; n = lstNext(n))
    s += reinterpret_cast<Item *>(n)->name;
  return s;
}

std::string backwards(const VxList &list) {
  std::string s;
  for (VxNode *n = list.tail; n; n = lstPrev(n))
    s += reinterpret_cast<Item *>(n)->name;
  return s;
}

TEST(Lists, AppendWalkAndPositions) {
  VxList list;
  EXPECT_EQ(lstNewList(&list), &list);
  EXPECT_EQ(lstFirst(&list), nullptr);
  Item a{{}, 'a'}, b{{}, 'b'}, c{{}, 'c'};
  for (Item *item : {&a, &b, &c})
    lstAppend(&list, &item->node);
  EXPECT_EQ(order(list), "abc");
  EXPECT_EQ(backwards(list), "cba");
  EXPECT_EQ(list.count, 3);
  EXPECT_EQ(lstNodeAt(&list, 1), &a.node);
  EXPECT_EQ(lstNodeAt(&list, 3), &c.node);
  EXPECT_EQ(lstNodeAt(&list, 0), nullptr);
  EXPECT_EQ(lstNodeAt(&list, 4), nullptr);
  EXPECT_EQ(lstNext(&c.node), nullptr);
}

TEST(Lists, InsertBeforeANodeThroughItsPredecessorEvenAtTheHead) {
  VxList list;
  lstNewList(&list);
  Item b{{}, 'b'}, d{{}, 'd'}, a{{}, 'a'}, c{{}, 'c'}, e{{}, 'e'};
  lstAppend(&list, &b.node);
  lstAppend(&list, &d.node);
  // Before the first node: its predecessor is what insert takes as "the head".
  lstInsert(&list, lstPrev(lstFirst(&list)), &a.node);
  lstInsert(&list, lstPrev(&d.node), &c.node);
  lstInsert(&list, list.tail, &e.node);
  EXPECT_EQ(order(list), "abcde");
  EXPECT_EQ(backwards(list), "edcba");
  EXPECT_EQ(list.count, 5);
}

TEST(Lists, UnlinkKeepsTheRestAndIgnoresStrangers) {
  VxList list, other;
  lstNewList(&list);
  lstNewList(&other);
  Item a{{}, 'a'}, b{{}, 'b'}, c{{}, 'c'}, x{{}, 'x'};
  for (Item *item : {&a, &b, &c})
    lstAppend(&list, &item->node);
  lstAppend(&other, &x.node);
  lstRemove(&list, &b.node);
  EXPECT_EQ(order(list), "ac");
  lstRemove(&list, &b.node); // already out
  lstRemove(&list, &x.node); // in another list
  lstInsert(&list, &x.node, &b.node); // "after" not in this list
  EXPECT_EQ(order(list), "ac");
  EXPECT_EQ(order(other), "x");
  lstRemove(&list, &a.node);
  lstRemove(&list, &c.node);
  EXPECT_EQ(lstFirst(&list), nullptr);
  EXPECT_EQ(list.tail, nullptr);
  EXPECT_EQ(list.count, 0);
  lstAppend(&list, &b.node); // an unlinked node can be used again
  EXPECT_EQ(order(list), "b");
}

} // namespace
