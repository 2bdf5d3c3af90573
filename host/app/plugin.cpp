#include "plugin.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

namespace vxhost::app {

namespace {

// A tag list longer than this is taken as missing its end tag.
constexpr int kMaxTags = 256;

std::runtime_error loadError(const std::filesystem::path &path, const std::string &reason) {
  return std::runtime_error("cannot load the plug-in " + path.string() + ": " + reason);
}

} // namespace

std::filesystem::path pluginPath(const std::string &option) {
  if (!option.empty()) return option;
  if (const char *env = std::getenv("TILERON_PLUGIN"); env && *env) return env;
  return TILERON_PLUGIN_PATH;
}

Plugin::Plugin(const std::filesystem::path &path) : path_(path) {
  dlerror();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char *reason = dlerror();
    throw loadError(path, reason ? reason : "unknown loader error");
  }
  try {
    dlerror();
    void *symbol = dlsym(handle_, "GetOperatorInfo");
    if (!symbol) throw loadError(path, "it does not export GetOperatorInfo");
    auto getInfo = reinterpret_cast<GetOperatorInfoFn>(symbol);
    tags_ = getInfo();
    if (!tags_) throw loadError(path, "GetOperatorInfo returned no tag list");
    int count = 0;
    while (count < kMaxTags && tags_[count].tag != 0) ++count;
    if (count == kMaxTags) throw loadError(path, "its tag list has no end tag");
    const std::optional<uintptr_t> entry = tagValue(OP_TAG_ENTRY);
    if (!entry || *entry == 0) throw loadError(path, "its tag list names no entry routine");
    entry_ = reinterpret_cast<OperatorEntry>(*entry);
  } catch (...) {
    dlclose(handle_);
    throw;
  }
}

Plugin::~Plugin() { dlclose(handle_); }

std::optional<uintptr_t> Plugin::tagValue(unsigned number) const {
  for (const OperatorTag *tag = tags_; tag->tag != 0; ++tag)
    if (tag->tag == OPERATOR_TAG(number)) return tag->value;
  return std::nullopt;
}

int32_t Plugin::send(const OperatorMessage &message) const { return entry_(&message); }

int32_t Plugin::send(uint16_t type, uint32_t flags, int32_t effectValue, int32_t field) const {
  OperatorMessage message{};
  message.type = type;
  message.flags = flags;
  message.effectValue = effectValue;
  message.field = field;
  return send(message);
}

} // namespace vxhost::app
