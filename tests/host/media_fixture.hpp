// Small clips for the media tests, written without the host's own writers so
// that a fault in those cannot hide one in the readers.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/media/av.hpp"

namespace media_fixture {

using Frame = std::vector<uint32_t>;

// A frame whose every pixel differs from its neighbours and from the same
// pixel of other frames: Y, U, V from position and frame number, alpha 255.
inline Frame numberedFrame(int width, int height, int number) {
  Frame frame(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t luma = 16 + (x * 7 + y * 13 + number * 29) % 220;
      const uint32_t u = 16 + (x * 11 + number * 5) % 225, v = 16 + (y * 17 + number * 3) % 225;
      frame[size_t(y) * width + x] = luma << 24 | u << 16 | v << 8 | 0xFF;
    }
  return frame;
}

// A 4:4:4 Y4M file ("C444") of the frames, at `rate` ("25:1").
inline void writeY4m(const std::filesystem::path &path, int width, int height, const std::vector<Frame> &frames,
                     const std::string &rate = "25:1") {
  std::ofstream out(path, std::ios::binary);
  out << "YUV4MPEG2 W" << width << " H" << height << " F" << rate << " Ip A1:1 C444\n";
  for (const Frame &frame : frames) {
    out << "FRAME\n";
    for (int shift : {24, 16, 8})
      for (uint32_t word : frame)
        out.put(char(word >> shift & 0xFF));
  }
}

inline std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The packets of the video stream of a file: times, key flag and bytes,
// equal for equal encodings whatever the container's own identifiers.
inline std::vector<std::string> videoPackets(const std::filesystem::path &path) {
  AVFormatContext *raw = nullptr;
  std::vector<std::string> packets;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
    return packets;
  const vxhost::av::InputPtr input(raw);
  const vxhost::av::PacketPtr packet = vxhost::av::makePacket();
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (input->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
      packets.push_back(std::to_string(packet->pts) + "/" + std::to_string(packet->dts) +
                        (packet->flags & AV_PKT_FLAG_KEY ? "K:" : ":") +
                        std::string(reinterpret_cast<const char *>(packet->data), size_t(packet->size)));
    av_packet_unref(packet.get());
  }
  return packets;
}

// An MPEG-4 Visual clip with B-frames and a key frame every 5 frames, in the
// container its name says, with the muxer's options ("movflags=+faststart"),
// at `rate` frames per second;
// frame n is grey at luma 20 + 10 n (to 250, then again from 20) in its
// middle half, so that any frame can be told from its centre.
inline void writeGreyRamp(const std::filesystem::path &path, int width, int height, int count,
                          const char *muxerOptions = "", AVRational rate = {25, 1}) {
  const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  ASSERT_NE(codec, nullptr);
  AVFormatContext *raw = nullptr;
  ASSERT_GE(avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()), 0);
  vxhost::av::OutputPtr muxer(raw);
  vxhost::av::CodecPtr encoder(avcodec_alloc_context3(codec));
  encoder->width = width;
  encoder->height = height;
  encoder->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder->time_base = av_inv_q(rate);
  encoder->gop_size = 5;
  encoder->max_b_frames = 2;
  encoder->flags |= AV_CODEC_FLAG_QSCALE;
  encoder->global_quality = FF_QP2LAMBDA * 2;
  if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ASSERT_GE(avcodec_open2(encoder.get(), codec, nullptr), 0);
  AVStream *stream = avformat_new_stream(muxer.get(), nullptr);
  avcodec_parameters_from_context(stream->codecpar, encoder.get());
  stream->time_base = encoder->time_base;
  ASSERT_GE(avio_open(&muxer->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  AVDictionary *options = nullptr;
  ASSERT_GE(av_dict_parse_string(&options, muxerOptions, "=", ":", 0), 0);
  const int written = avformat_write_header(muxer.get(), &options);
  av_dict_free(&options);
  ASSERT_GE(written, 0);
  vxhost::av::FramePtr frame = vxhost::av::makeFrame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
  vxhost::av::PacketPtr packet = vxhost::av::makePacket();
  auto drain = [&] {
    while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
      packet->duration = 1;
      av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      av_interleaved_write_frame(muxer.get(), packet.get());
    }
  };
  for (int n = 0; n < count; ++n) {
    av_frame_make_writable(frame.get());
    for (int p = 0; p < 3; ++p)
      for (int y = 0; y < (p ? height / 2 : height); ++y)
        std::memset(frame->data[p] + y * frame->linesize[p], p ? 128 : 20 + 10 * (n % 24), p ? width / 2 : width);
    // Noise in the outer quarters, new in every frame, gives the packets a
    // realistic size; the middle half stays flat.
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (x < width / 4 || x >= width - width / 4)
          frame->data[0][y * frame->linesize[0] + x] =
              uint8_t(16 + (uint32_t(x) * 7919u + uint32_t(y) * 104729u + uint32_t(n) * 15485863u) % 220u);
    frame->pts = n;
    avcodec_send_frame(encoder.get(), frame.get());
    drain();
  }
  avcodec_send_frame(encoder.get(), nullptr);
  drain();
  av_write_trailer(muxer.get());
}

} // namespace media_fixture
