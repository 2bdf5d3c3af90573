// UTF-8 <-> UTF-16 conversion shared by the xchar calls and the resource
// string tables.
#pragma once

#include <string>
#include <string_view>

namespace vxhost {

// Decodes UTF-8 into UTF-16 code units (surrogate pairs above U+FFFF).
// Strict: returns false for any malformed, overlong or surrogate sequence.
bool utf8ToUtf16(std::string_view utf8, std::u16string &out);

// The same, but every byte that starts no valid sequence becomes U+FFFD, so
// the result never has more code units than the input has bytes.
std::u16string utf8ToUtf16Lenient(std::string_view utf8);

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD. At most three
// bytes per code unit.
std::string utf16ToUtf8(std::u16string_view utf16);

} // namespace vxhost
