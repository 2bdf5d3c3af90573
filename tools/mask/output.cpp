#include "output.hpp"

#include "host/media/png.hpp"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace tileron::masktool {

namespace {

std::string partFile(const std::string &name, std::size_t index) {
  return name + "_" + std::to_string(index) + ".png";
}

std::string stampFile(const std::string &name) { return name + "_stamp.png"; }

void writeText(const std::filesystem::path &path, const std::string &text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
}

} // namespace

void writeGreyPng(const std::filesystem::path &path, const GreyImage &image) {
  std::string error;
  if (!vxhost::writePng(path, image.width, image.height, 1, image.pixels.data(), image.pixels.size(), error))
    throw std::runtime_error("cannot write " + error);
}

std::string maskXml(const std::string &name, const MaskDescription &description, const BuiltMask &built) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<splitscreen>\n  <name>\n";
  for (const auto &[language, title] : description.titles)
    xml << "    <" << language << ">" << title << "</" << language << ">\n";
  xml << "  </name>\n";
  for (std::size_t i = 0; i < built.parts.size(); ++i) {
    const BuiltPart &part = built.parts[i];
    xml << "  <part>\n"
        << "    <filename>" << partFile(name, i) << "</filename>\n"
        << "    <centerx>" << part.centerX << "</centerx>\n"
        << "    <centery>" << part.centerY << "</centery>\n"
        << "    <width>" << part.width << "</width>\n"
        << "    <height>" << part.height << "</height>\n"
        << "    <scale>" << part.scale << "</scale>\n"
        << "    <stampimagexpos>" << part.markerX << "</stampimagexpos>\n"
        << "    <stampimageypos>" << part.markerY << "</stampimageypos>\n"
        << "  </part>\n";
  }
  for (const BuiltBar &bar : built.bars)
    xml << "  <bar><left>" << bar.left << "</left><top>" << bar.top << "</top><right>" << bar.right
        << "</right><bottom>" << bar.bottom << "</bottom></bar>\n";
  xml << "  <stamp>\n    <filename>" << stampFile(name) << "</filename>\n  </stamp>\n"
      << "</splitscreen>\n";
  return xml.str();
}

std::vector<std::filesystem::path> writeMask(const std::filesystem::path &directory,
                                             const std::string &name,
                                             const MaskDescription &description,
                                             const BuiltMask &built) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) throw std::runtime_error("cannot make " + directory.string() + ": " + error.message());
  std::vector<std::filesystem::path> written;
  for (std::size_t i = 0; i < built.parts.size(); ++i) {
    written.push_back(directory / partFile(name, i));
    writeGreyPng(written.back(), built.parts[i].shape);
  }
  written.push_back(directory / stampFile(name));
  writeGreyPng(written.back(), built.stamp);
  written.push_back(directory / (name + ".xml"));
  writeText(written.back(), maskXml(name, description, built));
  return written;
}

} // namespace tileron::masktool
