// tileron-masks: the installed masks as the operator sees them. Built from
// the operator's own sources: the catalogue is the one its load message
// builds. tileron-host's `masks` command runs this program.
//
//   tileron-masks list [--language L]                  title, path and parts of every mask
//   tileron-masks sheet -o FILE.png [--language L]     contact sheet of the stamp maps
//   tileron-masks install DIR [--replace]              installs the packs found in DIR
//
// VXHOME names the home (default: the host's default home). Documented in
// docs/command-line.md.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "host/settings/settings.hpp"
#include "install.hpp"
#include "session.hpp"
#include "sheet.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tileron;
using namespace tileron::maskstool;

void setUp(const std::string &language) {
  const char *home = std::getenv("VXHOME");
  vxhost::setHome(home != nullptr && *home != '\0' ? fs::path(home) : vxhost::defaultHome());
  vxhost::setLanguage(language);
}

void list(std::ostream &out) {
  const OperatorSession session;
  const MaskInfo *first = firstMask(session.catalogue());
  if (first == nullptr) std::cerr << "tileron-masks: no mask is installed (no pack lists a readable mask)\n";
  for (const MaskInfo *e = first; e != nullptr; e = nextMask(*e))
    out << titleText(*e) << '\t' << e->path << '\t' << countParts(e->path) << '\n';
}

void sheet(const fs::path &output, const SheetOptions &options) {
  const OperatorSession session;
  MaskCatalogue *catalogue = openMaskCatalogue(&session.catalogue(), "");
  const vxhost::RgbaImage picture = contactSheet(*catalogue, options);
  releaseThumbnails(catalogue);
  std::string error;
  if (!vxhost::writePng(output, picture, error)) throw std::runtime_error(error);
  int count = 0;
  for (const MaskInfo *e = firstMask(*catalogue); e != nullptr; e = nextMask(*e)) ++count;
  std::cout << output.string() << ": " << count << " masks, " << picture.width << " x "
            << picture.height << "\n";
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-masks: the installed split-screen masks"};
  app.require_subcommand(1);
  std::string language = "english";

  CLI::App *listCommand = app.add_subcommand("list", "Prints title, path and parts of every installed mask");
  listCommand->add_option("--language", language, "Language of the titles (english, deutsch)");

  std::string output;
  SheetOptions options;
  CLI::App *sheetCommand = app.add_subcommand("sheet", "Draws every mask's stamp map with its title into a PNG");
  sheetCommand->add_option("-o,--output", output, "PNG file to write")->required();
  sheetCommand->add_option("--language", language, "Language of the titles (english, deutsch)");
  sheetCommand->add_option("--columns", options.columns, "Pictures per row")->check(CLI::Range(1, 100));
  sheetCommand->add_option("--font", options.font, "TrueType font for the titles");

  std::string folder;
  bool replace = false;
  CLI::App *installCommand = app.add_subcommand("install", "Installs the mask packs of a folder");
  installCommand->add_option("folder", folder, "Folder holding the pack index (.dat) and its files")->required();
  installCommand->add_flag("--replace", replace, "Allow replacing installed files that differ");

  CLI11_PARSE(app, argc, argv);
  try {
    setUp(language);
    if (*listCommand) list(std::cout);
    if (*sheetCommand) sheet(output, options);
    if (*installCommand) installPacks(folder, replace, std::cout);
  } catch (const std::exception &error) {
    std::cout.flush();
    std::cerr << "tileron-masks: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
