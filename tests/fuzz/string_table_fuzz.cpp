// The resource string table parser over fuzzed bytes, in memory. Every text
// it keeps must be valid UTF-16 (its UTF-8 form reads back the same), and a
// table written out again line by line (escapes for backslash, line feed and
// tab; CR LF line ends, so a text ending in a carriage return keeps it) must
// parse to the same table.
#include <string>

#include "fuzz_env.hpp"
#include "host/resources/string_table.hpp"
#include "host/text/utf.hpp"

namespace {

std::string escaped(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::quietLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  vxhost::StringTable table;
  vxhost::parseStringTable(bytes, "fuzz.txt", table);

  std::string written;
  for (const auto &[number, text] : table) {
    if (number < 0 || number > 999999999) fuzzing::fail("a number beyond nine digits");
    const std::string utf8 = vxhost::utf16ToUtf8(text);
    std::u16string again;
    if (!vxhost::utf8ToUtf16(utf8, again) || again != text) fuzzing::fail("a text that is not UTF-16");
    written += std::to_string(number) + "\t" + escaped(utf8) + "\r\n";
  }
  vxhost::StringTable reread;
  vxhost::parseStringTable(written, "again.txt", reread);
  if (reread != table) fuzzing::fail("the table changed on the way round");
  return 0;
}
