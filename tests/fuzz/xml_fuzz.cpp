// The XML element reader over fuzzed text. Input: the tag name on the first
// line (at most 40 bytes), the document after it. The file is read back with
// xmlReadFile, and every search is checked against a plain model of the
// element rules (first closing tag ends an element, at most 20 per list).
// The file is a memory file.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_env.hpp"
#include "masks/xml.hpp"
#include "memory_files.hpp"

namespace {

std::vector<std::string> modelElements(const std::string &text, const std::string &tag) {
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  std::vector<std::string> found;
  size_t position = 0;
  while (found.size() < size_t(tileron::kXmlMaxElements)) {
    const size_t opening = text.find(open, position);
    if (opening == std::string::npos) break;
    const size_t content = opening + open.size();
    const size_t end = text.find(close, content);
    if (end == std::string::npos) break;
    found.push_back(text.substr(content, end - content));
    position = end;
  }
  return found;
}

void checkSearch(const char *text, const std::string &tag) {
  const std::vector<std::string> expected = modelElements(text, tag);
  tileron::XmlElementListPtr list(tileron::xmlGetElements(text, tag.c_str()));
  if (!list) {
    if (!expected.empty()) fuzzing::fail("elements missed");
    return;
  }
  if (list->count < 1 || list->count > tileron::kXmlMaxElements ||
      size_t(list->count) != expected.size())
    fuzzing::fail("wrong element count");
  for (int i = 0; i < list->count; ++i)
    if (expected[size_t(i)] != list->entries[i]) fuzzing::fail("wrong element text");
  // Searching inside a found element, as the loaders do for nested elements.
  tileron::XmlElementListPtr inner(tileron::xmlGetElements(list->entries[0], tag.c_str()));
  (void)inner;
}

} // namespace

constexpr const char *kXmlPath = "/programs/tileron/mask/fuzz.xml";

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::keepInMemory(fuzzing::FuzzHome::get() / kXmlPath);
  fuzzing::logToMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const auto *bytes = reinterpret_cast<const char *>(data);
  const char *newline = static_cast<const char *>(std::memchr(bytes, '\n', std::min<size_t>(size, 41)));
  const size_t tagLength = newline != nullptr ? size_t(newline - bytes) : 0;
  // A tag ends at its first zero byte, as any C string does.
  const std::string tag(bytes, strnlen(bytes, tagLength));
  const size_t textStart = newline != nullptr ? tagLength + 1 : 0;
  const uint8_t *text = data + textStart;
  const size_t textSize = size - textStart;

  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  fuzzing::writeMemoryFile(home / kXmlPath, text, textSize);
  tileron::XmlDocumentPtr document(tileron::xmlReadFile(kXmlPath));
  if (textSize == 0) {
    if (document) fuzzing::fail("an empty file was read");
    return 0;
  }
  if (!document) fuzzing::fail("a readable file was refused");
  if (std::memcmp(document->text, text, textSize) != 0 || document->text[textSize] != '\0')
    fuzzing::fail("the document differs from the file");

  checkSearch(document->text, tag);
  for (const char *known : {"splitscreen", "part", "name", "english"})
    checkSearch(document->text, known);
  return 0;
}
