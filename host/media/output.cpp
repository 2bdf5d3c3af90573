// Choosing and opening the writer an output name asks for, and what every
// writer shares: frames and field pairs as lines. The writers themselves are
// one file each: y4m_writer.cpp, video_file_writer.cpp, png_frames_writer.cpp.
#include "host/media/output.hpp"

#include <cctype>
#include <regex>

#include "host/media/yuv.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vxhost {
namespace fs = std::filesystem;
namespace {

bool endsWith(const std::string &text, const std::string &suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string lower(std::string text) {
  for (char &c : text)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// One %d or %0Nd and nothing else that printf would read.
const std::regex framePattern(R"(^([^%]|%%)*%(0[1-9])?d([^%]|%%)*\.png$)", std::regex::icase);

class DiscardWriter : public FrameWriter {
public:
  explicit DiscardWriter(const Format &format) : FrameWriter(format) {}
  void writeLines(const FrameLines &) override {}
  void finish() override {}
};

} // namespace

OutputKind outputKind(const std::string &name) {
  if (name == "/dev/null")
    return OutputKind::discard;
  if (name == "-")
    return OutputKind::y4mStdout;
  std::error_code ec;
  if (endsWith(name, "/") || fs::is_directory(name, ec))
    return OutputKind::pngFrames;
  const std::string lowered = lower(name);
  if (lowered.find('%') != std::string::npos) {
    if (!std::regex_match(fs::path(name).filename().string(), framePattern))
      throw OutputError(name + ": a frame pattern holds one %d or %0Nd (N from 1 to 9) and ends in .png, "
                               "e.g. frames/%05d.png");
    return OutputKind::pngFrames;
  }
  if (endsWith(lowered, ".y4m"))
    return OutputKind::y4m;
  if (endsWith(lowered, ".mkv"))
    return OutputKind::mkv;
  if (endsWith(lowered, ".mp4"))
    return OutputKind::mp4;
  if (endsWith(lowered, ".mov"))
    return OutputKind::mov;
  if (endsWith(lowered, ".png"))
    return OutputKind::pngStill;
  throw OutputError(name + ": unknown kind of output (use .y4m, .mkv, .mp4, .mov, .png, a folder, a %05d.png "
                           "pattern or - for Y4M on standard output)");
}

std::unique_ptr<FrameWriter> openWriter(const std::string &name, const Format &format, const WriterOptions &options) {
  const OutputKind kind = outputKind(name);
  switch (kind) {
  case OutputKind::discard:
    return std::make_unique<DiscardWriter>(format);
  case OutputKind::y4m:
    return makeY4mWriter(name, format);
  case OutputKind::y4mStdout:
    return makeY4mWriter(fs::path(), format);
  case OutputKind::mkv:
  case OutputKind::mp4:
  case OutputKind::mov:
    return makeVideoFileWriter(name, format, kind, options);
  case OutputKind::pngStill:
    return makePngStillWriter(name, format);
  case OutputKind::pngFrames: {
    std::error_code ec;
    if (endsWith(name, "/") || fs::is_directory(name, ec))
      return makePngFramesWriter(fs::path(name), "%05d.png", format, options.firstFrame,
                                 endsWith(name, "/") && !fs::exists(name, ec), options.encoderThreads);
    const fs::path path(name);
    return makePngFramesWriter(folderOf(path), path.filename().string(), format, options.firstFrame, false,
                               options.encoderThreads);
  }
  }
  throw OutputError(name + ": unknown kind of output");
}

bool holdsAudio(OutputKind kind) {
  return kind == OutputKind::mp4 || kind == OutputKind::mkv || kind == OutputKind::mov;
}

std::string mp4EncoderName() { return avcodec_find_encoder_by_name("libx264") ? "libx264" : "mpeg4"; }

FrameWriter::FrameWriter(const Format &format)
    : format_(format), black_(size_t(format.width), packYuva(16, 128, 128)) {}

void FrameWriter::write(const uint32_t *frame) {
  writeLines(FrameLines{{frame, frame + format_.width}, 2 * ptrdiff_t{format_.width}, black_.data()});
}

void FrameWriter::writeFields(const uint32_t *top, const uint32_t *bottom) {
  writeLines(FrameLines{{top, bottom}, format_.width, black_.data()});
}

} // namespace vxhost
