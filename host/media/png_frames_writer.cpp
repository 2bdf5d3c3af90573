// PNG output: one RGB PNG per frame in a folder, numbered by a printf
// pattern and moved into the folder together when the render completes, or
// one frame as one PNG file.
#include <cstdio>
#include <string>

#include "host/media/output.hpp"
#include "host/media/png.hpp"
#include "host/media/yuv.hpp"

namespace vxhost {
namespace fs = std::filesystem;
namespace {

// A frame's lines as RGB through the matrix of the format's height, encoded
// and written to `path` (on `threads` threads: see PngFrameEncoder); errors
// name `name`.
class FramePngs {
public:
  FramePngs(const Format &format, int threads)
      : format_(format), matrix_(matrixForHeight(format.height)), encoder_(format, threads) {}

  void write(const FrameLines &lines, const fs::path &path, const std::string &name) {
    for (int y = 0; y < format_.height; ++y) {
      uint8_t *row = encoder_.row(y);
      const uint32_t *line = lines[y];
      for (int x = 0; x < format_.width; ++x, row += 3) {
        const Rgb rgb = yuvaToRgb(line[x], matrix_);
        row[0] = rgb.r, row[1] = rgb.g, row[2] = rgb.b;
      }
    }
    encoder_.write(path, name);
  }
  // Writes the files still being encoded.
  void finish() { encoder_.finish(); }

private:
  Format format_;
  Matrix matrix_;
  PngFrameEncoder encoder_;
};

class PngFramesWriter : public FrameWriter {
public:
  PngFramesWriter(const fs::path &folder, std::string pattern, const Format &format, int firstFrame, bool makeFolder,
                  int threads)
      : FrameWriter(format), made_(folder, makeFolder), temp_((requireFolder(folder), folder)),
        pattern_(std::move(pattern)), pngs_(format, threads), number_(firstFrame) {}

  void writeLines(const FrameLines &lines) override {
    char name[512];
    std::snprintf(name, sizeof name, pattern_.c_str(), number_++);
    pngs_.write(lines, temp_.path() / name, name);
  }

  void finish() override {
    pngs_.finish();
    temp_.commit();
    made_.keep();
  }

private:
  MadeFolder made_; // outlives temp_, which lies inside it
  TempFolder temp_;
  std::string pattern_;
  FramePngs pngs_;
  int number_;
};

// One frame as one PNG file.
class PngStillWriter : public FrameWriter {
public:
  PngStillWriter(const fs::path &target, const Format &format) : FrameWriter(format), temp_(target), pngs_(format, 1) {}

  void writeLines(const FrameLines &lines) override {
    if (written_)
      throw OutputError("a .png file holds one frame: render a range of one frame, or name a folder or a "
                        "%05d.png pattern for more");
    pngs_.write(lines, temp_.path(), temp_.path().filename().string());
    written_ = true;
  }

  void finish() override {
    if (!written_)
      throw OutputError("no frame was rendered for the .png file");
    pngs_.finish();
    temp_.commit();
  }

private:
  TempFile temp_;
  FramePngs pngs_;
  bool written_ = false;
};

} // namespace

std::unique_ptr<FrameWriter> makePngFramesWriter(const fs::path &folder, std::string pattern, const Format &format,
                                                 int firstFrame, bool makeFolder, int threads) {
  return std::make_unique<PngFramesWriter>(folder, std::move(pattern), format, firstFrame, makeFolder, threads);
}

std::unique_ptr<FrameWriter> makePngStillWriter(const fs::path &target, const Format &format) {
  return std::make_unique<PngStillWriter>(target, format);
}

} // namespace vxhost
