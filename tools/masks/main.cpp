// tileron-masks: the installed masks as the operator sees them. Built from
// the operator's own sources: the catalogue is the one its load message
// builds. tileron-host's `masks` command runs this program.
//
//   tileron-masks list [--language L]                  name, title, path and parts of every mask
//   tileron-masks sheet -o FILE.png [--language L]     contact sheet of the stamp maps
//   tileron-masks install DIR [--replace]              installs the packs found in DIR
//
// VXHOME names the home (default: the host's default home). Documented in
// docs/command-line.md.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/control.hpp"
#include "host/support/command_line.hpp"
#include "host/support/user_home.hpp"
#include "install.hpp"
#include "session.hpp"
#include "sheet.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tileron;
using namespace tileron::maskstool;

void setUp(const std::string &language) {
  vxhost::setHome(vxhost::userHome());
  vxhost::setLanguage(language);
}

void list(std::ostream &out) {
  const OperatorSession session;
  const MaskInfo *first = firstMask(session.catalogue());
  if (first == nullptr) std::cerr << "tileron-masks: no mask is installed (no pack lists a readable mask)\n";
  for (const MaskInfo *e = first; e != nullptr; e = nextMask(*e))
    out << shortName(e->path) << '\t' << titleText(*e) << '\t' << e->path << '\t' << countParts(e->path) << '\n';
}

void sheet(const fs::path &output, const SheetOptions &options) {
  const OperatorSession session;
  MaskCatalogue *catalogue = openMaskCatalogue(&session.catalogue(), "");
  const vxhost::RgbaPicture picture = contactSheet(*catalogue, options);
  releaseThumbnails(catalogue);
  std::string error;
  if (!vxhost::writePng(output, picture, error)) throw std::runtime_error(error);
  int count = 0;
  for (const MaskInfo *e = firstMask(*catalogue); e != nullptr; e = nextMask(*e)) ++count;
  std::cout << output.string() << ": " << count << " masks, " << picture.width << " x "
            << picture.height << "\n";
}

// The languages of the operator's resource set: its string tables.
std::vector<std::string> resourceLanguages() {
  std::vector<std::string> languages;
  std::error_code error;
  for (const fs::directory_entry &file : fs::directory_iterator(vxhost::resourceDir() / "tileron", error))
    if (file.path().extension() == ".txt") languages.push_back(file.path().stem().string());
  std::sort(languages.begin(), languages.end());
  return languages;
}

const CLI::Validator languageCheck(
    [](const std::string &language) -> std::string {
      const std::vector<std::string> languages = resourceLanguages();
      if (std::find(languages.begin(), languages.end(), language) != languages.end()) return {};
      std::string known;
      for (const std::string &name : languages) known += (known.empty() ? "" : ", ") + name;
      return "\"" + language + "\" is not a language of the resource set (it has " +
             (known.empty() ? "none" : known) + ")";
    },
    "LANGUAGE");

// The sheet is a PNG; any other name would hold the wrong kind of bytes.
const CLI::Validator pngName(
    [](const std::string &name) -> std::string {
      const std::string extension = fs::path(name).extension().string();
      if (extension == ".png" || extension == ".PNG") return {};
      return name + ": the sheet is written as PNG: give a name ending in .png";
    },
    "FILE.png");

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-masks: the installed split-screen masks", "tileron-masks"};
  app.require_subcommand(1);
  std::string language = "english";

  CLI::App *listCommand = app.add_subcommand("list", "Prints name, title, path and parts of every installed mask");
  listCommand->add_option("--language", language, "Language of the titles (english, deutsch)")->check(languageCheck);

  std::string output;
  SheetOptions options;
  CLI::App *sheetCommand = app.add_subcommand("sheet", "Draws every mask's stamp map with its part numbers and title into a PNG");
  sheetCommand->add_option("-o,--output", output, "PNG file to write")->required()->check(pngName);
  sheetCommand->add_option("--language", language, "Language of the titles (english, deutsch)")->check(languageCheck);
  sheetCommand->add_option("--columns", options.columns, "Pictures per row")->check(CLI::Range(1, 100));
  sheetCommand->add_option("--font", options.font, "TrueType font for the titles");

  std::string folder;
  bool replace = false;
  CLI::App *installCommand = app.add_subcommand("install", "Installs the mask packs of a folder");
  installCommand->add_option("folder", folder, "Folder holding the pack index (.dat) and its files")->required();
  installCommand->add_flag("--replace", replace, "Allow replacing installed files that differ");

  return vxhost::runCommandLine(app, argc, argv, [&] {
    setUp(language);
    if (*listCommand) list(std::cout);
    if (*sheetCommand) sheet(output, options);
    if (*installCommand) installPacks(folder, replace, std::cout);
  });
}
