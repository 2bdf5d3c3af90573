// Loading the operator plug-in and talking to it as a host does: through the
// tag list of its one export and the entry routine that list names.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "vxhost/operator.h"

namespace vxhost::app {

// The module to load: `option` when not empty, else $TILERON_PLUGIN when set
// and not empty, else the module built with this program.
std::filesystem::path pluginPath(const std::string &option);

// A loaded plug-in; unloaded when destroyed.
class Plugin {
public:
  // Loads the module and finds its entry routine. Throws std::runtime_error
  // naming the path and the reason (the loader's own text, a missing
  // GetOperatorInfo, a tag list without end or without entry routine).
  explicit Plugin(const std::filesystem::path &path);
  ~Plugin();
  Plugin(const Plugin &) = delete;
  Plugin &operator=(const Plugin &) = delete;

  const std::filesystem::path &path() const { return path_; }
  // The module's tag list, ended by tag 0 (owned by the module).
  const OperatorTag *tags() const { return tags_; }
  // The value of tag number `number` (0x00..0xFF), or none when absent.
  std::optional<uintptr_t> tagValue(unsigned number) const;
  // The entry routine (the host's preview calls it itself).
  OperatorEntry entry() const { return entry_; }
  // Sends one message to the entry routine and returns its result.
  int32_t send(const OperatorMessage &message) const;
  // Sends a message of `type` with the other fields as given.
  int32_t send(uint16_t type, uint32_t flags = 0, int32_t effectValue = 0, int32_t field = 0) const;

private:
  std::filesystem::path path_;
  void *handle_ = nullptr;
  const OperatorTag *tags_ = nullptr;
  OperatorEntry entry_ = nullptr;
};

} // namespace vxhost::app
