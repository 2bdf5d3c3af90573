// The Y4M writer: 4:4:4 8-bit planes ("C444") in the format's field order,
// exact; to a file or to standard output.
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
  // To `target` through a temporary file, or to standard output when
  // `target` is empty (written as it comes: a pipe cannot be taken back).
  Y4mWriter(const fs::path &target, const Format &format) : FrameWriter(format) {
    if (target.empty()) {
      file_ = stdout;
    } else {
      temp_ = std::make_unique<TempFile>(target);
      file_ = std::fopen(temp_->path().c_str(), "wb");
      if (!file_)
        throw OutputError(target.string() + ": cannot be written (" + std::strerror(errno) + ")");
    }
    const int g = std::gcd(format.pixelAspect, 1000);
    // "It" top field first, "Ib" bottom field first, "Ip" progressive.
    const char scan = format.scan == Scan::tff ? 't' : format.scan == Scan::bff ? 'b' : 'p';
    std::fprintf(file_, "YUV4MPEG2 W%d H%d F%d:%d I%c A%d:%d C444\n", format.width, format.height, format.rateNum,
                 format.rateDen, scan, format.pixelAspect / g, 1000 / g);
    const size_t plane = size_t(format.width) * format.height;
    buffer_.resize(3 * plane);
  }
  ~Y4mWriter() override {
    if (file_ && file_ != stdout)
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
    std::FILE *file = std::exchange(file_, nullptr);
    if ((file == stdout ? std::fflush(file) : std::fclose(file)) != 0)
      throw OutputError(std::string("cannot complete the file (") + std::strerror(errno) + ")");
    if (temp_)
      temp_->commit();
  }

private:
  std::unique_ptr<TempFile> temp_; // null on standard output
  std::FILE *file_ = nullptr;
  std::vector<uint8_t> buffer_;
};

} // namespace

std::unique_ptr<FrameWriter> makeY4mWriter(const fs::path &target, const Format &format) {
  return std::make_unique<Y4mWriter>(target, format);
}

} // namespace vxhost
