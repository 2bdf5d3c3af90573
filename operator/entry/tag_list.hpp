// What the library tells the host about itself: the tag list behind
// GetOperatorInfo, the version tag string and the version query.
#pragma once

#include <cstdint>

#include "vxhost/operator.h"

namespace tileron {

// The version tag in revision-control form; the version is its third word.
inline constexpr const char *kVersionTag =
    "$Id: tileron.cpp,v 1.1 2015/10/27 00:00:00 tileron Exp tileron $";

// The static tag list (ended by tag 0); owned by the library, never freed.
const OperatorTag *operatorInfo();

// The version of `tag`: the major number for selector 0, the minor for 1, 0
// for any other selector; -1 for every selector when the tag does not parse.
int32_t versionOfTag(const char *tag, int32_t selector);

// The library's version query: versionOfTag on kVersionTag.
int32_t versionQuery(int32_t selector);

// The library's two entry points followed by two null words.
struct EntryPointTable {
  const OperatorTag *(*operatorInfo)();
  int32_t (*versionQuery)(int32_t selector);
  const void *reserved[2];
};
extern const EntryPointTable kEntryPoints;

} // namespace tileron
