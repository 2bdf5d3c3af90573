// The host's log in C++: the levels, the host's own diagnostics, capturing
// records in memory and the log file in use. Records are written by
// loggerMessage (vxhost/logger.h) and hostLog.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vxhost {

// Levels of log records (lower is graver).
enum LogLevel : int32_t {
  kLogError = 3,
  kLogWarning = 5,
};

struct LogRecord {
  int32_t level = 0;
  int32_t line = 0;
  std::string source;
  uint32_t code = 0;
  std::string text;
};

// Logs a diagnostic of the host itself (code 0, source "vxhost"), so that
// tests can tell it from the operator's reports.
void hostLog(LogLevel level, int line, const char *format, ...) __attribute__((format(printf, 3, 4)));

// While capturing, records are also kept in memory (besides the file).
void captureLog(bool on);
std::vector<LogRecord> takeLog();   // the captured records, emptied
// The log file in use ($VXHOST_LOG, else $VXHOME/log/vxhost.log).
std::filesystem::path logPath();

// The records of level `worst` or graver, one "\n  report: SOURCE line N[: TEXT]"
// each (the operator's reports carry a single blank as their text, left out),
// for an error message.
std::string describeReports(const std::vector<LogRecord> &records, int32_t worst = kLogError);

// Stops capturing and drops the captured records.
void resetLog();

} // namespace vxhost
