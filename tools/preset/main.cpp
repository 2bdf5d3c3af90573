// tileron-preset: presets as readable text.
//
//   tileron-preset new MASK [-o FILE.prf]         part i shows scene i
//   tileron-preset make DESC.json [-o FILE.prf]   description -> settings/preset file
//   tileron-preset show FILE.prf                  settings/preset file -> description
//   tileron-preset textures                       the installed textures
//
// Without -o, new and make write the home's settings file. Masks are looked
// up in $VXHOME (else the host's default home), which gets the bundled
// masks when it has none. Format of the description:
// docs/preset-description.md.
#include <fstream>
#include <iostream>
#include <iterator>

#include "description.hpp"
#include "host/control.hpp"
#include "host/media/output.hpp"
#include "host/support/command_line.hpp"
#include "host/support/user_home.hpp"
#include "host/textures/texture_library.hpp"
#include "preset.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tileron::preset;

// The file to write: `output`, else the home's settings file, whose folders
// are made.
fs::path outputFile(const std::string &output, const fs::path &home) {
  if (!output.empty())
    return output;
  const fs::path settings = home / "programs/tileron/prefs/tileron.prf";
  fs::create_directories(settings.parent_path());
  return settings;
}

void make(const PresetDescription &description, const std::string &source, const std::string &output,
          const fs::path &home) {
  const fs::path file = outputFile(output, home);
  makePreset(description, source, home, file);
  std::cout << "wrote " << file.string() << " (mask " << description.maskPath << ")\n";
}

std::string readText(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error(path + ": cannot be read");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-preset: makes settings and preset files from readable descriptions, and shows them",
               "tileron-preset"};
  app.require_subcommand(1);

  std::string mask, description, output, preset;
  const std::string outputHelp = "Settings or preset file to write (.prf; default: the home's settings file)";
  CLI::App *newCommand = app.add_subcommand("new", "Make a settings/preset file for a mask, part i showing scene i");
  newCommand->add_option("mask", mask, "Mask name (grid_4, as `tileron-host masks list` prints it) or path")
      ->required();
  newCommand->add_option("-o,--output", output, outputHelp);
  CLI::App *makeCommand = app.add_subcommand("make", "Make a settings/preset file from a description");
  makeCommand->add_option("description", description, "Preset description (JSON)")->required();
  makeCommand->add_option("-o,--output", output, outputHelp);
  CLI::App *showCommand = app.add_subcommand("show", "Print a settings/preset file as a description");
  showCommand->add_option("file", preset, "Settings or preset file (.prf)")->required();
  CLI::App *texturesCommand = app.add_subcommand("textures", "List the installed textures (bar.texture.name)");

  return vxhost::runCommandLine(app, argc, argv, [&] {
    // Read once: the operator's code runs with a private VXHOME of its own.
    const fs::path home = vxhost::userHome();
    if (*newCommand) {
      const std::string source = "new " + mask;
      make(scenePerPart(maskPathOf(mask, source), source, home), source, output, home);
    } else if (*makeCommand) {
      make(parseDescription(readText(description), description), description, output, home);
    } else if (*showCommand) {
      std::cout << describe(readPreset(preset, home)).dump(2) << "\n";
    } else if (*texturesCommand) {
      const std::vector<std::string> textures = vxhost::installedTextures();
      if (textures.empty())
        std::cerr << "tileron-preset: no texture is installed in " << vxhost::textureDir().string() << "\n";
      for (const std::string &name : textures)
        std::cout << name << "\n";
    }
  });
}
