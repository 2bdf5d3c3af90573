// The Y4M writer: 4:4:4 8-bit planes ("C444"), top field first, exact.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <utility>
#include <vector>

#include "host/media/output.hpp"

namespace vxhost {
namespace fs = std::filesystem;
namespace {

class Y4mWriter : public FrameWriter {
public:
  Y4mWriter(const fs::path &target, const Format &format) : FrameWriter(format), temp_(target) {
    file_ = std::fopen(temp_.path().c_str(), "wb");
    if (!file_)
      throw OutputError(target.string() + ": cannot be written (" + std::strerror(errno) + ")");
    const int g = std::gcd(format.pixelAspect, 1000);
    // "It": top field first, as the fields are sent.
    std::fprintf(file_, "YUV4MPEG2 W%d H%d F%d:%d It A%d:%d C444\n", format.width, format.height, format.rateNum,
                 format.rateDen, format.pixelAspect / g, 1000 / g);
    const size_t plane = size_t(format.width) * format.height;
    buffer_.resize(3 * plane);
  }
  ~Y4mWriter() override {
    if (file_)
      std::fclose(file_);
  }

  void writeLines(const FrameLines &lines) override {
    const size_t plane = size_t(format_.width) * format_.height;
    uint8_t *planes[3] = {buffer_.data(), buffer_.data() + plane, buffer_.data() + 2 * plane};
    const int strides[3] = {format_.width, format_.width, format_.width};
    unpackLines(lines, format_.width, format_.height, planes, strides);
    if (std::fputs("FRAME\n", file_) < 0 || std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
      throw OutputError(std::string("cannot write a frame (") + std::strerror(errno) + ")");
  }

  void finish() override {
    const int closed = std::fclose(std::exchange(file_, nullptr));
    if (closed != 0)
      throw OutputError(std::string("cannot complete the file (") + std::strerror(errno) + ")");
    temp_.commit();
  }

private:
  TempFile temp_;
  std::FILE *file_ = nullptr;
  std::vector<uint8_t> buffer_;
};

} // namespace

std::unique_ptr<FrameWriter> makeY4mWriter(const fs::path &target, const Format &format) {
  return std::make_unique<Y4mWriter>(target, format);
}

} // namespace vxhost
