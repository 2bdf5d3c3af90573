#include "entry/tag_list.hpp"


#include "entry/entry.hpp"

namespace tileron {

namespace {

// The values each tag carries, as the host expects them (their meaning to
// the host is its own).
constexpr uintptr_t kOperatorKind = 0x1028;
constexpr uintptr_t kOperatorClass = 5;
constexpr uintptr_t kFlagsA = 3;
constexpr uintptr_t kFlagsD = 2;
constexpr uintptr_t kFlagsE = 2;
// The six 16-bit values the host reads through tag 0x04.
const int16_t kInputRecord[6] = {4, 2, 2, 0, 0, 0};

// Tag and value words are pointer-wide so that values can hold addresses.
const OperatorTag kOperatorInfo[] = {
    {OPERATOR_TAG(OP_TAG_KIND), kOperatorKind},
    {OPERATOR_TAG(OP_TAG_CLASS), kOperatorClass},
    {OPERATOR_TAG(OP_TAG_ENTRY), reinterpret_cast<uintptr_t>(&operatorEntry)},
    {OPERATOR_TAG(OP_TAG_FLAGS_D), kFlagsD},
    {OPERATOR_TAG(OP_TAG_FLAGS_E), kFlagsE},
    {OPERATOR_TAG(OP_TAG_VERSION), reinterpret_cast<uintptr_t>(kVersionTag)},
    {OPERATOR_TAG(OP_TAG_INPUTS), reinterpret_cast<uintptr_t>(kInputRecord)},
    {OPERATOR_TAG(OP_TAG_FLAGS_A), kFlagsA},
    {0, 0},
};

} // namespace

const EntryPointTable kEntryPoints = {&operatorInfo, &versionQuery, {nullptr, nullptr}};

const OperatorTag *operatorInfo() { return kOperatorInfo; }

int32_t versionOfTag(const char *tag, int32_t selector) {
  unsigned long major = 0, minor = 0;
  if (!opParseVersionTag(tag, &major, &minor)) return -1;
  switch (selector) {
  case 0: return static_cast<int32_t>(major);
  case 1: return static_cast<int32_t>(minor);
  default: return 0;
  }
}

int32_t versionQuery(int32_t selector) { return versionOfTag(kVersionTag, selector); }

} // namespace tileron
