// The reference host's settings and registries, kept in one place. Internal to
// libvxhost: the program, tools and tests use host/settings/settings.hpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/settings/settings.hpp"
#include "vxhost/orvexares.h"

namespace vxhost {

struct HostState {
  Format format;
  Screen screen;
  std::string language = "english";
  std::filesystem::path resourceDir;   // empty: the installed default
  std::vector<uint32_t> overlay;       // screen.width x screen.height
  MonitorPicture monitor;
  CallCounts counts;
  std::map<int32_t, std::shared_ptr<FrameSource>> scenes;
  std::map<int32_t, std::string> sceneNames; // shown by the scene requester
  std::shared_ptr<FrameSource> input;
  int inputFetches = 0;
  std::function<void(OpImage *)> fieldSink;
  ResHandle guiResource = 0;           // the toolkit's image set, loaded on first use
};

// The one host state of the process. The host is driven from one thread.
HostState &hostState();

// Stops capturing and drops the captured log records (host/log).
void resetLogCapture();

// Logs a diagnostic of the host itself (code 0, source "vxhost", level 3 error
// or 5 warning), so that tests can tell it from the operator's reports.
void hostLog(int level, int line, const char *format, ...) __attribute__((format(printf, 3, 4)));

} // namespace vxhost
