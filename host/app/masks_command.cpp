// `masks`: the installed mask library. The catalogue lives inside the
// operator, whose module exports nothing but its tag list, so listing,
// drawing and installing are done by tileron-masks, a program built from the
// operator's own sources that sits beside this one; `masks` hands its
// arguments over to it. The first run in a home without packs installs the
// bundled library there.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "commands.hpp"
#include "operator/masks/pack_names.hpp"

namespace vxhost::app {

namespace {

namespace fs = std::filesystem;

// A regular file the catalogue takes for a pack index.
bool isPackIndex(const fs::directory_entry &file) {
  return file.is_regular_file() && tileron::isPackIndexName(file.path().filename().string());
}

[[noreturn]] void runMasksProgram(const std::vector<std::string> &arguments) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  const fs::path program = (error ? fs::path(".") : self.parent_path()) / "tileron-masks";
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

int installBundledMasks(const fs::path &home) {
  const fs::path masks = home / "programs/tileron/mask";
  const fs::path bundled = fs::path(VXHOST_DATA_DIR) / "masks";
  std::error_code error;
  if (fs::is_directory(masks, error))
    for (const fs::directory_entry &file : fs::directory_iterator(masks, error))
      if (isPackIndex(file)) return 0;
  if (!fs::is_directory(bundled, error)) return 0;

  fs::create_directories(masks);
  int packs = 0, files = 0;
  for (const fs::directory_entry &file : fs::directory_iterator(bundled)) {
    if (!file.is_regular_file()) continue;
    // A file the user already has under the same name is kept.
    if (fs::copy_file(file.path(), masks / file.path().filename(), fs::copy_options::skip_existing)) {
      ++files;
      packs += isPackIndex(file);
    }
  }
  std::fprintf(stderr, "tileron-host: installed the bundled mask library (%d packs, %d files) into %s\n",
               packs, files, masks.c_str());
  return packs;
}

void addMasksCommand(CLI::App &app, HostContext &) {
  CLI::App *masks = app.add_subcommand(
      "masks", "The installed masks: list [--language L], sheet -o FILE.png, install DIR "
               "(run `masks --help` for the details)");
  // Everything after `masks`, --help included, is for tileron-masks.
  masks->prefix_command();
  masks->fallthrough(false);
  masks->set_help_flag();
  masks->callback([masks] {
    setUpHome();
    runMasksProgram(masks->remaining());
  });
}

} // namespace vxhost::app
