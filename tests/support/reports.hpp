// The one report filter of the tests: the log records captured since the
// last call, of one source or of all.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "host/log/logger.hpp"

namespace testing_support {

// The records logged since the last call (the log is emptied), only those of
// `source` when one is given.
inline std::vector<vxhost::LogRecord> takeReports(std::string_view source = {}) {
  std::vector<vxhost::LogRecord> kept;
  for (vxhost::LogRecord &record : vxhost::takeLog())
    if (source.empty() || record.source == source) kept.push_back(std::move(record));
  return kept;
}

} // namespace testing_support
