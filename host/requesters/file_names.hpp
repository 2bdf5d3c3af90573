// The names the file requester accepts: a plain file name inside its folder.
#pragma once

#include <string>
#include <string_view>

namespace vxhost::requesters {

// Longest name (UTF-8 bytes, extension excluded) the file requester accepts.
inline constexpr size_t kMaxFileNameBytes = 200;

enum class NameProblem { none, empty, separator, parent, control, tooLong };

struct FileName {
  NameProblem problem = NameProblem::none;
  std::u16string utf16; // the name as it will be used
  std::string utf8;
};

// Checks a typed name. Spaces at either end and one trailing ".prf" are
// dropped first. Refused, in this order: an empty name; one holding '/' or
// '\\'; one holding ".."; one holding a control character (U+0000..U+001F,
// U+007F..U+009F) or an unpaired surrogate; one longer than
// kMaxFileNameBytes bytes in UTF-8.
FileName checkFileName(std::u16string_view typed);

} // namespace vxhost::requesters
