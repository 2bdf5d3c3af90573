// The container writers: Matroska with FFV1 4:4:4 (lossless) and MP4 with
// H.264 (libx264) or else MPEG-4 Visual, 4:2:0, interlaced.
#include <memory>
#include <string>

#include "host/media/encoder.hpp"
#include "host/media/output.hpp"

extern "C" {
#include <libavutil/opt.h>
}

namespace vxhost {
namespace fs = std::filesystem;
namespace {

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

} // namespace

std::string mp4EncoderName() { return avcodec_find_encoder_by_name("libx264") ? "libx264" : "mpeg4"; }

std::unique_ptr<FrameWriter> makeVideoFileWriter(const fs::path &target, const Format &format, OutputKind kind) {
  return std::make_unique<VideoFileWriter>(target, format, kind);
}

} // namespace vxhost
