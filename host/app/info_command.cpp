#include <cstdio>
#include <stdexcept>
#include <string>

#include "commands.hpp"
#include "plugin.hpp"
#include "host/log/logger.hpp"

namespace vxhost::app {

namespace {

void printTagValue(unsigned number, uintptr_t value) {
  switch (number) {
  case OP_TAG_ENTRY:
    std::printf("entry routine (0x%jx)\n", static_cast<uintmax_t>(value));
    break;
  case OP_TAG_VERSION: {
    const char *text = reinterpret_cast<const char *>(value);
    std::printf("\"%s\"\n", text ? text : "");
    break;
  }
  case OP_TAG_INPUTS: {
    const int16_t *record = reinterpret_cast<const int16_t *>(value);
    if (!record) {
      std::printf("(null)\n");
      break;
    }
    for (int i = 0; i < 6; ++i) std::printf(i ? " %d" : "%d", record[i]);
    std::printf("\n");
    break;
  }
  default:
    std::printf("%ju (0x%jx)\n", static_cast<uintmax_t>(value), static_cast<uintmax_t>(value));
  }
}

// Sends one message and prints its result with the reports it logged.
int32_t sendAndShow(const Plugin &plugin, uint16_t type, const char *name) {
  takeLog();
  const int32_t result = plugin.send(type);
  std::printf("%-20s %d\n", name, result);
  for (const LogRecord &record : takeLog()) {
    std::printf("  report: level %d, %s, line %d, 0x%x", record.level, record.source.c_str(),
                record.line, record.code);
    // The operator's reports carry a single blank; the host's own say why.
    if (record.text != " ") std::printf(": %s", record.text.c_str());
    std::printf("\n");
  }
  return result;
}

void runInfo(const HostContext &context) {
  const std::filesystem::path home = setUpHome();
  const Plugin plugin(pluginPath(context.pluginOption));

  std::printf("plug-in  %s\n", plugin.path().c_str());
  std::printf("home     %s\n", home.c_str());
  std::printf("tag list\n");
  for (const OperatorTag *tag = plugin.tags(); tag->tag != 0; ++tag) {
    const unsigned number = static_cast<unsigned>(tag->tag - OPERATOR_TAG_BASE);
    std::printf("  0x%08jx  tag 0x%02x  ", static_cast<uintmax_t>(tag->tag), number);
    if ((tag->tag & ~uintptr_t{0xFF}) == OPERATOR_TAG_BASE)
      printTagValue(number, tag->value);
    else
      std::printf("0x%jx (not an operator tag)\n", static_cast<uintmax_t>(tag->value));
  }
  std::printf("  0x00000000  end\n");

  // The version query is not exported: the host reads the version from the
  // version tag string the way the query does.
  const std::optional<uintptr_t> tag = plugin.tagValue(OP_TAG_VERSION);
  unsigned long major = 0, minor = 0;
  if (tag && opParseVersionTag(reinterpret_cast<const char *>(*tag), &major, &minor))
    std::printf("version  %lu.%lu\n", major, minor);
  else
    std::printf("version  unknown (no version tag that parses)\n");

  captureLog(true);
  const int32_t loaded = sendAndShow(plugin, OP_MSG_LOAD, "load (message 7)");
  const int32_t unloaded = sendAndShow(plugin, OP_MSG_UNLOAD, "unload (message 8)");
  captureLog(false);
  std::fflush(stdout);
  if (loaded != 0 || unloaded != 0)
    throw std::runtime_error("the plug-in failed its load/unload messages (see the reports "
                             "above and " + logPath().string() + ")");
}

} // namespace

void addInfoCommand(CLI::App &app, HostContext &context) {
  app.add_subcommand("info", "Load the plug-in and print its tag list, version and the "
                             "results of a load/unload message pair")
      ->callback([&context] { runInfo(context); });
}

} // namespace vxhost::app
