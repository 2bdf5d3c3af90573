#include "output.hpp"

#include <spng.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace tileron::masktool {

namespace {

struct SpngFree {
  void operator()(spng_ctx *context) const { spng_ctx_free(context); }
};

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
  std::unique_ptr<spng_ctx, SpngFree> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) throw std::runtime_error("out of memory writing " + path.string());
  spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr header{};
  header.width = static_cast<uint32_t>(image.width);
  header.height = static_cast<uint32_t>(image.height);
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_GRAYSCALE;
  spng_set_ihdr(context.get(), &header);
  int error = spng_encode_image(context.get(), image.pixels.data(), image.pixels.size(), SPNG_FMT_PNG,
                                SPNG_ENCODE_FINALIZE);
  std::size_t length = 0;
  std::unique_ptr<void, decltype(&std::free)> png(
      error == 0 ? spng_get_png_buffer(context.get(), &length, &error) : nullptr, &std::free);
  if (error != 0 || !png)
    throw std::runtime_error("cannot encode " + path.string() + ": " + spng_strerror(error));
  std::ofstream file(path, std::ios::binary);
  file.write(static_cast<const char *>(png.get()), static_cast<std::streamsize>(length));
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
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
