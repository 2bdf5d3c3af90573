// tileron-preset: presets as readable text.
//
//   tileron-preset make DESC.json -o FILE.prf   description -> settings/preset file
//   tileron-preset show FILE.prf                settings/preset file -> description
//
// Masks are looked up in $VXHOME (else the host's default home). Format of
// the description: docs/preset-description.md.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

#include <CLI/CLI.hpp>

#include "description.hpp"
#include "host/settings/settings.hpp"
#include "preset.hpp"

namespace {

std::filesystem::path userHome() {
  const char *home = std::getenv("VXHOME");
  return home && *home ? std::filesystem::path(home) : vxhost::defaultHome();
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-preset: makes settings and preset files from readable descriptions, and shows them"};
  app.require_subcommand(1);

  std::string description, output, preset;
  CLI::App *make = app.add_subcommand("make", "Make a settings/preset file from a description");
  make->add_option("description", description, "Preset description (JSON)")->required();
  make->add_option("-o,--output", output, "Settings or preset file to write (.prf)")->required();
  CLI::App *show = app.add_subcommand("show", "Print a settings/preset file as a description");
  show->add_option("file", preset, "Settings or preset file (.prf)")->required();

  try {
    app.parse(argc, argv);
    if (*make) {
      std::ifstream in(description, std::ios::binary);
      if (!in)
        throw std::runtime_error(description + ": cannot be read");
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      tileron::preset::makePreset(tileron::preset::parseDescription(text, description), description, userHome(),
                                  output);
    } else {
      std::cout << tileron::preset::describe(tileron::preset::readPreset(preset, userHome())).dump(2) << "\n";
    }
  } catch (const CLI::ParseError &error) {
    return app.exit(error);
  } catch (const std::exception &error) {
    std::fflush(stdout);
    std::fprintf(stderr, "tileron-preset: error: %s\n", error.what());
    return 1;
  }
  return 0;
}
