#include "masks/mask_paths.hpp"

#include <cstdint>

#include "support/home_files.hpp"
#include "vxhost/orvexares.h"
#include "vxhost/txlib.h"
#include "vxhost/xchar.h"

namespace tileron {

namespace {

constexpr int32_t kLanguageString = 20;

} // namespace

bool staysInMaskDirectory(const std::string &name) { return staysInsideDirectory(name); }

std::string languageTag(ResHandle strings) {
  const xchar *name = resGetString(strings, kLanguageString);
  if (name == nullptr) return {};
  std::string tag(3 * static_cast<std::size_t>(xcslen(name)) + 1, '\0');
  tag.resize(static_cast<std::size_t>(xscpy(tag.data(), name)));
  return tag;
}

OpImagePtr readMaskDirectoryImage(const std::string &name) {
  if (!staysInMaskDirectory(name)) return nullptr;
  return OpImagePtr(txGetOpImageFile((kMaskDirectory + name).c_str(), 1));
}

const char *onlyScreen(const XmlDocument &document, XmlElementListPtr &screens) {
  screens.reset(xmlGetElements(document.text, "splitscreen"));
  return screens && screens->count == 1 ? screens->entries[0] : nullptr;
}

std::vector<std::string> stampFileNames(const char *screen) {
  std::vector<std::string> names;
  XmlElementListPtr stamps(xmlGetElements(screen, "stamp"));
  for (int s = 0; stamps && s < stamps->count; ++s)
    if (XmlElementListPtr file{xmlGetElements(stamps->entries[s], "filename")}) names.emplace_back(file->entries[0]);
  return names;
}

} // namespace tileron
