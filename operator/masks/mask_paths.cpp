#include "masks/mask_paths.hpp"

#include <cstdint>

#include "entry/module.hpp"
#include "support/home_files.hpp"
#include "vxhost/orvexares.h"
#include "vxhost/xchar.h"

namespace tileron {

namespace {

constexpr int32_t kLanguageString = 20;

} // namespace

bool staysInMaskDirectory(const std::string &name) { return staysInsideDirectory(name); }

std::string languageTag() {
  const xchar *name = resGetString(moduleState().strings, kLanguageString);
  if (name == nullptr) return {};
  std::string tag(3 * static_cast<std::size_t>(xcslen(name)) + 1, '\0');
  tag.resize(static_cast<std::size_t>(xscpy(tag.data(), name)));
  return tag;
}

} // namespace tileron
