#include "host/media/output.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <regex>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/media/av.hpp"
#include "host/media/colour.hpp"

extern "C" {
#include <libavutil/opt.h>
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

// Temporary files and folders are made private; the output gets the mode
// any program's files get: 0666 (0777 for a folder) less the umask.
mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

fs::path folderOf(const fs::path &target) {
  const fs::path parent = target.parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

void requireFolder(const fs::path &folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw OutputError("output folder " + folder.string() + " does not exist");
}

// Puts the file's bytes on the disk before it is renamed into place: without
// it a crash of the machine could leave an empty file under the final name.
void syncToDisk(const fs::path &path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  const int error = errno;
  if (fd >= 0)
    ::close(fd);
  if (!synced)
    throw OutputError(path.string() + ": cannot be written (" + std::strerror(error) + ")");
}

// A file under a unique hidden name beside the target; removed unless moved
// under the target's name by commit(). A process killed while writing leaves
// only that hidden name, never a partial file under the target's.
class TempFile {
public:
  explicit TempFile(const fs::path &target) : target_(target) {
    requireFolder(folderOf(target));
    std::string pattern = (folderOf(target) / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
      throw OutputError(target.string() + ": cannot be written (" + std::strerror(errno) + ")");
    ::fchmod(fd, 0666 & ~currentUmask());
    ::close(fd);
    path_ = pattern;
  }
  ~TempFile() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove(path_, ec);
    }
  }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;

  const fs::path &path() const { return path_; }
  void commit() {
    syncToDisk(path_);
    std::error_code ec;
    fs::rename(path_, target_, ec);
    if (ec)
      throw OutputError(target_.string() + ": cannot be written (" + ec.message() + ")");
    path_.clear();
  }

private:
  fs::path target_, path_;
};

// A hidden folder beside the frames; commit() moves every file into the
// target folder, the destructor removes what is left.
class TempFolder {
public:
  explicit TempFolder(const fs::path &folder) : folder_(folder) {
    std::string pattern = (folder / ".tileron-frames.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw OutputError(folder.string() + ": cannot be written (" + std::strerror(errno) + ")");
    ::chmod(pattern.c_str(), 0777 & ~currentUmask());
    path_ = pattern;
  }
  ~TempFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove_all(path_, ec);
    }
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;

  const fs::path &path() const { return path_; }
  void commit() {
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(path_)) {
      syncToDisk(entry.path());
      fs::rename(entry.path(), folder_ / entry.path().filename(), ec);
      if (ec)
        throw OutputError((folder_ / entry.path().filename()).string() + ": cannot be written (" + ec.message() + ")");
    }
    fs::remove(path_, ec);
    path_.clear();
  }

private:
  fs::path folder_, path_;
};

// The Y, U and V bytes of a frame's words into three planes.
void unpackLines(const FrameLines &lines, int width, int height, uint8_t *const planes[3], const int strides[3]) {
  for (int y = 0; y < height; ++y) {
    const uint32_t *line = lines[y];
    uint8_t *py = planes[0] + ptrdiff_t{y} * strides[0];
    uint8_t *pu = planes[1] + ptrdiff_t{y} * strides[1];
    uint8_t *pv = planes[2] + ptrdiff_t{y} * strides[2];
    for (int x = 0; x < width; ++x) {
      py[x] = uint8_t(line[x] >> 24);
      pu[x] = uint8_t(line[x] >> 16);
      pv[x] = uint8_t(line[x] >> 8);
    }
  }
}

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

// One libavcodec encoder fed with frame words; each packet goes to `sink`.
class Encoder {
public:
  using Sink = std::function<void(AVPacket &)>;

  Encoder(const AVCodec *codec, AVPixelFormat pixelFormat, const Format &format, bool interlaced,
          const std::function<void(AVCodecContext &)> &configure, Sink sink)
      : format_(format), sink_(std::move(sink)) {
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_)
      throw std::bad_alloc();
    AVCodecContext &c = *context_;
    c.width = format.width;
    c.height = format.height;
    c.pix_fmt = pixelFormat;
    c.time_base = AVRational{format.rateDen, format.rateNum};
    c.framerate = AVRational{format.rateNum, format.rateDen};
    av_reduce(&c.sample_aspect_ratio.num, &c.sample_aspect_ratio.den, format.pixelAspect, 1000, 65535);
    const Matrix matrix = matrixForHeight(format.height);
    c.colorspace = matrix == Matrix::bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_BT470BG;
    c.color_primaries = matrix == Matrix::bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_BT470BG;
    c.color_trc = matrix == Matrix::bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_GAMMA28;
    c.color_range = AVCOL_RANGE_MPEG;
    if (interlaced) {
      c.field_order = AV_FIELD_TT;
      c.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    }
    configure(c);
    const int opened = avcodec_open2(context_.get(), codec, nullptr);
    if (opened < 0)
      throw OutputError(std::string("the ") + codec->name + " encoder cannot be opened (" + av::errorText(opened) + ")");

    planes_ = makePicture(AV_PIX_FMT_YUV444P);
    if (pixelFormat != AV_PIX_FMT_YUV444P) {
      picture_ = makePicture(pixelFormat);
      // 4:2:0 chroma of interlaced video belongs to one field: each field is
      // subsampled on its own (possible when a field has an even line count).
      fieldWise_ = interlaced && pixelFormat == AV_PIX_FMT_YUV420P && format.height % 4 == 0;
      const int lines = fieldWise_ ? format.height / 2 : format.height;
      scaler_.reset(sws_getContext(format.width, lines, AV_PIX_FMT_YUV444P, format.width, lines, pixelFormat,
                                   SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
      if (!scaler_)
        throw OutputError("cannot convert frames for the encoder");
    }
  }

  AVCodecContext &context() { return *context_; }

  // Encodes one frame of words (alpha dropped).
  void encode(const FrameLines &lines) {
    const int w = format_.width, h = format_.height;
    uint8_t *planes[3] = {planes_->data[0], planes_->data[1], planes_->data[2]};
    const int strides[3] = {planes_->linesize[0], planes_->linesize[1], planes_->linesize[2]};
    unpackLines(lines, w, h, planes, strides);
    AVFrame *out = planes_.get();
    if (picture_) {
      av_frame_make_writable(picture_.get());
      if (fieldWise_) {
        for (int parity = 0; parity < 2; ++parity) {
          const uint8_t *src[3];
          int srcStride[3];
          uint8_t *dst[3];
          int dstStride[3];
          for (int p = 0; p < 3; ++p) {
            src[p] = planes_->data[p] + parity * planes_->linesize[p];
            srcStride[p] = 2 * planes_->linesize[p];
            dst[p] = picture_->data[p] + parity * picture_->linesize[p];
            dstStride[p] = 2 * picture_->linesize[p];
          }
          sws_scale(scaler_.get(), src, srcStride, 0, h / 2, dst, dstStride);
        }
      } else {
        sws_scale(scaler_.get(), planes_->data, planes_->linesize, 0, h, picture_->data, picture_->linesize);
      }
      out = picture_.get();
    }
    out->pts = frameCount_++;
    out->interlaced_frame = context_->field_order == AV_FIELD_TT;
    out->top_field_first = out->interlaced_frame;
    send(out);
  }

  // Drains the encoder.
  void flush() { send(nullptr); }

private:
  av::FramePtr makePicture(AVPixelFormat pixelFormat) {
    av::FramePtr picture = av::makeFrame();
    picture->format = pixelFormat;
    picture->width = format_.width;
    picture->height = format_.height;
    picture->colorspace = context_->colorspace;
    picture->color_range = context_->color_range;
    picture->sample_aspect_ratio = context_->sample_aspect_ratio;
    if (av_frame_get_buffer(picture.get(), 0) < 0)
      throw std::bad_alloc();
    return picture;
  }

  void send(AVFrame *picture) {
    int result = avcodec_send_frame(context_.get(), picture);
    if (result < 0)
      throw OutputError("the encoder refused a frame (" + av::errorText(result) + ")");
    while ((result = avcodec_receive_packet(context_.get(), packet_.get())) == 0) {
      sink_(*packet_);
      av_packet_unref(packet_.get());
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
      throw OutputError("the encoder failed (" + av::errorText(result) + ")");
  }

  Format format_;
  Sink sink_;
  av::CodecPtr context_;
  av::FramePtr planes_, picture_;
  av::ScalerPtr scaler_;
  av::PacketPtr packet_ = av::makePacket();
  bool fieldWise_ = false;
  int64_t frameCount_ = 0;
};

class VideoFileWriter : public FrameWriter {
public:
  VideoFileWriter(const fs::path &target, const Format &format, OutputKind kind)
      : FrameWriter(format), temp_(target) {
    AVFormatContext *raw = nullptr;
    // The container comes from the final name; the bytes go to the temporary file.
    const int made = avformat_alloc_output_context2(&raw, nullptr, kind == OutputKind::mkv ? "matroska" : "mp4",
                                                    target.c_str());
    if (made < 0 || !raw)
      throw OutputError("cannot make the container (" + av::errorText(made) + ")");
    muxer_.reset(raw);

    const AVCodec *codec = kind == OutputKind::mkv ? avcodec_find_encoder(AV_CODEC_ID_FFV1)
                                                   : avcodec_find_encoder_by_name(mp4EncoderName().c_str());
    if (!codec)
      throw OutputError("libavcodec has no encoder for " + target.filename().string());
    const bool globalHeader = muxer_->oformat->flags & AVFMT_GLOBALHEADER;
    const AVPixelFormat pixelFormat = kind == OutputKind::mkv ? AV_PIX_FMT_YUV444P : AV_PIX_FMT_YUV420P;
    encoder_ = std::make_unique<Encoder>(
        codec, pixelFormat, format, true,
        [&](AVCodecContext &c) {
          if (globalHeader)
            c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
          if (kind == OutputKind::mkv) {
            av_opt_set_int(c.priv_data, "level", 3, 0);
            av_opt_set_int(c.priv_data, "slicecrc", 1, 0);
          } else if (std::string(codec->name) == "libx264") {
            av_opt_set(c.priv_data, "preset", "fast", 0);
            av_opt_set(c.priv_data, "crf", "18", 0);
          } else {
            // MPEG-4 Visual at a fixed quantiser of 3: near transparent.
            c.flags |= AV_CODEC_FLAG_QSCALE;
            c.global_quality = FF_QP2LAMBDA * 3;
          }
        },
        [this](AVPacket &packet) { writePacket(packet); });

    stream_ = avformat_new_stream(muxer_.get(), nullptr);
    if (!stream_)
      throw std::bad_alloc();
    avcodec_parameters_from_context(stream_->codecpar, &encoder_->context());
    stream_->time_base = encoder_->context().time_base;
    stream_->avg_frame_rate = encoder_->context().framerate;
    stream_->sample_aspect_ratio = encoder_->context().sample_aspect_ratio;

    int result = avio_open(&muxer_->pb, temp_.path().c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
      throw OutputError(target.string() + ": cannot be written (" + av::errorText(result) + ")");
    if ((result = avformat_write_header(muxer_.get(), nullptr)) < 0)
      throw OutputError("cannot start the file (" + av::errorText(result) + ")");
  }

  void writeLines(const FrameLines &lines) override { encoder_->encode(lines); }

  void finish() override {
    encoder_->flush();
    int result = av_write_trailer(muxer_.get());
    if (result < 0)
      throw OutputError("cannot complete the file (" + av::errorText(result) + ")");
    if ((result = avio_closep(&muxer_->pb)) < 0)
      throw OutputError("cannot complete the file (" + av::errorText(result) + ")");
    temp_.commit();
  }

private:
  void writePacket(AVPacket &packet) {
    // Every frame lasts one frame time; without it MP4's edit list would end
    // at the last frame's start and cut that frame.
    if (packet.duration == 0)
      packet.duration = 1;
    av_packet_rescale_ts(&packet, encoder_->context().time_base, stream_->time_base);
    packet.stream_index = stream_->index;
    const int result = av_interleaved_write_frame(muxer_.get(), &packet);
    if (result < 0)
      throw OutputError("cannot write a frame (" + av::errorText(result) + ")");
  }

  TempFile temp_;
  av::OutputPtr muxer_;
  std::unique_ptr<Encoder> encoder_;
  AVStream *stream_ = nullptr;
};

class PngFramesWriter : public FrameWriter {
public:
  PngFramesWriter(const fs::path &folder, std::string pattern, const Format &format, int firstFrame)
      : FrameWriter(format), temp_((requireFolder(folder), folder)), pattern_(std::move(pattern)),
        matrix_(matrixForHeight(format.height)), number_(firstFrame) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!codec)
      throw OutputError("libavcodec has no PNG encoder");
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_)
      throw std::bad_alloc();
    context_->width = format.width;
    context_->height = format.height;
    context_->pix_fmt = AV_PIX_FMT_RGB24;
    context_->time_base = AVRational{format.rateDen, format.rateNum};
    const int opened = avcodec_open2(context_.get(), codec, nullptr);
    if (opened < 0)
      throw OutputError("the PNG encoder cannot be opened (" + av::errorText(opened) + ")");
    picture_->format = AV_PIX_FMT_RGB24;
    picture_->width = format.width;
    picture_->height = format.height;
    if (av_frame_get_buffer(picture_.get(), 0) < 0)
      throw std::bad_alloc();
  }

  void writeLines(const FrameLines &lines) override {
    av_frame_make_writable(picture_.get());
    for (int y = 0; y < format_.height; ++y) {
      uint8_t *row = picture_->data[0] + ptrdiff_t{y} * picture_->linesize[0];
      const uint32_t *line = lines[y];
      for (int x = 0; x < format_.width; ++x, row += 3) {
        const Rgb rgb = yuvaToRgb(line[x], matrix_);
        row[0] = rgb.r, row[1] = rgb.g, row[2] = rgb.b;
      }
    }
    int result = avcodec_send_frame(context_.get(), picture_.get());
    if (result >= 0)
      result = avcodec_receive_packet(context_.get(), packet_.get());
    if (result < 0)
      throw OutputError("the PNG encoder failed (" + av::errorText(result) + ")");
    char name[512];
    std::snprintf(name, sizeof name, pattern_.c_str(), number_++);
    const fs::path path = temp_.path() / name;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    const bool written = file && std::fwrite(packet_->data, 1, size_t(packet_->size), file) == size_t(packet_->size);
    const bool closed = file && std::fclose(file) == 0;
    av_packet_unref(packet_.get());
    if (!written || !closed)
      throw OutputError(std::string(name) + ": cannot be written (" + std::strerror(errno) + ")");
  }

  void finish() override { temp_.commit(); }

private:
  TempFolder temp_;
  std::string pattern_;
  Matrix matrix_;
  int number_;
  av::CodecPtr context_;
  av::FramePtr picture_ = av::makeFrame();
  av::PacketPtr packet_ = av::makePacket();
};

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
  throw OutputError(name + ": unknown kind of output (use .y4m, .mkv, .mp4, a folder or a %05d.png pattern)");
}

std::unique_ptr<FrameWriter> openWriter(const std::string &name, const Format &format, int firstFrame) {
  switch (outputKind(name)) {
  case OutputKind::discard:
    return std::make_unique<DiscardWriter>(format);
  case OutputKind::y4m:
    return std::make_unique<Y4mWriter>(name, format);
  case OutputKind::mkv:
    return std::make_unique<VideoFileWriter>(name, format, OutputKind::mkv);
  case OutputKind::mp4:
    return std::make_unique<VideoFileWriter>(name, format, OutputKind::mp4);
  case OutputKind::pngFrames: {
    std::error_code ec;
    if (endsWith(name, "/") || fs::is_directory(name, ec))
      return std::make_unique<PngFramesWriter>(fs::path(name), "%05d.png", format, firstFrame);
    const fs::path path(name);
    return std::make_unique<PngFramesWriter>(folderOf(path), path.filename().string(), format, firstFrame);
  }
  }
  throw OutputError(name + ": unknown kind of output");
}

std::string mp4EncoderName() { return avcodec_find_encoder_by_name("libx264") ? "libx264" : "mpeg4"; }

void writeFileAtomically(const fs::path &path, const std::string &bytes) {
  TempFile temp(path);
  std::FILE *file = std::fopen(temp.path().c_str(), "wb");
  const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (!file || std::fclose(file) != 0 || !written)
    throw OutputError(path.string() + ": cannot be written (" + std::strerror(errno) + ")");
  temp.commit();
}

FrameWriter::FrameWriter(const Format &format)
    : format_(format), black_(size_t(format.width), packYuva(16, 128, 128)) {}

void FrameWriter::write(const uint32_t *frame) {
  writeLines(FrameLines{{frame, frame + format_.width}, 2 * ptrdiff_t{format_.width}, black_.data()});
}

void FrameWriter::writeFields(const uint32_t *top, const uint32_t *bottom) {
  writeLines(FrameLines{{top, bottom}, format_.width, black_.data()});
}

} // namespace vxhost
