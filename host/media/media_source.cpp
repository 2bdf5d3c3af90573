// Video and image files through libavformat and libavcodec.
//
// Opening reads every packet of the video stream once (no decoding) to count
// the frames and to learn their presentation times and the key frames. Frame
// i of the clip is then the picture with the i-th smallest time, found by
// seeking to the last key frame at or before it and decoding forward. Files
// whose packets carry no usable times are decoded strictly in order and
// rewound to go back.
#include <algorithm>
#include <cmath>
#include <list>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "host/media/frame_convert.hpp"
#include "host/scenes/sources.hpp"

namespace vxhost {
namespace {

// Converted pictures (see FrameConverter) by clip frame index, least
// recently used first out.
class FrameCache {
public:
  explicit FrameCache(size_t capacity) : capacity_(std::max<size_t>(2, capacity)) {}

  const AVFrame *find(int index) {
    const auto found = entries_.find(index);
    if (found == entries_.end())
      return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->picture.get();
  }

  // A picture to fill for `index`, made most recent; recycles the oldest
  // entry's picture when the cache is full. Call drop() if filling fails.
  AVFrame &insert(int index) {
    if (entries_.size() >= capacity_) {
      entries_.erase(order_.back().index);
      order_.splice(order_.begin(), order_, std::prev(order_.end()));
      order_.front().index = index;
    } else {
      order_.push_front({index, av::makeFrame()});
    }
    entries_[index] = order_.begin();
    return *order_.front().picture;
  }

  void drop(int index) {
    const auto found = entries_.find(index);
    if (found == entries_.end())
      return;
    order_.erase(found->second);
    entries_.erase(found);
  }

private:
  struct Entry {
    int index;
    av::FramePtr picture;
  };
  size_t capacity_;
  std::list<Entry> order_;
  std::unordered_map<int, std::list<Entry>::iterator> entries_;
};

class StillSource : public ClipSource {
public:
  StillSource(int length, std::vector<uint32_t> picture) : length_(length), picture_(std::move(picture)) {}
  int length() const override { return length_; }
  const uint32_t *frame(int index) override {
    return index >= 0 && index < length_ ? picture_.data() : nullptr;
  }

private:
  int length_;
  std::vector<uint32_t> picture_;
};

struct PacketInfo {
  int64_t pts, duration, pos;
  int size;
  bool key;
};

// The typical distance between the sorted times (the frame duration of a
// constant-rate clip); 0 when there are fewer than two.
int64_t typicalStep(const std::vector<int64_t> &sortedTimes) {
  std::vector<int64_t> steps;
  for (size_t i = 1; i < sortedTimes.size(); ++i)
    steps.push_back(sortedTimes[i] - sortedTimes[i - 1]);
  if (steps.empty())
    return 0;
  std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
  return steps[steps.size() / 2];
}

// Throws when the file is shorter than it says it is: fewer frames than its
// header counts, its video ending well before the duration it announces, or
// (Y4M, which has neither) bytes left over after the last whole frame.
void checkComplete(AVFormatContext *input, int stream, const std::vector<PacketInfo> &packets) {
  const AVStream *s = input->streams[stream];
  const std::string present = std::to_string(packets.size()) + " frames present";
  if (s->nb_frames > int64_t(packets.size()))
    throw SourceError("is damaged or truncated (" + present + " of " + std::to_string(s->nb_frames) + ")");

  std::vector<int64_t> times;
  int64_t end = INT64_MIN;
  for (const PacketInfo &p : packets)
    if (p.pts != AV_NOPTS_VALUE) {
      times.push_back(p.pts);
      end = std::max(end, p.pts + std::max<int64_t>(p.duration, 0));
    }
  std::sort(times.begin(), times.end());
  int64_t announced = AV_NOPTS_VALUE;
  if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
    announced = s->duration;
  else if (input->nb_streams == 1 && input->duration != AV_NOPTS_VALUE && input->duration > 0 &&
           input->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) // a guess, not a promise
    announced = av_rescale_q(input->duration, AV_TIME_BASE_Q, s->time_base);
  if (announced != AV_NOPTS_VALUE && times.size() == packets.size()) {
    const int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : times.front();
    // Two frames of slack for rounding of durations and a missing last duration.
    if (end + 2 * typicalStep(times) < start + announced)
      throw SourceError("is damaged or truncated (" + present + ", ending at " +
                        std::to_string(av_q2d(s->time_base) * double(end - start)) + " s of " +
                        std::to_string(av_q2d(s->time_base) * double(announced)) + " s)");
  }

  if (std::string(input->iformat->name) == "yuv4mpegpipe" && input->pb && packets.back().pos >= 0) {
    // The last frame: "FRAME", optional parameters, a line feed, its bytes.
    const PacketInfo &last = packets.back();
    int64_t header = 0;
    if (avio_seek(input->pb, last.pos, SEEK_SET) >= 0) {
      int c;
      do {
        c = avio_r8(input->pb); // 0 at the end of the file
        ++header;
      } while (c != '\n' && c != 0 && header < 256);
    }
    const int64_t size = avio_size(input->pb);
    if (size > 0 && size > last.pos + header + last.size)
      throw SourceError("is damaged or truncated (the frame after frame " + std::to_string(packets.size() - 1) +
                        " is cut short)");
  }
}

class VideoSource : public ClipSource {
public:
  VideoSource(av::InputPtr input, av::CodecPtr decoder, int stream, const std::vector<PacketInfo> &packets,
              const Format &format, const MediaOptions &options);

  int length() const override { return length_; }
  const uint32_t *frame(int index) override;
  bool field(int index, int parity, uint32_t *out) override;
  std::string takeFailure() override { return std::exchange(failure_, {}); }

private:
  // The clip frame shown at frame `index` of the format's rate.
  int clipFrame(int index) const;
  // The converted picture of frame `index`: cached, else decoded; null when
  // it cannot be had.
  const AVFrame *picture(int index);
  const AVFrame *decode(int clipIndex);
  // Decodes forward until the picture of `clipIndex` is in frame_: false at
  // a picture past it or at the end.
  bool scanTo(int clipIndex);
  bool seekBefore(int keyChoice, int clipIndex);
  // Back to the first frame: by time, or by seeking to byte 0 (exact where
  // the format allows it; MPEG-TS, for one, finds times only roughly).
  bool rewind(bool byBytes);
  // The next picture in presentation order into frame_; false at the end or on a failure.
  bool nextPicture();
  int indexOf(const AVFrame &picture) const;
  const AVFrame *fail(int clipIndex, const std::string &why);

  av::InputPtr input_;
  av::CodecPtr decoder_;
  int stream_;
  av::PacketPtr packet_ = av::makePacket();
  av::FramePtr frame_ = av::makeFrame();
  FrameConverter converter_;
  FrameCache cache_;
  std::vector<uint32_t> words_; // the frame frame() gave last, packed
  int wordsIndex_ = -1;         // its index; -1: none
  std::vector<int64_t> times_;    // presentation time of each clip frame, ascending; empty: in order only
  std::vector<int64_t> keyTimes_; // times of the key frames, ascending
  int clipFrames_;
  int64_t rateNum_ = 1, rateDen_ = 1; // clip frames per format frame
  int length_;
  int nextIndex_ = -1;              // index of the picture the decoder gives next; -1: not positioned
  bool flushing_ = false;           // the demuxer is at its end and the decoder is being drained
  bool awaitingKey_ = false;        // a seek into the middle gave no key frame yet
  std::string lastError_;           // the latest decoding error, for the failure text
  std::string failure_;
};

VideoSource::VideoSource(av::InputPtr input, av::CodecPtr decoder, int stream,
                         const std::vector<PacketInfo> &packets, const Format &format,
                         const MediaOptions &options)
    : input_(std::move(input)), decoder_(std::move(decoder)), stream_(stream),
      converter_(format.width, format.height),
      cache_(options.cacheBytes / (size_t(format.width) * format.height * 3)),
      clipFrames_(int(packets.size())) {
  // Presentation times when every packet has one, all distinct. Decode
  // times would not do: with reordered frames they are shifted against the
  // times the pictures come out with.
  if (std::all_of(packets.begin(), packets.end(), [](auto &p) { return p.pts != AV_NOPTS_VALUE; })) {
    for (const PacketInfo &p : packets) {
      times_.push_back(p.pts);
      if (p.key)
        keyTimes_.push_back(p.pts);
    }
    std::sort(times_.begin(), times_.end());
    std::sort(keyTimes_.begin(), keyTimes_.end());
    if (std::adjacent_find(times_.begin(), times_.end()) != times_.end() || keyTimes_.empty())
      times_.clear();
  }

  // A clip at another rate is played at its own speed: format frame t shows
  // the clip frame at time t / format rate. Rates within 0.5 % of each other
  // count as equal, so that rounded rates (2997/100) map one to one. A clip
  // of variable rate is taken at its typical rate: the typical step between
  // its frames' times, else what the container says.
  const AVStream *s = input_->streams[stream_];
  AVRational clipRate = s->r_frame_rate.num > 0 && s->r_frame_rate.den > 0 ? s->r_frame_rate : s->avg_frame_rate;
  if (const int64_t step = typicalStep(times_); step > 0)
    av_reduce(&clipRate.num, &clipRate.den, s->time_base.den, step * s->time_base.num, INT32_MAX);
  const AVRational formatRate{format.rateNum, format.rateDen};
  if (clipRate.num > 0 && clipRate.den > 0 && std::abs(av_q2d(clipRate) / av_q2d(formatRate) - 1) > 0.005) {
    rateNum_ = int64_t{clipRate.num} * formatRate.den;
    rateDen_ = int64_t{clipRate.den} * formatRate.num;
    const int64_t g = std::gcd(rateNum_, rateDen_);
    rateNum_ /= g;
    rateDen_ /= g;
  }
  // The number of format frames t whose clip frame t * num / den is below clipFrames_.
  int64_t frames = (int64_t{clipFrames_} * rateDen_ + rateNum_ - 1) / rateNum_;
  if (options.length > 0)
    frames = std::min<int64_t>(frames, options.length);
  length_ = int(std::min<int64_t>(frames, INT32_MAX));
}

int VideoSource::clipFrame(int index) const {
  return int(std::min<int64_t>(int64_t{index} * rateNum_ / rateDen_, clipFrames_ - 1));
}

const AVFrame *VideoSource::picture(int index) {
  if (index < 0 || index >= length_)
    return nullptr;
  const int clipIndex = clipFrame(index);
  if (const AVFrame *cached = cache_.find(clipIndex))
    return cached;
  return decode(clipIndex);
}

const uint32_t *VideoSource::frame(int index) {
  if (index == wordsIndex_)
    return words_.data();
  const AVFrame *converted = picture(index);
  if (!converted)
    return nullptr;
  words_.resize(size_t(converted->width) * size_t(converted->height));
  packLines(*converted, 0, 1, converted->height, words_.data());
  wordsIndex_ = index;
  return words_.data();
}

// The field's words come straight from the converted planes: no frame of
// words is made only to be copied out of.
bool VideoSource::field(int index, int parity, uint32_t *out) {
  const AVFrame *converted = picture(index);
  if (!converted)
    return false;
  packLines(*converted, parity, 2, converted->height / 2, out);
  return true;
}

const AVFrame *VideoSource::fail(int clipIndex, const std::string &why) {
  nextIndex_ = -1;
  failure_ = "frame " + std::to_string(clipIndex) + " could not be decoded" + (why.empty() ? "" : ": " + why);
  return nullptr;
}

// Decoding forward from where the decoder stands is cheaper than a seek when
// the frame lies before the next key frame or close behind it. Otherwise seek
// to the last key frame at or before it, then to earlier ones (a seek may land
// late, even past the end, or the frame may need the group before it), then
// to the start.
const AVFrame *VideoSource::decode(int clipIndex) {
  lastError_.clear();
  const auto forwardIsCheap = [&] {
    if (nextIndex_ < 0 || clipIndex < nextIndex_)
      return false;
    if (clipIndex - nextIndex_ < 16 || times_.empty())
      return true;
    return std::upper_bound(keyTimes_.begin(), keyTimes_.end(), times_[nextIndex_]) ==
           std::upper_bound(keyTimes_.begin(), keyTimes_.end(), times_[clipIndex]);
  };
  bool found = forwardIsCheap() && scanTo(clipIndex);
  for (int keyChoice = 0; !found && !times_.empty() && keyChoice < 3; ++keyChoice) {
    if (!seekBefore(keyChoice, clipIndex))
      break;
    found = scanTo(clipIndex);
  }
  // Without frame times a rewind must land exactly on the first frame: bytes
  // first. With them a landing too late shows, and bytes are the last resort.
  for (const bool byBytes : {times_.empty(), !times_.empty()})
    if (!found && rewind(byBytes))
      found = scanTo(clipIndex);
  if (!found)
    return fail(clipIndex, lastError_.empty() ? "the decoder did not deliver it" : lastError_);
  AVFrame &converted = cache_.insert(clipIndex);
  if (!converter_.convert(*frame_, converted)) {
    cache_.drop(clipIndex);
    return fail(clipIndex, "its pixel format cannot be converted");
  }
  return &converted;
}

bool VideoSource::scanTo(int clipIndex) {
  while (nextPicture()) {
    const int index = indexOf(*frame_);
    nextIndex_ = index + 1;
    // After a seek into the middle, pictures shown before the first key
    // frame may lack their references (open groups, a seek landing late):
    // they do not count, and meeting the one asked for among them means the
    // seek must start earlier.
    if (awaitingKey_ && frame_->key_frame)
      awaitingKey_ = false;
    if (index == clipIndex && !awaitingKey_)
      return true;
    if (index >= clipIndex)
      return false;
  }
  nextIndex_ = -1;
  return false;
}

bool VideoSource::seekBefore(int keyChoice, int clipIndex) {
  auto key = std::upper_bound(keyTimes_.begin(), keyTimes_.end(), times_[clipIndex]);
  if (key - keyTimes_.begin() <= keyChoice)
    return false;
  key -= keyChoice + 1;
  if (av_seek_frame(input_.get(), stream_, *key, AVSEEK_FLAG_BACKWARD) < 0)
    return false;
  avcodec_flush_buffers(decoder_.get());
  flushing_ = false;
  awaitingKey_ = true;
  nextIndex_ = -1;
  return true;
}

bool VideoSource::rewind(bool byBytes) {
  const AVStream *s = input_->streams[stream_];
  if (byBytes) {
    if ((input_->iformat->flags & AVFMT_NO_BYTE_SEEK) || av_seek_frame(input_.get(), stream_, 0, AVSEEK_FLAG_BYTE) < 0)
      return false;
  } else if (av_seek_frame(input_.get(), stream_, s->start_time != AV_NOPTS_VALUE ? s->start_time : 0,
                           AVSEEK_FLAG_BACKWARD) < 0) {
    return false;
  }
  avcodec_flush_buffers(decoder_.get());
  flushing_ = false;
  awaitingKey_ = false; // from the start the decoder does what it can
  nextIndex_ = 0;
  return true;
}

int VideoSource::indexOf(const AVFrame &picture) const {
  if (times_.empty())
    return nextIndex_ < 0 ? 0 : nextIndex_;
  const int64_t time = picture.best_effort_timestamp != AV_NOPTS_VALUE ? picture.best_effort_timestamp : picture.pts;
  return int(std::lower_bound(times_.begin(), times_.end(), time) - times_.begin());
}

bool VideoSource::nextPicture() {
  for (;;) {
    const int received = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (received == 0)
      return true;
    if (received == AVERROR_EOF)
      return false;
    if (received != AVERROR(EAGAIN)) {
      lastError_ = av::errorText(received);
      return false;
    }
    if (flushing_)
      return false;
    const int read = av_read_frame(input_.get(), packet_.get());
    if (read == AVERROR_EOF) {
      flushing_ = true;
      avcodec_send_packet(decoder_.get(), nullptr);
      continue;
    }
    if (read < 0) {
      lastError_ = av::errorText(read);
      return false;
    }
    if (packet_->stream_index == stream_) {
      const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
      // A damaged packet is skipped; the frame it held is then missed and
      // reported with this error.
      if (sent < 0 && sent != AVERROR(EAGAIN))
        lastError_ = av::errorText(sent);
    }
    av_packet_unref(packet_.get());
  }
}

// Decodes the one picture of a still from its packet (kept from the scan:
// image pipes cannot seek back to read it again).
std::vector<uint32_t> decodeStill(AVCodecContext *decoder, const AVPacket &packet, const Format &format) {
  av::FramePtr picture = av::makeFrame();
  int result = avcodec_send_packet(decoder, &packet);
  if (result >= 0)
    result = avcodec_send_packet(decoder, nullptr);
  if (result >= 0)
    result = avcodec_receive_frame(decoder, picture.get());
  if (result < 0)
    throw SourceError("its picture cannot be decoded (" + av::errorText(result) + ")");
  FrameConverter converter(format.width, format.height);
  av::FramePtr converted = av::makeFrame();
  if (!converter.convert(*picture, *converted))
    throw SourceError("its pixel format cannot be converted");
  std::vector<uint32_t> pixels(size_t(format.width) * size_t(format.height));
  packLines(*converted, 0, 1, format.height, pixels.data());
  return pixels;
}

} // namespace

std::shared_ptr<ClipSource> openMediaFile(const std::filesystem::path &path, const Format &format,
                                          const MediaOptions &options) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    throw SourceError("no such file");
  if (std::filesystem::is_directory(path, ec))
    throw SourceError("is a folder, not a video or image file");

  AVFormatContext *rawInput = nullptr;
  int result = avformat_open_input(&rawInput, path.c_str(), nullptr, nullptr);
  if (result < 0)
    throw SourceError("cannot be read as a video or image (" + av::errorText(result) + ")");
  av::InputPtr input(rawInput);
  if ((result = avformat_find_stream_info(input.get(), nullptr)) < 0)
    throw SourceError("cannot be read as a video or image (" + av::errorText(result) + ")");
  const AVCodec *codec = nullptr;
  const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (stream == AVERROR_DECODER_NOT_FOUND)
    throw SourceError("its video cannot be decoded (no decoder)");
  if (stream < 0)
    throw SourceError("holds no video or picture");

  av::CodecPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder)
    throw std::bad_alloc();
  avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar);
  decoder->thread_count = 1; // the host works on one thread; sources decode on it
  if ((result = avcodec_open2(decoder.get(), codec, nullptr)) < 0)
    throw SourceError("its video cannot be decoded (" + av::errorText(result) + ")");

  // Index the packets; a read error before the end or a packet cut short
  // means a damaged file.
  std::vector<PacketInfo> packets;
  av::PacketPtr packet = av::makePacket(), first = av::makePacket();
  while ((result = av_read_frame(input.get(), packet.get())) >= 0) {
    const bool corrupt = packet->flags & AV_PKT_FLAG_CORRUPT;
    // Packets marked discard (cut by an edit list) are never shown.
    if (packet->stream_index == stream && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
      if (packets.empty())
        av_packet_ref(first.get(), packet.get());
      packets.push_back({packet->pts, packet->duration, packet->pos, packet->size,
                         (packet->flags & AV_PKT_FLAG_KEY) != 0});
    }
    av_packet_unref(packet.get());
    if (corrupt)
      throw SourceError("is damaged or truncated (frame " + std::to_string(packets.size()) + " is cut short)");
  }
  if (result != AVERROR_EOF)
    throw SourceError("is damaged or truncated (" + av::errorText(result) + " after " +
                      std::to_string(packets.size()) + " frames)");
  if (packets.empty())
    throw SourceError("holds no frames");
  if (packets.size() > size_t(INT32_MAX))
    throw SourceError("holds too many frames");
  checkComplete(input.get(), stream, packets);

  if (packets.size() == 1)
    return std::make_shared<StillSource>(std::max(options.stillLength, 0),
                                         decodeStill(decoder.get(), *first, format));
  return std::make_shared<VideoSource>(std::move(input), std::move(decoder), stream, packets, format, options);
}

} // namespace vxhost
