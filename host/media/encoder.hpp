// The encoders of video files: pictures (the frame's words into 4:4:4
// planes, converted by swscale to the encoder's pixel format, 4:2:0 of
// interlaced video field by field, colour tags by the format's height) and
// sound (from an audio track, in whole encoder frames). Each packet goes to
// a sink; errors throw OutputError (atomic_file.hpp).
#pragma once

#include <cstdint>
#include <functional>

#include "host/media/atomic_file.hpp"
#include "host/media/av.hpp"
#include "host/media/frame_lines.hpp"
#include "host/media/output.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

class AudioTrack;

using PacketSink = std::function<void(AVPacket &)>;

// The colour tags of video of `height` lines: BT.709 above 576 lines;
// below, the 525-line system's SMPTE 170M for 480 and 486 lines and
// BT.470 BG for the others (the matrix is the same BT.601 either way).
void setColourTags(AVCodecContext &context, int height);

// Sends `input` to the encoder (null drains it) and hands each packet it
// gives back to `sink`. Throws OutputError naming the encoder (`what`) and
// what it was given (`given`).
void encodeAndDrain(AVCodecContext &context, const AVFrame *input, AVPacket &packet, const PacketSink &sink,
                    const char *what, const char *given);

// One libavcodec encoder fed with frame words; each packet goes to `sink`.
class Encoder {
public:
  // `configure` sets the codec's own options before it is opened.
  Encoder(const AVCodec *codec, AVPixelFormat pixelFormat, const Format &format,
          const std::function<void(AVCodecContext &)> &configure, PacketSink sink);

  AVCodecContext &context() { return *context_; }

  // Encodes one frame of words (alpha dropped).
  void encode(const FrameLines &lines);
  // Drains the encoder.
  void flush() { send(nullptr); }

private:
  av::FramePtr makePicture(AVPixelFormat pixelFormat);
  void send(AVFrame *picture);

  Format format_;
  PacketSink sink_;
  av::CodecPtr context_;
  av::FramePtr planes_, picture_;
  av::ScalerPtr scaler_;
  av::PacketPtr packet_ = av::makePacket();
  bool fieldWise_ = false;
  int64_t frameCount_ = 0;
};

// An audio encoder fed from a track; each packet goes to `sink`, timed in
// samples from the first. AAC for MP4, else PCM (16-bit sources at 16 bits,
// finer ones at 24).
class AudioEncoder {
public:
  AudioEncoder(AudioTrack &track, OutputKind kind, bool globalHeader, PacketSink sink);

  AVCodecContext &context() { return *context_; }

  // Encodes the samples up to (not including) sample `end`.
  void encodeUntil(int64_t end);
  // Encodes the rest up to sample `end` and drains the encoder.
  void finish(int64_t end);

private:
  static constexpr int kPcmFrame = 1024;

  void send(AVFrame *frame);

  AudioTrack &track_;
  PacketSink sink_;
  av::CodecPtr context_;
  av::PacketPtr packet_ = av::makePacket();
  int frameSize_ = kPcmFrame;
  int64_t written_ = 0;
  bool finishing_ = false;
};

} // namespace vxhost
