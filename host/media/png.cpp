#include "host/media/png.hpp"

#include <spng.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <new>
#include <utility>

#include "host/media/atomic_file.hpp"
#include "host/media/av.hpp"
#include "host/textures/texture_pixels.hpp"

namespace vxhost {

namespace {

struct SpngDeleter {
  void operator()(spng_ctx *ctx) const { spng_ctx_free(ctx); }
};
using SpngContext = std::unique_ptr<spng_ctx, SpngDeleter>;
struct FileClose {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileClose>;

// Deflate expands at most 1032 times, so the file must be big enough for the
// image's bytes: a header claiming 16384 x 16384 in a small file is damaged,
// and is refused before any pixel memory is asked for.
constexpr uint64_t kMaxDeflateRatio = 1032;

int channelsOf(uint8_t colourType) {
  switch (colourType) {
  case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
  case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
  case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
  default: return 1; // grey, palette indices
  }
}

// The whole regular file, or false with `error` set. May throw std::bad_alloc.
bool readWholeFile(const std::filesystem::path &file, std::vector<uint8_t> &bytes,
                   std::string &error) {
  FileHandle stream(std::fopen(file.c_str(), "rb"));
  struct stat status {};
  if (!stream || fstat(fileno(stream.get()), &status) != 0) {
    error = "cannot open the file";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "not a file";
    return false;
  }
  if (status.st_size == 0) {
    error = "empty file";
    return false;
  }
  if (uint64_t(status.st_size) > kMaxPngFileBytes) {
    error = "file too large";
    return false;
  }
  bytes.resize(size_t(status.st_size));
  if (std::fread(bytes.data(), bytes.size(), 1, stream.get()) != 1) {
    error = "cannot read the file";
    return false;
  }
  return true;
}

std::optional<RgbaImage> decode(const std::filesystem::path &file, std::string &error) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(file, bytes, error)) return std::nullopt;

  SpngContext ctx(spng_ctx_new(0));
  if (!ctx) throw std::bad_alloc();
  // A CRC error in any chunk, ancillary ones included, makes the file damaged.
  spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  spng_set_image_limits(ctx.get(), kMaxPngSide, kMaxPngSide);
  spng_set_chunk_limits(ctx.get(), size_t{64} << 20, size_t{64} << 20);
  int result = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());

  spng_ihdr ihdr{};
  if (result == 0) result = spng_get_ihdr(ctx.get(), &ihdr);
  if (result != 0) {
    error = spng_strerror(result);
    return std::nullopt;
  }
  const uint64_t rowBits = uint64_t{ihdr.width} * channelsOf(ihdr.color_type) * ihdr.bit_depth;
  if (uint64_t{ihdr.height} * ((rowBits + 7) / 8) > kMaxDeflateRatio * bytes.size()) {
    error = "image larger than its file can hold";
    return std::nullopt;
  }

  // 16-bit samples are decoded as they are and rounded to 8 bits here.
  const bool deep = ihdr.bit_depth == 16;
  const int format = deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
  size_t decodedBytes = 0;
  result = spng_decoded_image_size(ctx.get(), format, &decodedBytes);
  RgbaImage image;
  image.width = int(ihdr.width);
  image.height = int(ihdr.height);
  std::vector<uint16_t> samples;
  if (result == 0) {
    if (deep)
      samples.resize(decodedBytes / 2);
    else
      image.pixels.resize(decodedBytes);
    void *target = deep ? static_cast<void *>(samples.data()) : image.pixels.data();
    result = spng_decode_image(ctx.get(), target, decodedBytes, format, SPNG_DECODE_TRNS);
  }
  // The chunks after the image data, up to and including IEND.
  if (result == 0) result = spng_decode_chunks(ctx.get());
  if (result != 0) {
    error = spng_strerror(result);
    return std::nullopt;
  }
  if (deep) {
    image.pixels.resize(samples.size());
    samples16To8(samples.data(), image.pixels.data(), samples.size());
  }
  return image;
}

} // namespace

std::optional<RgbaImage> readPng(const std::filesystem::path &file, std::string &error) {
  try {
    return decode(file, error);
  } catch (const std::bad_alloc &) {
    error = "out of memory";
    return std::nullopt;
  }
}

bool writePng(const std::filesystem::path &path, int width, int height, int channels,
              const uint8_t *pixels, size_t size, std::string &error) {
  uint8_t colourType = 0;
  switch (channels) {
  case 1: colourType = SPNG_COLOR_TYPE_GRAYSCALE; break;
  case 3: colourType = SPNG_COLOR_TYPE_TRUECOLOR; break;
  case 4: colourType = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA; break;
  default: error = path.string() + ": no PNG colour type has " + std::to_string(channels) + " channels"; return false;
  }
  if (width <= 0 || height <= 0 || !pixels || size != size_t(width) * size_t(height) * size_t(channels)) {
    error = path.string() + ": no picture to write";
    return false;
  }
  SpngContext ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) {
    error = "out of memory";
    return false;
  }
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(width);
  ihdr.height = static_cast<uint32_t>(height);
  ihdr.bit_depth = 8;
  ihdr.color_type = colourType;
  int err = spng_set_ihdr(ctx.get(), &ihdr);
  if (!err)
    err = spng_encode_image(ctx.get(), pixels, size, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  size_t length = 0;
  void *encoded = err ? nullptr : spng_get_png_buffer(ctx.get(), &length, &err);
  if (!encoded) {
    error = path.string() + ": " + spng_strerror(err);
    return false;
  }
  std::unique_ptr<void, decltype(&std::free)> owned(encoded, &std::free);
  FileHandle file(std::fopen(path.c_str(), "wb"));
  if (!file || std::fwrite(encoded, 1, length, file.get()) != length) {
    error = path.string() + ": cannot write";
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    error = path.string() + ": cannot write";
    return false;
  }
  return true;
}

bool writePng(const std::filesystem::path &path, const RgbaImage &picture, std::string &error) {
  return writePng(path, picture.width, picture.height, 4, picture.pixels.data(),
                  picture.pixels.size(), error);
}

struct PngFrameEncoder::Codec {
  av::CodecPtr context;
  av::FramePtr picture = av::makeFrame();
  av::PacketPtr packet = av::makePacket();
  // The files of the frames sent and not yet written, in order: path, name.
  std::deque<std::pair<std::filesystem::path, std::string>> pending;
};

PngFrameEncoder::PngFrameEncoder(const Format &format, int threads) : codec_(std::make_unique<Codec>()) {
  const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (!codec)
    throw OutputError("libavcodec has no PNG encoder");
  AVCodecContext *context = avcodec_alloc_context3(codec);
  codec_->context.reset(context);
  if (!context)
    throw std::bad_alloc();
  context->width = format.width;
  context->height = format.height;
  context->pix_fmt = AV_PIX_FMT_RGB24;
  context->time_base = AVRational{format.rateDen, format.rateNum};
  // Frame threads: every PNG is coded on its own, so the bytes do not
  // depend on them; the packets come out in order, a few frames late.
  context->thread_count = threads;
  context->thread_type = FF_THREAD_FRAME;
  const int opened = avcodec_open2(context, codec, nullptr);
  if (opened < 0)
    throw OutputError("the PNG encoder cannot be opened (" + av::errorText(opened) + ")");
  AVFrame &picture = *codec_->picture;
  picture.format = AV_PIX_FMT_RGB24;
  picture.width = format.width;
  picture.height = format.height;
  if (av_frame_get_buffer(&picture, 0) < 0)
    throw std::bad_alloc();
}

PngFrameEncoder::~PngFrameEncoder() = default;

uint8_t *PngFrameEncoder::row(int y) {
  AVFrame &picture = *codec_->picture;
  // The picture may still be the encoder's from the frame before.
  if (y == 0 && av_frame_make_writable(&picture) < 0)
    throw std::bad_alloc();
  return picture.data[0] + ptrdiff_t{y} * picture.linesize[0];
}

void PngFrameEncoder::write(const std::filesystem::path &path, const std::string &name) {
  codec_->pending.emplace_back(path, name);
  const int sent = avcodec_send_frame(codec_->context.get(), codec_->picture.get());
  if (sent < 0)
    throw OutputError("the PNG encoder failed (" + av::errorText(sent) + ")");
  writeEncoded(false);
}

void PngFrameEncoder::finish() {
  const int sent = avcodec_send_frame(codec_->context.get(), nullptr);
  if (sent < 0)
    throw OutputError("the PNG encoder failed (" + av::errorText(sent) + ")");
  writeEncoded(true);
}

void PngFrameEncoder::writeEncoded(bool flushing) {
  AVPacket *packet = codec_->packet.get();
  for (;;) {
    const int result = avcodec_receive_packet(codec_->context.get(), packet);
    if (result == AVERROR_EOF || (result == AVERROR(EAGAIN) && !flushing))
      return;
    if (result < 0 || codec_->pending.empty())
      throw OutputError("the PNG encoder failed (" + av::errorText(result < 0 ? result : AVERROR_BUG) + ")");
    struct Unref {
      AVPacket *packet;
      ~Unref() { av_packet_unref(packet); }
    } unref{packet};
    const auto [path, name] = std::move(codec_->pending.front());
    codec_->pending.pop_front();
    writeWholeFile(path, packet->data, size_t(packet->size), name);
  }
}

} // namespace vxhost
