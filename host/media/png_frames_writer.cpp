// PNG frames: one RGB PNG per frame in a folder, numbered by a printf
// pattern, moved into the folder together when the render completes.
#include <cstdio>
#include <string>

#include "host/media/output.hpp"
#include "host/media/png.hpp"
#include "host/media/yuv.hpp"

namespace vxhost {
namespace fs = std::filesystem;
namespace {

class PngFramesWriter : public FrameWriter {
public:
  PngFramesWriter(const fs::path &folder, std::string pattern, const Format &format, int firstFrame)
      : FrameWriter(format), temp_((requireFolder(folder), folder)), pattern_(std::move(pattern)),
        matrix_(matrixForHeight(format.height)), number_(firstFrame), encoder_(format) {}

  void writeLines(const FrameLines &lines) override {
    for (int y = 0; y < format_.height; ++y) {
      uint8_t *row = encoder_.row(y);
      const uint32_t *line = lines[y];
      for (int x = 0; x < format_.width; ++x, row += 3) {
        const Rgb rgb = yuvaToRgb(line[x], matrix_);
        row[0] = rgb.r, row[1] = rgb.g, row[2] = rgb.b;
      }
    }
    char name[512];
    std::snprintf(name, sizeof name, pattern_.c_str(), number_++);
    encoder_.write(temp_.path() / name, name);
  }

  void finish() override { temp_.commit(); }

private:
  TempFolder temp_;
  std::string pattern_;
  Matrix matrix_;
  int number_;
  PngFrameEncoder encoder_;
};

} // namespace

std::unique_ptr<FrameWriter> makePngFramesWriter(const fs::path &folder, std::string pattern, const Format &format,
                                                 int firstFrame) {
  return std::make_unique<PngFramesWriter>(folder, std::move(pattern), format, firstFrame);
}

} // namespace vxhost
