// The host's log: one line per record appended to $VXHOST_LOG, else
// $VXHOME/log/vxhost.log; records can also be kept in memory for tests.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>

#include "host/settings/settings.hpp"
#include "host/state.hpp"
#include "vxhost/logger.h"

namespace vxhost {

namespace {

std::mutex logMutex;
bool capturing = false;
std::vector<LogRecord> captured;

std::string formatText(const char *format, va_list args) {
  if (!format)
    return {};
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0)
    return {};
  std::string text(size_t(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(size_t(n));
  return text;
}

// A record is one line: line breaks inside a field become blanks.
std::string oneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  return text;
}

void writeRecord(int32_t level, int32_t line, const char *source, uint32_t code,
                 const std::string &text) {
  const std::string src = oneLine(source ? source : "");
  const std::string body = oneLine(text);
  std::lock_guard<std::mutex> lock(logMutex);
  if (capturing)
    captured.push_back(LogRecord{level, line, src, code, body});
  const std::filesystem::path path = logPath();
  if (path.empty())
    return;
  // The folder is made only when the log cannot be opened: a record then
  // costs no look at the folder.
  std::FILE *file = std::fopen(path.c_str(), "a");
  if (!file && path.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    file = std::fopen(path.c_str(), "a");
  }
  if (!file)
    return;
  std::fprintf(file, "%d\t%s\t%d\t0x%x\t%s\n", static_cast<int>(level), src.c_str(),
               static_cast<int>(line), static_cast<unsigned>(code), body.c_str());
  std::fclose(file);
}

} // namespace

void captureLog(bool on) {
  std::lock_guard<std::mutex> lock(logMutex);
  capturing = on;
}

std::vector<LogRecord> takeLog() {
  std::lock_guard<std::mutex> lock(logMutex);
  std::vector<LogRecord> records;
  records.swap(captured);
  return records;
}

std::filesystem::path logPath() {
  const char *log = std::getenv("VXHOST_LOG");
  if (log && *log)
    return log;
  const char *home = std::getenv("VXHOME");
  if (home && *home)
    return std::filesystem::path(home) / "log" / "vxhost.log";
  return {};
}

void resetLogCapture() {
  std::lock_guard<std::mutex> lock(logMutex);
  capturing = false;
  captured.clear();
}

void hostLog(int level, int line, const char *format, ...) {
  try {
    va_list args;
    va_start(args, format);
    const std::string text = formatText(format, args);
    va_end(args);
    writeRecord(level, line, "vxhost", 0, text);
  } catch (...) {
  }
}

} // namespace vxhost

extern "C" void loggerMessage(int32_t level, int32_t line, const char *source, uint32_t code,
                              const char *format, ...) {
  try {
    va_list args;
    va_start(args, format);
    const std::string text = vxhost::formatText(format, args);
    va_end(args);
    vxhost::writeRecord(level, line, source, code, text);
  } catch (...) {
    // The log never fails visibly.
  }
}
