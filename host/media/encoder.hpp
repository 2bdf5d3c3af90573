// One libavcodec encoder fed with frame lines: the frame's words into 4:4:4
// planes, converted by swscale to the encoder's pixel format (4:2:0 of
// interlaced video field by field), the colour matrix of the format's height;
// each packet goes to the sink.
#pragma once

#include <functional>
#include <string>

#include "host/media/atomic_file.hpp"
#include "host/media/av.hpp"
#include "host/media/frame_lines.hpp"
#include "host/media/yuv.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

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

} // namespace vxhost
