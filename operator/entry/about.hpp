// The about box text: version, credits and the operator's own about line.
#pragma once

#include <cstddef>

#include "entry/tag_list.hpp"
#include "vxhost/xchar.h"

namespace tileron {

// The room the editor gives the about text, terminator included.
inline constexpr std::size_t kAboutCapacity = 200;

// Fills `buffer` (room for `capacity` xchars, terminator included; nothing is
// written when it is 0) with the lines: "Version: <major>.<minor>" (with
// " BETA <word>" when the tag holds BETA; "Version: unknown" when the tag
// does not parse), an empty line, the maker's line, resource string 13 of the
// loaded string table (empty when missing), the author line. Resource string
// 13 is cut so that the author line still fits; any other overflow is cut at
// the end. Always NUL-terminated.
void buildAboutText(xchar *buffer, std::size_t capacity, const char *versionTag = kVersionTag);

} // namespace tileron
