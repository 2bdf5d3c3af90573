// Owning handles for FFmpeg objects, so that every path out of a decoder or
// an encoder releases what it made, and the text of an FFmpeg error code.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace vxhost::av {

struct InputCloser {
  void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct CodecCloser {
  void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
  void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
  void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
  void operator()(SwsContext *context) const { sws_freeContext(context); }
};
// An output context and the file it writes: the file is closed with the context.
struct OutputCloser {
  void operator()(AVFormatContext *context) const {
    if (context->pb && !(context->oformat->flags & AVFMT_NOFILE))
      avio_closep(&context->pb);
    avformat_free_context(context);
  }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// A new frame or packet; throws std::bad_alloc when FFmpeg cannot make one.
FramePtr makeFrame();
PacketPtr makePacket();

// FFmpeg's text for an AVERROR code, e.g. "Invalid data found when processing input".
std::string errorText(int code);

} // namespace vxhost::av
