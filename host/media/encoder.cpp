#include "host/media/encoder.hpp"

#include <algorithm>
#include <new>
#include <string>

#include "host/media/audio.hpp"
#include "host/media/yuv.hpp"

namespace vxhost {

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

void encodeAndDrain(AVCodecContext &context, const AVFrame *input, AVPacket &packet,
                    const PacketSink &sink, const char *what, const char *given) {
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

Encoder::Encoder(const AVCodec *codec, AVPixelFormat pixelFormat, const Format &format,
                 const std::function<void(AVCodecContext &)> &configure, PacketSink sink)
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

void Encoder::encode(const FrameLines &lines) {
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


av::FramePtr Encoder::makePicture(AVPixelFormat pixelFormat) {
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

void Encoder::send(AVFrame *picture) { encodeAndDrain(*context_, picture, *packet_, sink_, "encoder", "a frame"); }

AudioEncoder::AudioEncoder(AudioTrack &track, OutputKind kind, bool globalHeader, PacketSink sink)
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

void AudioEncoder::encodeUntil(int64_t end) {
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


void AudioEncoder::finish(int64_t end) {
  finishing_ = true;
  encodeUntil(end);
  send(nullptr);
}

void AudioEncoder::send(AVFrame *frame) {
  encodeAndDrain(*context_, frame, *packet_, sink_, "audio encoder", "samples");
}

} // namespace vxhost
