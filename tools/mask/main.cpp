// tileron-mask: builds masks from descriptions and packs their index files.
//
//   tileron-mask build DESC... -o DIR [--size WxH]   mask file, shapes and stamp map
//   tileron-mask pack INDEX -o FILE.dat              plain index -> enciphered pack index
//   tileron-mask unpack FILE.dat                     prints a pack's plain index
//
// Formats: docs/masks.md.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "description.hpp"
#include "host/support/command_line.hpp"
#include "output.hpp"
#include "pack.hpp"
#include "raster.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tileron::masktool;

std::string readFile(const fs::path &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void build(const std::vector<std::string> &descriptions, const fs::path &directory,
           const std::string &size) {
  for (const std::string &path : descriptions) {
    MaskDescription description = parseDescription(readFile(path), path);
    if (!size.empty()) {
      char x = 0;
      std::istringstream in(size);
      if (!(in >> description.width >> x >> description.height) || x != 'x' || !in.eof() ||
          description.width < 16 || description.height < 16 || description.width > 8192 ||
          description.height > 8192)
        throw std::runtime_error("--size takes WIDTHxHEIGHT, 16 to 8192 each, e.g. 1920x1080");
    }
    const std::string name = fs::path(path).stem().string();
    const BuiltMask built = buildMask(description);
    const auto written = writeMask(directory, name, description, built);
    std::cout << name << ": " << built.parts.size() << " parts, " << built.bars.size() << " bars, "
              << written.size() << " files in " << directory.string() << "\n";
  }
}

void pack(const std::string &indexPath, const fs::path &output) {
  const PlainIndex index = parsePlainIndex(readFile(indexPath), indexPath);
  const std::vector<uint8_t> bytes = encipherIndex(index);
  std::ofstream file(output, std::ios::binary);
  file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + output.string());
  std::cout << output.string() << ": pack " << index.packNumber << ", " << index.masks.size()
            << " masks\n";
}

void unpack(const std::string &path) {
  const std::string bytes = readFile(path);
  std::cout << decipherIndex(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-mask: builds split-screen masks and their pack index files", "tileron-mask"};
  app.require_subcommand(1);

  std::vector<std::string> descriptions;
  std::string directory, size;
  CLI::App *buildCommand = app.add_subcommand("build", "Builds masks from descriptions");
  buildCommand->add_option("descriptions", descriptions, "Mask description files (.mask)")
      ->required()
      ->check(CLI::ExistingFile);
  buildCommand->add_option("-o,--output", directory, "Folder for the mask files")->required();
  buildCommand->add_option("--size", size, "Shape image size WIDTHxHEIGHT (default: the description's)");

  std::string index, packFile;
  CLI::App *packCommand = app.add_subcommand("pack", "Enciphers a plain pack index");
  packCommand->add_option("index", index, "Plain index: pack number, then mask file names")
      ->required()
      ->check(CLI::ExistingFile);
  packCommand->add_option("-o,--output", packFile, "Pack index file to write (.dat)")->required();

  std::string unpackFile;
  CLI::App *unpackCommand = app.add_subcommand("unpack", "Prints the plain index of a pack");
  unpackCommand->add_option("pack", unpackFile, "Pack index file (.dat)")->required()->check(CLI::ExistingFile);

  return vxhost::runCommandLine(app, argc, argv, [&] {
    if (*buildCommand) build(descriptions, directory, size);
    if (*packCommand) pack(index, packFile);
    if (*unpackCommand) unpack(unpackFile);
  });
}
