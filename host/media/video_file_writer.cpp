// Video files: Matroska with FFV1, MP4 with H.264 or MPEG-4 Visual, MOV with
// ProRes or DNxHR, each with the sound beside the pictures when there is any.
// The container writer; the encoders are in encoder.cpp.
#include <string>
#include <sys/prctl.h>

#include "host/media/audio.hpp"
#include "host/media/encoder.hpp"
#include "host/media/output.hpp"
#include "host/scenes/timecode.hpp"

extern "C" {
#include <libavutil/opt.h>
}

namespace vxhost {
namespace fs = std::filesystem;
namespace {

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
          // Threads of the encoders that have them. ProRes and DNxHR code
          // their slices on them and write the same stream as on one thread;
          // slice threads, not frame threads, which hold a whole encoder a
          // frame (DNxHR at 1080 on 2 cores: 518 MB instead of 309, for the
          // same speed). The MPEG-4 fallback would cut other slices.
          const bool sliceCoded = codecName == "prores_ks" || codecName == "dnxhd";
          if (kind == OutputKind::mkv || codecName == "libx264" || sliceCoded)
            c.thread_count = options.encoderThreads;
          if (sliceCoded)
            c.thread_type = FF_THREAD_SLICE;
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
            // x264 asks for transparent huge pages for each buffer of 1.75 MB
            // or more, and a huge page counts whole: at 1080 lines that held
            // 170 MB more than the buffers use. Off for this process.
            ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
            av_opt_set(c.priv_data, "preset", "fast", 0);
            av_opt_set(c.priv_data, "crf", "18", 0);
            // A 10-frame look-ahead instead of the preset's 30: each frame in
            // it holds about 6 MB at 1080 lines interlaced, and on rendered
            // splits the longer one changed the size by 1 % and SSIM by 0.0001.
            // No frames queued for a look-ahead thread (sync-lookahead): 19 MB
            // less at 1080 for 2 % more time, the same stream.
            av_opt_set(c.priv_data, "x264-params", "rc-lookahead=10:sync-lookahead=0", 0);
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

} // namespace

std::unique_ptr<FrameWriter> makeVideoFileWriter(const fs::path &target, const Format &format, OutputKind kind,
                                                 const WriterOptions &options) {
  return std::make_unique<VideoFileWriter>(target, format, kind, options);
}

} // namespace vxhost
