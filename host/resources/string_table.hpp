// String tables of resource sets (docs/resources.md): the parser on its own,
// so that a table can be read from bytes in memory.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace vxhost {

// Strings by number, UTF-16.
using StringTable = std::map<int32_t, std::u16string>;

// Reads the lines of one string table file, `bytes`, into `table`, replacing
// the numbers it holds. Malformed lines (no tab, a bad number, text that is not
// UTF-8, a number given twice) are skipped, each logged at level 5 naming
// `source` and the line.
void parseStringTable(std::string_view bytes, const std::string &source, StringTable &table);

} // namespace vxhost
