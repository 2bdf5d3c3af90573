// `masks`: the installed mask library. The catalogue lives inside the
// operator, whose module exports nothing but its tag list, so listing,
// drawing and installing are done by tileron-masks, a program built from the
// operator's own sources that sits beside this one; `masks` hands its
// arguments over to it. The first run in a home without packs installs the
// bundled library there (setUpHome).
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands.hpp"

namespace vxhost::app {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void runMasksProgram(const std::vector<std::string> &arguments) {
  const fs::path program = siblingProgram("tileron-masks");
  std::vector<char *> argv;
  std::string name = program.string();
  argv.push_back(name.data());
  std::vector<std::string> copies = arguments;
  for (std::string &argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  execv(program.c_str(), argv.data());
  throw std::runtime_error("cannot run " + program.string() + ": " + std::strerror(errno) +
                           " (it is built with tileron-host: cmake --build <build> --target tileron-masks)");
}

} // namespace

void addMasksCommand(CLI::App &app, HostContext &) {
  CLI::App *masks = app.add_subcommand(
      "masks", "The installed masks: list [--language L], sheet -o FILE.png, install DIR "
               "(run `masks --help` for the details)");
  // Everything after `masks`, --help included, is for tileron-masks.
  masks->prefix_command();
  masks->fallthrough(false);
  masks->set_help_flag();
  masks->callback([masks] {
    const std::vector<std::string> arguments = masks->remaining();
    // Help, the version and a bare `masks` only print: the home stays as it is.
    const bool printsOnly = arguments.empty() || std::any_of(arguments.begin(), arguments.end(), [](const std::string &a) {
      return a == "-h" || a == "--help" || a == "--version";
    });
    if (!printsOnly)
      setUpHome();
    runMasksProgram(arguments);
  });
}

} // namespace vxhost::app
