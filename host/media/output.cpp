#include "host/media/output.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <functional>
#include <numeric>
#include <regex>
#include <utility>
#include <vector>

#include "host/media/audio.hpp"
#include "host/media/av.hpp"
#include "host/media/colour.hpp"
#include "host/media/staged_output.hpp"
#include "host/scenes/timecode.hpp"

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

// The colour tags of video of `height` lines: BT.709 above 576 lines;
// below, the 525-line system's SMPTE 170M for 480 and 486 lines and
// BT.470 BG for the others (the matrix is the same BT.601 either way).
void setColourTags(AVCodecContext &c, int height) {
  if (matrixForHeight(height) == Matrix::bt709) {
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
  } else if (height == 480 || height == 486) {
    c.colorspace = AVCOL_SPC_SMPTE170M;
    c.color_primaries = AVCOL_PRI_SMPTE170M;
    c.color_trc = AVCOL_TRC_SMPTE170M;
  } else {
    c.colorspace = AVCOL_SPC_BT470BG;
    c.color_primaries = AVCOL_PRI_BT470BG;
    c.color_trc = AVCOL_TRC_GAMMA28;
  }
  c.color_range = AVCOL_RANGE_MPEG;
}

// Sends `input` to the encoder (null drains it) and hands each packet it
// gives back to `sink`. Throws OutputError naming the encoder (`what`) and
// what it was given (`given`).
void encodeAndDrain(AVCodecContext &context, const AVFrame *input, AVPacket &packet,
                    const std::function<void(AVPacket &)> &sink, const char *what, const char *given) {
  int result = avcodec_send_frame(&context, input);
  if (result < 0)
    throw OutputError(std::string("the ") + what + " refused " + given + " (" + av::errorText(result) + ")");
  while ((result = avcodec_receive_packet(&context, &packet)) == 0) {
    sink(packet);
    av_packet_unref(&packet);
  }
  if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
    throw OutputError(std::string("the ") + what + " failed (" + av::errorText(result) + ")");
}

// One libavcodec encoder fed with frame words; each packet goes to `sink`.
class Encoder {
public:
  using Sink = std::function<void(AVPacket &)>;

  Encoder(const AVCodec *codec, AVPixelFormat pixelFormat, const Format &format,
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
    setColourTags(c, format.height);
    const bool interlaced = isInterlaced(format);
    c.field_order = format.scan == Scan::tff ? AV_FIELD_TT : format.scan == Scan::bff ? AV_FIELD_BB
                                                                                        : AV_FIELD_PROGRESSIVE;
    if (interlaced)
      c.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
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
    out->interlaced_frame = isInterlaced(format_);
    out->top_field_first = format_.scan == Scan::tff;
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

  void send(AVFrame *picture) { encodeAndDrain(*context_, picture, *packet_, sink_, "encoder", "a frame"); }

  Format format_;
  Sink sink_;
  av::CodecPtr context_;
  av::FramePtr planes_, picture_;
  av::ScalerPtr scaler_;
  av::PacketPtr packet_ = av::makePacket();
  bool fieldWise_ = false;
  int64_t frameCount_ = 0;
};

// The container, encoder and pixel format of a video file output.
struct VideoCodecChoice {
  const char *container;
  const AVCodec *codec;
  AVPixelFormat pixelFormat;
};

VideoCodecChoice videoCodecFor(OutputKind kind, MovCodec movCodec) {
  switch (kind) {
  case OutputKind::mkv: return {"matroska", avcodec_find_encoder(AV_CODEC_ID_FFV1), AV_PIX_FMT_YUV444P};
  case OutputKind::mov:
    return {"mov", avcodec_find_encoder_by_name(movCodec == MovCodec::dnxhr ? "dnxhd" : "prores_ks"),
            AV_PIX_FMT_YUV422P10LE};
  default:
    return {"mp4", avcodec_find_encoder_by_name(mp4EncoderName().c_str()), AV_PIX_FMT_YUV420P};
  }
}

// An audio encoder fed from a track; each packet goes to `sink`, timed in
// samples from the first.
class AudioEncoder {
public:
  using Sink = std::function<void(AVPacket &)>;

  AudioEncoder(AudioTrack &track, OutputKind kind, bool globalHeader, Sink sink)
      : track_(track), sink_(std::move(sink)) {
    // PCM keeps 16-bit sources at 16 bits and anything finer at 24.
    const bool deep = track.sourceBits() > 16;
    const AVCodec *codec = avcodec_find_encoder(kind == OutputKind::mp4 ? AV_CODEC_ID_AAC
                                                : deep                  ? AV_CODEC_ID_PCM_S24LE
                                                                        : AV_CODEC_ID_PCM_S16LE);
    if (!codec)
      throw OutputError("libavcodec has no encoder for the audio");
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_)
      throw std::bad_alloc();
    AVCodecContext &c = *context_;
    c.sample_rate = track.sampleRate();
    av_channel_layout_copy(&c.ch_layout, &track.layout());
    c.sample_fmt = kind == OutputKind::mp4 ? AV_SAMPLE_FMT_FLTP : deep ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    c.time_base = AVRational{1, c.sample_rate};
    if (kind == OutputKind::mp4)
      c.bit_rate = 96000 * int64_t{std::min(c.ch_layout.nb_channels, 6)}; // transparent for music at 96 kb/s a channel
    if (globalHeader)
      c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(context_.get(), codec, nullptr);
    if (opened < 0)
      throw OutputError(std::string("the ") + codec->name + " encoder cannot be opened (" + av::errorText(opened) + ")");
    track_.deliverAs(c.sample_fmt);
    frameSize_ = c.frame_size > 0 ? c.frame_size : kPcmFrame;
  }

  AVCodecContext &context() { return *context_; }

  // Encodes the samples up to (not including) sample `end`.
  void encodeUntil(int64_t end) {
    while (written_ < end) {
      // Whole encoder frames while more follow; the last may be short.
      const int count = int(std::min<int64_t>(frameSize_, end - written_));
      if (count < frameSize_ && !finishing_)
        return;
      av::FramePtr frame = av::makeFrame();
      frame->nb_samples = count;
      frame->format = context_->sample_fmt;
      frame->sample_rate = context_->sample_rate;
      av_channel_layout_copy(&frame->ch_layout, &context_->ch_layout);
      if (av_frame_get_buffer(frame.get(), 0) < 0)
        throw std::bad_alloc();
      try {
        track_.read(*frame);
      } catch (const std::exception &e) {
        throw OutputError(std::string("the audio failed: ") + e.what());
      }
      frame->pts = written_;
      written_ += count;
      send(frame.get());
    }
  }

  // Encodes the rest up to sample `end` and drains the encoder.
  void finish(int64_t end) {
    finishing_ = true;
    encodeUntil(end);
    send(nullptr);
  }

private:
  static constexpr int kPcmFrame = 1024;

  void send(AVFrame *frame) { encodeAndDrain(*context_, frame, *packet_, sink_, "audio encoder", "samples"); }

  AudioTrack &track_;
  Sink sink_;
  av::CodecPtr context_;
  av::PacketPtr packet_ = av::makePacket();
  int frameSize_ = kPcmFrame;
  int64_t written_ = 0;
  bool finishing_ = false;
};

class VideoFileWriter : public FrameWriter {
public:
  VideoFileWriter(const fs::path &target, const Format &format, OutputKind kind, const WriterOptions &options)
      : FrameWriter(format), temp_(target) {
    const VideoCodecChoice choice = videoCodecFor(kind, options.movCodec);
    AVFormatContext *raw = nullptr;
    // The container comes from the final name; the bytes go to the temporary file.
    const int made = avformat_alloc_output_context2(&raw, nullptr, choice.container, target.c_str());
    if (made < 0 || !raw)
      throw OutputError("cannot make the container (" + av::errorText(made) + ")");
    muxer_.reset(raw);

    const AVCodec *codec = choice.codec;
    if (!codec)
      throw OutputError("libavcodec has no encoder for " + target.filename().string());
    const bool globalHeader = muxer_->oformat->flags & AVFMT_GLOBALHEADER;
    const std::string codecName = codec->name;
    encoder_ = std::make_unique<Encoder>(
        codec, choice.pixelFormat, format,
        [&](AVCodecContext &c) {
          if (globalHeader)
            c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
          if (kind == OutputKind::mkv || codecName == "libx264")
            c.thread_count = options.encoderThreads;
          if (kind == OutputKind::mkv) {
            av_opt_set_int(c.priv_data, "level", 3, 0);
            av_opt_set_int(c.priv_data, "slicecrc", 1, 0);
          } else if (codecName == "prores_ks") {
            av_opt_set(c.priv_data, "profile", "hq", 0);
          } else if (codecName == "dnxhd") {
            av_opt_set(c.priv_data, "profile", "dnxhr_hqx", 0);
            // DNxHR codes frames whole; the field order is only flagged.
            c.flags &= ~(AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME);
          } else if (codecName == "libx264") {
            av_opt_set(c.priv_data, "preset", "fast", 0);
            av_opt_set(c.priv_data, "crf", "18", 0);
          } else {
            // MPEG-4 Visual at a fixed quantiser of 3: near transparent.
            c.flags |= AV_CODEC_FLAG_QSCALE;
            c.global_quality = FF_QP2LAMBDA * 3;
          }
        },
        [this](AVPacket &packet) { writePacket(packet); });

    stream_ = addStream(encoder_->context());
    stream_->avg_frame_rate = encoder_->context().framerate;
    stream_->sample_aspect_ratio = encoder_->context().sample_aspect_ratio;
    if (options.audio) {
      audio_ = options.audio;
      audioEncoder_ = std::make_unique<AudioEncoder>(*audio_, kind, globalHeader,
                                                     [this](AVPacket &packet) { writeAudioPacket(packet); });
      audioStream_ = addStream(audioEncoder_->context());
    }
    // A render from the middle starts at its own timecode; from frame 0 the
    // file carries none (as before ranges had one).
    if (options.firstFrame > 0)
      av_dict_set(&muxer_->metadata, "timecode", timecodeOf(options.firstFrame, format).c_str(), 0);

    int result = avio_open(&muxer_->pb, temp_.path().c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
      throw OutputError(target.string() + ": cannot be written (" + av::errorText(result) + ")");
    if ((result = avformat_write_header(muxer_.get(), nullptr)) < 0)
      throw OutputError("cannot start the file (" + av::errorText(result) + ")");
  }

  void writeLines(const FrameLines &lines) override {
    encoder_->encode(lines);
    ++frames_;
    if (audioEncoder_)
      audioEncoder_->encodeUntil(samplesBefore(frames_));
  }

  void finish() override {
    encoder_->flush();
    if (audioEncoder_)
      audioEncoder_->finish(samplesBefore(frames_));
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
    writeTo(*stream_, encoder_->context(), packet, "a frame");
  }

  // The samples that play before frame `frame`: frame / rate seconds,
  // rounded to the nearest sample.
  int64_t samplesBefore(int64_t frame) const {
    const int64_t rate = audioEncoder_->context().sample_rate;
    return (2 * frame * rate * format_.rateDen + format_.rateNum) / (2 * int64_t{format_.rateNum});
  }

  void writeAudioPacket(AVPacket &packet) { writeTo(*audioStream_, audioEncoder_->context(), packet, "the audio"); }

  // A stream of the muxer for the encoder's packets.
  AVStream *addStream(const AVCodecContext &encoder) {
    AVStream *stream = avformat_new_stream(muxer_.get(), nullptr);
    if (!stream)
      throw std::bad_alloc();
    avcodec_parameters_from_context(stream->codecpar, &encoder);
    stream->time_base = encoder.time_base;
    return stream;
  }

  void writeTo(const AVStream &stream, const AVCodecContext &encoder, AVPacket &packet, const char *what) {
    av_packet_rescale_ts(&packet, encoder.time_base, stream.time_base);
    packet.stream_index = stream.index;
    const int result = av_interleaved_write_frame(muxer_.get(), &packet);
    if (result < 0)
      throw OutputError(std::string("cannot write ") + what + " (" + av::errorText(result) + ")");
  }

  TempFile temp_;
  av::OutputPtr muxer_;
  std::unique_ptr<Encoder> encoder_;
  AVStream *stream_ = nullptr;
  std::shared_ptr<AudioTrack> audio_;
  std::unique_ptr<AudioEncoder> audioEncoder_;
  AVStream *audioStream_ = nullptr;
  int64_t frames_ = 0;
};

// Frames as RGB PNG files, through libavcodec's PNG encoder.
class PngEncoder {
public:
  explicit PngEncoder(const Format &format) : format_(format), matrix_(matrixForHeight(format.height)) {
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

  // Encodes the frame and writes the PNG file to `path`. Throws OutputError.
  void write(const FrameLines &lines, const fs::path &path) {
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
    std::FILE *file = std::fopen(path.c_str(), "wb");
    const bool written = file && std::fwrite(packet_->data, 1, size_t(packet_->size), file) == size_t(packet_->size);
    const bool closed = file && std::fclose(file) == 0;
    av_packet_unref(packet_.get());
    if (!written || !closed)
      throw OutputError(path.filename().string() + ": cannot be written (" + std::strerror(errno) + ")");
  }

private:
  Format format_;
  Matrix matrix_;
  av::CodecPtr context_;
  av::FramePtr picture_ = av::makeFrame();
  av::PacketPtr packet_ = av::makePacket();
};

// A folder the render makes for its frames (named with a final '/' and
// missing; its parent must exist), removed again unless kept.
class MadeFolder {
public:
  MadeFolder(const fs::path &folder, bool make) {
    if (!make)
      return;
    const fs::path bare = folder.has_filename() ? folder : folder.parent_path(); // "out/new/" is "out/new"
    requireFolder(folderOf(bare));
    std::error_code ec;
    if (!fs::create_directory(folder, ec) && ec)
      throw OutputError(folder.string() + ": the folder cannot be made (" + ec.message() + ")");
    made_ = folder;
  }
  ~MadeFolder() {
    std::error_code ec;
    if (!made_.empty())
      fs::remove(made_, ec); // only when empty
  }
  MadeFolder(const MadeFolder &) = delete;
  MadeFolder &operator=(const MadeFolder &) = delete;
  void keep() { made_.clear(); }

private:
  fs::path made_;
};

class PngFramesWriter : public FrameWriter {
public:
  PngFramesWriter(const fs::path &folder, std::string pattern, const Format &format, int firstFrame,
                  bool makeFolder = false)
      : FrameWriter(format), made_(folder, makeFolder), temp_((requireFolder(folder), folder)),
        pattern_(std::move(pattern)), encoder_(format), number_(firstFrame) {}

  void writeLines(const FrameLines &lines) override {
    char name[512];
    std::snprintf(name, sizeof name, pattern_.c_str(), number_++);
    encoder_.write(lines, temp_.path() / name);
  }

  void finish() override {
    temp_.commit();
    made_.keep();
  }

private:
  MadeFolder made_; // outlives temp_, which lies inside it
  TempFolder temp_;
  std::string pattern_;
  PngEncoder encoder_;
  int number_;
};

// One frame as one PNG file.
class PngStillWriter : public FrameWriter {
public:
  PngStillWriter(const fs::path &target, const Format &format) : FrameWriter(format), temp_(target), encoder_(format) {}

  void writeLines(const FrameLines &lines) override {
    if (written_)
      throw OutputError("a .png file holds one frame: render a range of one frame, or name a folder or a "
                        "%05d.png pattern for more");
    encoder_.write(lines, temp_.path());
    written_ = true;
  }

  void finish() override {
    if (!written_)
      throw OutputError("no frame was rendered for the .png file");
    temp_.commit();
  }

private:
  TempFile temp_;
  PngEncoder encoder_;
  bool written_ = false;
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
    return std::make_unique<Y4mWriter>(name, format);
  case OutputKind::y4mStdout:
    return std::make_unique<Y4mWriter>(fs::path(), format);
  case OutputKind::mkv:
  case OutputKind::mp4:
  case OutputKind::mov:
    return std::make_unique<VideoFileWriter>(name, format, kind, options);
  case OutputKind::pngStill:
    return std::make_unique<PngStillWriter>(name, format);
  case OutputKind::pngFrames: {
    std::error_code ec;
    if (endsWith(name, "/") || fs::is_directory(name, ec))
      return std::make_unique<PngFramesWriter>(fs::path(name), "%05d.png", format, options.firstFrame,
                                               endsWith(name, "/") && !fs::exists(name, ec));
    const fs::path path(name);
    return std::make_unique<PngFramesWriter>(folderOf(path), path.filename().string(), format, options.firstFrame);
  }
  }
  throw OutputError(name + ": unknown kind of output");
}

bool holdsAudio(OutputKind kind) {
  return kind == OutputKind::mp4 || kind == OutputKind::mkv || kind == OutputKind::mov;
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
