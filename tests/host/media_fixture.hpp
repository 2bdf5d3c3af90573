// Small clips for the media tests, written without the host's own writers so
// that a fault in those cannot hide one in the readers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace media_fixture {

using Frame = std::vector<uint32_t>;

// A frame whose every pixel differs from its neighbours and from the same
// pixel of other frames: Y, U, V from position and frame number, alpha 255.
inline Frame numberedFrame(int width, int height, int number) {
  Frame frame(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t luma = 16 + (x * 7 + y * 13 + number * 29) % 220;
      const uint32_t u = 16 + (x * 11 + number * 5) % 225, v = 16 + (y * 17 + number * 3) % 225;
      frame[size_t(y) * width + x] = luma << 24 | u << 16 | v << 8 | 0xFF;
    }
  return frame;
}

// A 4:4:4 Y4M file ("C444") of the frames, at `rate` ("25:1").
inline void writeY4m(const std::filesystem::path &path, int width, int height, const std::vector<Frame> &frames,
                     const std::string &rate = "25:1") {
  std::ofstream out(path, std::ios::binary);
  out << "YUV4MPEG2 W" << width << " H" << height << " F" << rate << " Ip A1:1 C444\n";
  for (const Frame &frame : frames) {
    out << "FRAME\n";
    for (int shift : {24, 16, 8})
      for (uint32_t word : frame)
        out.put(char(word >> shift & 0xFF));
  }
}

inline std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace media_fixture
