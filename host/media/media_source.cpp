// Video and image files through libavformat and libavcodec.
//
// Opening learns the number of frames, their presentation times and the key
// frames from the container's own index where it has one (MP4 and MOV sample
// tables, the AVI index, Matroska cues, the fixed frame size of Y4M), so
// that its cost does not grow with the clip; other files have every packet
// of the video stream read once (no decoding). Frame i of the clip is then
// the picture with the i-th smallest time, found by seeking to the last key
// frame at or before it and decoding forward. Files whose packets carry no
// usable times are decoded strictly in order and rewound to go back.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <list>
#include <numeric>
#include <optional>
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
  explicit FrameCache(size_t capacity) : capacity_(std::max<size_t>(1, capacity)) {}

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

// What opening learns of a clip's frames without decoding them.
struct FrameIndex {
  int64_t frames = 0;
  std::vector<int64_t> times;    // presentation time of each frame, ascending; empty: decode in order only
  std::vector<int64_t> keyTimes; // times of the key frames, ascending
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

std::string damaged(const std::string &detail) { return "is damaged or truncated (" + detail + ")"; }

// Reads the stream's packets from where the demuxer stands to the end of the
// file, keeping the first in `first` when given. `before` frames precede the
// first packet read (they count in the messages). A read error before the
// end or a packet cut short means a damaged file.
std::vector<PacketInfo> readToEnd(AVFormatContext *input, int stream, int64_t before, AVPacket *first = nullptr) {
  std::vector<PacketInfo> packets;
  av::PacketPtr packet = av::makePacket();
  int result;
  while ((result = av_read_frame(input, packet.get())) >= 0) {
    const bool corrupt = packet->flags & AV_PKT_FLAG_CORRUPT;
    // Packets marked discard (cut by an edit list) are never shown.
    if (packet->stream_index == stream && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
      if (packets.empty() && first)
        av_packet_ref(first, packet.get());
      packets.push_back({packet->pts, packet->duration, packet->pos, packet->size,
                         (packet->flags & AV_PKT_FLAG_KEY) != 0});
    }
    av_packet_unref(packet.get());
    if (corrupt)
      throw SourceError(damaged("frame " + std::to_string(before + int64_t(packets.size())) + " is cut short"));
  }
  if (result != AVERROR_EOF)
    throw SourceError(damaged(av::errorText(result) + " after " + std::to_string(before + int64_t(packets.size())) +
                              " frames"));
  return packets;
}

// The "DURATION" tag Matroska muxers write for each track ("HH:MM:SS.nnnnnnnnn"),
// in the stream's time base; 0 when there is none.
int64_t taggedDuration(const AVStream &stream) {
  const AVDictionaryEntry *tag = av_dict_get(stream.metadata, "DURATION", nullptr, 0);
  unsigned hours = 0, minutes = 0;
  double seconds = 0;
  if (!tag || std::sscanf(tag->value, "%u:%u:%lf", &hours, &minutes, &seconds) != 3)
    return 0;
  const double total = (hours * 60.0 + minutes) * 60.0 + seconds;
  return int64_t(total / av_q2d(stream.time_base));
}

// Throws when the file is shorter than it says it is: fewer frames than its
// header counts, its video ending well before the duration it announces, or
// (Y4M, which has neither) bytes left over after the last whole frame.
// `packets` are the last frames of the clip, after `before` others.
void checkComplete(AVFormatContext *input, int stream, const std::vector<PacketInfo> &packets, int64_t before = 0) {
  const AVStream *s = input->streams[stream];
  const int64_t count = before + int64_t(packets.size());
  const std::string present = std::to_string(count) + " frames present";
  if (s->nb_frames > count)
    throw SourceError(damaged(present + " of " + std::to_string(s->nb_frames)));

  std::vector<int64_t> times;
  int64_t end = INT64_MIN;
  for (const PacketInfo &p : packets)
    if (p.pts != AV_NOPTS_VALUE) {
      times.push_back(p.pts);
      end = std::max(end, p.pts + std::max<int64_t>(p.duration, 0));
    }
  std::sort(times.begin(), times.end());
  // The video's own duration: the stream's, else the one Matroska keeps in
  // the track's tags, else the file's when the video is all it holds (with
  // other streams the file's duration may be theirs).
  int64_t announced = AV_NOPTS_VALUE;
  if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
    announced = s->duration;
  else if (const int64_t tagged = taggedDuration(*s); tagged > 0)
    announced = tagged;
  else if (input->nb_streams == 1 && input->duration != AV_NOPTS_VALUE && input->duration > 0 &&
           input->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) // a guess, not a promise
    announced = av_rescale_q(input->duration, AV_TIME_BASE_Q, s->time_base);
  const bool startKnown = before == 0 || s->start_time != AV_NOPTS_VALUE;
  if (announced != AV_NOPTS_VALUE && !times.empty() && times.size() == packets.size() && startKnown) {
    const int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : times.front();
    // Two frames of slack for rounding of durations and a missing last duration.
    if (end + 2 * typicalStep(times) < start + announced)
      throw SourceError(damaged(present + ", ending at " + std::to_string(av_q2d(s->time_base) * double(end - start)) +
                                " s of " + std::to_string(av_q2d(s->time_base) * double(announced)) + " s"));
  }

  if (std::string(input->iformat->name) == "yuv4mpegpipe" && input->pb && !packets.empty() &&
      packets.back().pos >= 0) {
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
      throw SourceError(damaged("the frame after frame " + std::to_string(count - 1) + " is cut short"));
  }
}

// The index of a whole scan: presentation times when every packet has one,
// all distinct. Decode times would not do: with reordered frames they are
// shifted against the times the pictures come out with.
FrameIndex indexOfPackets(const std::vector<PacketInfo> &packets) {
  FrameIndex index;
  index.frames = int64_t(packets.size());
  if (std::all_of(packets.begin(), packets.end(), [](auto &p) { return p.pts != AV_NOPTS_VALUE; })) {
    for (const PacketInfo &p : packets) {
      index.times.push_back(p.pts);
      if (p.key)
        index.keyTimes.push_back(p.pts);
    }
    std::sort(index.times.begin(), index.times.end());
    std::sort(index.keyTimes.begin(), index.keyTimes.end());
    if (std::adjacent_find(index.times.begin(), index.times.end()) != index.times.end() || index.keyTimes.empty())
      index.times.clear();
  }
  return index;
}

// Packets read at the start of a clip to check what its index implies: enough
// to cover the reordering of any encoder, few enough to cost nothing.
constexpr int kProbePackets = 32;

// MP4, MOV and AVI hold a table of every sample: its decode time (MP4, MOV)
// or number (AVI), position, size and whether it is a key frame. The
// presentation times are the decode times shifted by the reordering delay,
// learnt from the first packets and checked against them; packets without
// presentation times (AVI with B-frames) leave the clip to be decoded in
// order. A sample lying past the end of the file means a truncated file.
// Empty when the table does not cover the stream or the packets disagree.
std::optional<FrameIndex> indexOfSampleTable(AVFormatContext *input, int stream, int64_t fileSize) {
  AVStream *s = input->streams[stream];
  const int entries = avformat_index_get_entries_count(s);
  if (s->nb_frames <= 1 || entries != s->nb_frames)
    return std::nullopt;
  std::vector<int64_t> decodeTimes, keyDecodeTimes; // of the frames shown
  int64_t previous = INT64_MIN;
  for (int i = 0; i < entries; ++i) {
    const AVIndexEntry *e = avformat_index_get_entry(s, i);
    if (e->timestamp <= previous || e->pos < 0)
      return std::nullopt;
    previous = e->timestamp;
    const bool shown = !(e->flags & AVINDEX_DISCARD_FRAME);
    // Said as reading the packets in order would say it: the first sample
    // past the end is cut short, or missing when the file ends before it.
    if (e->pos + e->size > fileSize)
      throw SourceError(damaged(
          e->pos < fileSize && shown
              ? "frame " + std::to_string(decodeTimes.size() + 1) + " is cut short"
              : std::to_string(decodeTimes.size()) + " frames present of " + std::to_string(s->nb_frames)));
    if (!shown)
      continue;
    decodeTimes.push_back(e->timestamp);
    if (e->flags & AVINDEX_KEYFRAME)
      keyDecodeTimes.push_back(e->timestamp);
  }
  if (decodeTimes.size() < 2 || keyDecodeTimes.empty())
    return std::nullopt;

  // The first packets, in decode order as the table is.
  std::vector<int64_t> probeTimes;
  bool timed = true;
  av::PacketPtr packet = av::makePacket();
  for (int i = 0; i < entries && int(probeTimes.size()) < kProbePackets;) {
    const int read = av_read_frame(input, packet.get());
    if (read < 0)
      return std::nullopt;
    if (packet->stream_index == stream) {
      const AVIndexEntry *e = avformat_index_get_entry(s, i++);
      if (packet->dts != AV_NOPTS_VALUE && packet->dts != e->timestamp)
        return std::nullopt;
      if (!(e->flags & AVINDEX_DISCARD_FRAME)) {
        timed = timed && packet->pts != AV_NOPTS_VALUE;
        probeTimes.push_back(packet->pts);
      }
    }
    av_packet_unref(packet.get());
  }

  FrameIndex index;
  index.frames = int64_t(decodeTimes.size());
  if (!timed) {
    if (index.frames != entries) // an edit list to apply: the scan knows which packets count
      return std::nullopt;
    return index;
  }
  const int64_t delay = *std::min_element(probeTimes.begin(), probeTimes.end()) - decodeTimes.front();
  for (int64_t &t : decodeTimes)
    t += delay;
  for (const int64_t t : probeTimes)
    if (!std::binary_search(decodeTimes.begin(), decodeTimes.end(), t))
      return std::nullopt;
  index.times = std::move(decodeTimes);
  for (const int64_t t : keyDecodeTimes)
    index.keyTimes.push_back(t + delay);
  return index;
}

// The times of a constant-rate clip: frame k at start + k / rate, rounded to
// the time base as muxers round them.
struct FrameGrid {
  int64_t start;
  AVRational frameDuration; // 1 / rate, in seconds
  AVRational timeBase;

  int64_t time(int64_t frame) const { return start + av_rescale_q(frame, frameDuration, timeBase); }
  // The frame at `time`, or -1 when no frame is within one time base unit of it.
  int64_t frameAt(int64_t t) const {
    if (t == AV_NOPTS_VALUE)
      return -1;
    const int64_t frame = av_rescale_q(t - start, timeBase, frameDuration);
    return frame >= 0 && std::abs(time(frame) - t) <= 1 ? frame : -1;
  }
};

// The first frame of `packets` when their times are frames first, first + 1,
// … on the grid with none missing or doubled; -1 otherwise.
int64_t contiguousFrames(const std::vector<PacketInfo> &packets, const FrameGrid &grid) {
  std::vector<int64_t> frames;
  for (const PacketInfo &p : packets) {
    const int64_t frame = grid.frameAt(p.pts);
    if (frame < 0)
      return -1;
    frames.push_back(frame);
  }
  std::sort(frames.begin(), frames.end());
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i] != frames.front() + int64_t(i))
      return -1;
  return frames.empty() ? -1 : frames.front();
}

// Matroska's cues give the time and place of the key frames only. A clip
// whose cue times all lie on its frame rate's grid is taken as constant-rate:
// the group from the start to the second cue and the group from the last cue
// to the end are read to check that no frame is missing or doubled there,
// and the last group gives the length. A cue past the end of the file means a
// truncated file: the group from the last cue inside it is read and reported
// as a whole scan would. Empty when the clip is not shown to be constant-rate.
std::optional<FrameIndex> indexOfCues(AVFormatContext *input, int stream, int64_t fileSize) {
  AVStream *s = input->streams[stream];
  const AVRational rate = s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0 ? s->avg_frame_rate
                                                                                 : s->r_frame_rate;
  if (s->start_time == AV_NOPTS_VALUE || rate.num <= 0 || rate.den <= 0)
    return std::nullopt;
  const FrameGrid grid{s->start_time, av_inv_q(rate), s->time_base};
  // Frames closer than a few time base units could not be told apart.
  if (grid.time(1) - grid.time(0) < 4)
    return std::nullopt;
  // Cues stored after the clusters are read on the first seek.
  if (av_seek_frame(input, stream, s->start_time, AVSEEK_FLAG_BACKWARD) < 0)
    return std::nullopt;

  std::vector<int64_t> keyFrames; // frame numbers of the cues inside the file, ascending
  bool pastTheEnd = false;
  for (int i = 0, n = avformat_index_get_entries_count(s); i < n; ++i) {
    const AVIndexEntry *e = avformat_index_get_entry(s, i);
    if (!(e->flags & AVINDEX_KEYFRAME))
      continue;
    if (e->pos >= fileSize) {
      pastTheEnd = true;
      continue;
    }
    const int64_t frame = grid.frameAt(e->timestamp);
    if (frame < 0 || (!keyFrames.empty() && frame <= keyFrames.back()))
      return std::nullopt;
    keyFrames.push_back(frame);
  }
  if (keyFrames.size() < 2 || keyFrames.front() != 0)
    return std::nullopt;

  // The first group: from the start up to the packet of the second cue.
  std::vector<PacketInfo> head;
  av::PacketPtr packet = av::makePacket();
  for (;;) {
    const int read = av_read_frame(input, packet.get());
    if (read < 0)
      return std::nullopt; // short of the second cue: the scan reports it
    const bool ours = packet->stream_index == stream && !(packet->flags & AV_PKT_FLAG_DISCARD);
    const PacketInfo info{packet->pts, packet->duration, packet->pos, packet->size,
                          (packet->flags & AV_PKT_FLAG_KEY) != 0};
    const bool corrupt = packet->flags & AV_PKT_FLAG_CORRUPT;
    av_packet_unref(packet.get());
    if (!ours)
      continue;
    if (corrupt)
      return std::nullopt;
    if (grid.frameAt(info.pts) == keyFrames[1] && info.key)
      break;
    head.push_back(info);
  }
  if (contiguousFrames(head, grid) != 0)
    return std::nullopt;

  // The last group, from the last cue inside the file to the end.
  const int64_t lastKey = keyFrames.back();
  if (av_seek_frame(input, stream, grid.time(lastKey), AVSEEK_FLAG_BACKWARD) < 0)
    return std::nullopt;
  const std::vector<PacketInfo> tail = readToEnd(input, stream, lastKey);
  if (tail.empty() || grid.frameAt(tail.front().pts) != lastKey || !tail.front().key)
    return std::nullopt;
  // Frames shown before the last key frame but stored after it (an open group) belong to the tail.
  const int64_t before = contiguousFrames(tail, grid);
  if (before < 0 || before > lastKey)
    return std::nullopt;
  checkComplete(input, stream, tail, before);
  FrameIndex index;
  index.frames = before + int64_t(tail.size());
  if (pastTheEnd)
    throw SourceError(
        damaged(std::to_string(index.frames) + " frames present; the index points past the end of the file"));
  for (int64_t frame = 0; frame < index.frames; ++frame)
    index.times.push_back(grid.time(frame));
  for (const int64_t frame : keyFrames)
    index.keyTimes.push_back(grid.time(frame));
  return index;
}

// A Y4M file is a header and frames of one size, each after a "FRAME" line;
// the demuxer finds frame n at its place from that size, so the file size
// gives the length. A tail shorter than a frame means a truncated file.
// Empty when the frame lines carry parameters (frames then differ in size).
std::optional<FrameIndex> indexOfFrameSize(AVFormatContext *input, int stream, int64_t fileSize) {
  static constexpr char kFrameLine[] = "FRAME\n";
  constexpr int64_t kFrameLineSize = sizeof kFrameLine - 1;
  av::PacketPtr packet = av::makePacket();
  if (av_read_frame(input, packet.get()) < 0 || packet->stream_index != stream || packet->pos < kFrameLineSize ||
      packet->pts != 0)
    return std::nullopt;
  const int64_t dataStart = packet->pos - kFrameLineSize, frameSize = kFrameLineSize + packet->size;
  const int64_t frames = (fileSize - dataStart) / frameSize;
  const auto frameLineAt = [&](int64_t frame) {
    char line[kFrameLineSize];
    return avio_seek(input->pb, dataStart + frame * frameSize, SEEK_SET) >= 0 &&
           avio_read(input->pb, reinterpret_cast<unsigned char *>(line), int(kFrameLineSize)) == kFrameLineSize &&
           std::equal(line, line + kFrameLineSize, kFrameLine);
  };
  if (frames < 2 || !frameLineAt(0) || !frameLineAt(frames - 1))
    return std::nullopt;
  if ((fileSize - dataStart) % frameSize != 0)
    throw SourceError(damaged("the frame after frame " + std::to_string(frames - 1) + " is cut short"));
  FrameIndex index;
  index.frames = frames;
  for (int64_t frame = 0; frame < frames; ++frame)
    index.times.push_back(frame);
  index.keyTimes = index.times;
  return index;
}

using IndexReader = std::optional<FrameIndex> (*)(AVFormatContext *input, int stream, int64_t fileSize);

// The reader of the index the container holds; null for containers without
// one and for inputs that cannot seek or tell their size.
IndexReader indexReaderFor(const AVFormatContext *input) {
  if (!input->pb || !(input->pb->seekable & AVIO_SEEKABLE_NORMAL) || avio_size(input->pb) <= 0)
    return nullptr;
  const std::string name = input->iformat->name;
  if (name.rfind("mov,", 0) == 0 || name == "avi")
    return indexOfSampleTable;
  if (name == "matroska,webm")
    return indexOfCues;
  if (name == "yuv4mpegpipe")
    return indexOfFrameSize;
  return nullptr;
}

// The layout of a clip's pictures in the format's frames.
PictureLayout layoutFor(const AVStream &stream, const Format &format, const MediaOptions &options) {
  PictureLayout layout = layoutOfStream(stream);
  layout.fit = options.fit;
  layout.formatAspect = format.pixelAspect;
  layout.keepAlpha = options.keepAlpha;
  return layout;
}

class VideoSource : public ClipSource {
public:
  VideoSource(av::InputPtr input, av::CodecPtr decoder, int stream, FrameIndex index, const Format &format,
              const MediaOptions &options);

  int length() const override { return length_; }
  const uint32_t *frame(int index) override;
  bool field(int index, int parity, uint32_t *out) override;
  bool fieldAt(int number, int parity, uint32_t *out) override;
  std::string takeFailure() override { return std::exchange(failure_, {}); }

private:
  // The clip frame shown at frame `index` of the format's rate.
  int clipFrame(int index) const;
  // The number of format frames that show a clip frame.
  int64_t framesShown() const;
  // The converted picture of clip frame `clipIndex`: cached, else decoded;
  // null when it cannot be had.
  const AVFrame *picture(int clipIndex);
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
  FrameTime start_;                   // the in-point, in format frames
  AVRational formatRate_;
  // Each field of an interlaced format shows a clip frame of its own: the
  // clip runs at the field rate (within 0.5 %), one clip frame per field.
  bool fieldRate_ = false;
  // The clip's frames come at uneven steps: frame t shows the last clip
  // frame whose time is at or before t / rate after the first one's.
  bool byTime_ = false;
  int length_;
  int nextIndex_ = -1;              // index of the picture the decoder gives next; -1: not positioned
  bool flushing_ = false;           // the demuxer is at its end and the decoder is being drained
  bool awaitingKey_ = false;        // a seek into the middle gave no key frame yet
  std::string lastError_;           // the latest decoding error, for the failure text
  std::string failure_;
};

VideoSource::VideoSource(av::InputPtr input, av::CodecPtr decoder, int stream, FrameIndex index,
                         const Format &format, const MediaOptions &options)
    : input_(std::move(input)), decoder_(std::move(decoder)), stream_(stream),
      converter_(format.width, format.height, layoutFor(*input_->streams[stream], format, options)),
      cache_(options.cacheBytes / (size_t(format.width) * format.height * 3)),
      times_(std::move(index.times)), keyTimes_(std::move(index.keyTimes)), clipFrames_(int(index.frames)),
      start_(options.start), formatRate_{format.rateNum, format.rateDen} {
  // A clip at another rate is played at its own speed: format frame t shows
  // the clip frame at time t / format rate. Rates within 0.5 % of each other
  // count as equal, so that rounded rates (2997/100) map one to one.
  const AVStream *s = input_->streams[stream_];
  AVRational clipRate = s->r_frame_rate.num > 0 && s->r_frame_rate.den > 0 ? s->r_frame_rate : s->avg_frame_rate;
  // The container's rate stands when its frame duration, rounded to the
  // time base, is the typical step: 29.97 fps in milliseconds steps by 33
  // and 34, and 1000 / 33 would be another rate.
  const bool rateKnown = clipRate.num > 0 && clipRate.den > 0;
  const int64_t step = typicalStep(times_);
  if (step > 0 && (!rateKnown || std::abs(av_rescale_q(1, av_inv_q(clipRate), s->time_base) - step) > 1))
    av_reduce(&clipRate.num, &clipRate.den, s->time_base.den, step * s->time_base.num, INT32_MAX);
  // Steps off the typical one by more than a unit of rounding (and 1 %)
  // make a clip of variable rate, placed by its frames' times.
  for (size_t i = 1; i < times_.size() && step > 0 && !byTime_; ++i)
    byTime_ = std::abs(times_[i] - times_[i - 1] - step) > std::max<int64_t>(1, step / 100);
  const auto near = [](AVRational a, AVRational b) { return std::abs(av_q2d(a) / av_q2d(b) - 1) <= 0.005; };
  const AVRational fieldRate{2 * format.rateNum, format.rateDen};
  fieldRate_ = !byTime_ && isInterlaced(format) && rateKnown && near(clipRate, fieldRate);
  if (!fieldRate_ && clipRate.num > 0 && clipRate.den > 0 && !near(clipRate, formatRate_)) {
    rateNum_ = int64_t{clipRate.num} * formatRate_.den;
    rateDen_ = int64_t{clipRate.den} * formatRate_.num;
    const int64_t g = std::gcd(rateNum_, rateDen_);
    rateNum_ /= g;
    rateDen_ /= g;
  }
  if (fieldRate_)
    rateNum_ = 2, rateDen_ = 1;
  int64_t frames = framesShown();
  if (frames <= 0)
    throw SourceError("its in-point lies past its end");
  if (options.length > 0)
    frames = std::min<int64_t>(frames, options.length);
  length_ = int(std::min<int64_t>(frames, INT32_MAX));
}

// Frame t's time in the clip is (t + start) format frames: with the in-point
// start = sn / sd, clip frame floor((t sd + sn) rateNum / (sd rateDen)).
// Products of 64-bit values are taken in 128 bits.
int VideoSource::clipFrame(int index) const {
  const int64_t sn = start_.num, sd = start_.den;
  int64_t frame;
  if (byTime_) {
    // Time base units after the first frame: (t + start) / format rate seconds.
    const AVRational tb = input_->streams[stream_]->time_base;
    const __int128 num = (__int128(index) * sd + sn) * formatRate_.den * tb.den;
    const __int128 den = __int128(sd) * formatRate_.num * tb.num;
    const int64_t target = times_.front() + int64_t(num / den);
    frame = int64_t(std::upper_bound(times_.begin(), times_.end(), target) - times_.begin()) - 1;
  } else {
    frame = int64_t((__int128(index) * sd + sn) * rateNum_ / (__int128(sd) * rateDen_));
  }
  return int(std::clamp<int64_t>(frame, 0, clipFrames_ - 1));
}

int64_t VideoSource::framesShown() const {
  const int64_t sn = start_.num, sd = start_.den;
  __int128 num, den;
  if (byTime_) {
    // Frames t whose time (t + start) / rate lies before the end of the last
    // clip frame: its time plus the step before it (the typical step may be
    // another part's).
    const AVRational tb = input_->streams[stream_]->time_base;
    const int64_t lastStep = times_[times_.size() - 1] - times_[times_.size() - 2];
    const int64_t span = times_.back() + lastStep - times_.front();
    num = __int128(span) * tb.num * formatRate_.num * sd - __int128(sn) * tb.den * formatRate_.den;
    den = __int128(tb.den) * formatRate_.den * sd;
  } else {
    // Frames t with (t sd + sn) rateNum < clipFrames sd rateDen.
    num = __int128(clipFrames_) * sd * rateDen_ - __int128(sn) * rateNum_;
    den = __int128(rateNum_) * sd;
  }
  if (num <= 0)
    return 0;
  return int64_t(std::min<__int128>((num + den - 1) / den, INT64_MAX));
}

const AVFrame *VideoSource::picture(int clipIndex) {
  if (const AVFrame *cached = cache_.find(clipIndex))
    return cached;
  return decode(clipIndex);
}

const uint32_t *VideoSource::frame(int index) {
  if (index < 0 || index >= length_)
    return nullptr;
  if (index == wordsIndex_)
    return words_.data();
  const AVFrame *converted = picture(clipFrame(index));
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
  if (index < 0 || index >= length_)
    return false;
  const AVFrame *converted = picture(clipFrame(index));
  if (!converted)
    return false;
  packLines(*converted, parity, 2, converted->height / 2, out);
  return true;
}

// At the field rate field n shows clip frame n + 2 start (start in frames).
bool VideoSource::fieldAt(int number, int parity, uint32_t *out) {
  if (!fieldRate_)
    return field(number / 2, parity, out);
  if (number < 0 || number / 2 >= length_)
    return false;
  const int64_t frame = int64_t((__int128(number) * start_.den + 2 * __int128(start_.num)) / start_.den);
  const AVFrame *converted = picture(int(std::min<int64_t>(frame, clipFrames_ - 1)));
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
  // From byte 0 the decoder does what it can with whatever comes first. A
  // seek to the first time may land past the first key frame (MPEG-TS
  // seeks by the times it finds near a guessed byte), which would make
  // pictures without their references count as the first frames.
  awaitingKey_ = !byBytes;
  nextIndex_ = 0;
  return true;
}

int VideoSource::indexOf(const AVFrame &picture) const {
  if (times_.empty())
    return nextIndex_ < 0 ? 0 : nextIndex_;
  const int64_t time = picture.best_effort_timestamp != AV_NOPTS_VALUE ? picture.best_effort_timestamp : picture.pts;
  // A time from a grid (see FrameGrid) may lie a unit of rounding below the picture's.
  auto next = std::lower_bound(times_.begin(), times_.end(), time);
  if (next != times_.begin() && (next == times_.end() || *next != time) && time - *std::prev(next) <= 1)
    --next;
  return int(next - times_.begin());
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
std::vector<uint32_t> decodeStill(AVCodecContext *decoder, const AVPacket &packet, const Format &format,
                                  const PictureLayout &layout) {
  av::FramePtr picture = av::makeFrame();
  int result = avcodec_send_packet(decoder, &packet);
  if (result >= 0)
    result = avcodec_send_packet(decoder, nullptr);
  if (result >= 0)
    result = avcodec_receive_frame(decoder, picture.get());
  if (result < 0)
    throw SourceError("its picture cannot be decoded (" + av::errorText(result) + ")");
  FrameConverter converter(format.width, format.height, layout);
  av::FramePtr converted = av::makeFrame();
  if (!converter.convert(*picture, *converted))
    throw SourceError("its pixel format cannot be converted");
  std::vector<uint32_t> pixels(size_t(format.width) * size_t(format.height));
  packLines(*converted, 0, 1, format.height, pixels.data());
  return pixels;
}

// The type of the top-level box that runs past the end of the file, when the
// file starts as an MP4 or MOV file does (an "ftyp" box): a file cut short,
// mostly before its index ("moov"), which such files often keep at the end.
// Empty when there is none.
// Each box starts with its 32-bit big-endian size, counting the header, and
// a four-letter type; size 1 puts a 64-bit size after the type, size 0 means
// "to the end of the file".
std::string boxCutShort(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::error_code ec;
  const uint64_t fileSize = std::filesystem::file_size(path, ec);
  if (ec)
    return {};
  uint64_t at = 0;
  for (int box = 0; at + 8 <= fileSize && box < 1024; ++box) {
    unsigned char header[16];
    in.seekg(std::streamoff(at));
    if (!in.read(reinterpret_cast<char *>(header), 8))
      return {};
    std::string type(reinterpret_cast<char *>(header) + 4, 4);
    std::replace_if(type.begin(), type.end(), [](char c) { return c < ' ' || c > '~'; }, '?');
    if (box == 0 && type != "ftyp")
      return {};
    uint64_t size = uint64_t{header[0]} << 24 | uint64_t{header[1]} << 16 | uint64_t{header[2]} << 8 | header[3];
    if (size == 0)
      return {};
    if (size == 1) {
      if (!in.read(reinterpret_cast<char *>(header) + 8, 8))
        return type; // the 64-bit size itself is cut off
      size = 0;
      for (int i = 8; i < 16; ++i)
        size = size << 8 | header[i];
    }
    if (size < 8)
      return {};
    if (size > fileSize - at)
      return type;
    at += size;
  }
  return {};
}

// Opens the file and finds its video stream; throws SourceError as
// openMediaFile does.
av::InputPtr openInput(const std::filesystem::path &path, int &stream, const AVCodec *&codec) {
  AVFormatContext *rawInput = nullptr;
  int result = avformat_open_input(&rawInput, path.c_str(), nullptr, nullptr);
  if (const std::string box = result < 0 ? boxCutShort(path) : ""; !box.empty())
    throw SourceError("cannot be read as a video or image (" + av::errorText(result) +
                      "): it is damaged or truncated (the file ends inside its \"" + box + "\" box)");
  if (result < 0)
    throw SourceError("cannot be read as a video or image (" + av::errorText(result) + ")");
  av::InputPtr input(rawInput);
  if ((result = avformat_find_stream_info(input.get(), nullptr)) < 0)
    throw SourceError("cannot be read as a video or image (" + av::errorText(result) + ")");
  stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (stream == AVERROR_DECODER_NOT_FOUND)
    throw SourceError("its video cannot be decoded (no decoder)");
  if (stream < 0)
    throw SourceError("holds no video or picture");
  return input;
}

} // namespace

std::shared_ptr<ClipSource> openMediaFile(const std::filesystem::path &path, const Format &format,
                                          const MediaOptions &options) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    throw SourceError("no such file");
  if (std::filesystem::is_directory(path, ec))
    throw SourceError("is a folder, not a video or image file");

  int stream = -1;
  const AVCodec *codec = nullptr;
  av::InputPtr input = openInput(path, stream, codec);
  // FFmpeg's own VP9 decoder leaves out the alpha that WebM keeps beside
  // the picture; libvpx decodes it.
  if (const AVDictionaryEntry *mode = av_dict_get(input->streams[stream]->metadata, "alpha_mode", nullptr, 0);
      options.keepAlpha && codec->id == AV_CODEC_ID_VP9 && mode && std::string(mode->value) == "1")
    if (const AVCodec *libvpx = avcodec_find_decoder_by_name("libvpx-vp9"))
      codec = libvpx;
  av::CodecPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder)
    throw std::bad_alloc();
  avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar);
  decoder->thread_count = 1; // the host works on one thread; sources decode on it
  if (const int result = avcodec_open2(decoder.get(), codec, nullptr); result < 0)
    throw SourceError("its video cannot be decoded (" + av::errorText(result) + ")");

  if (const IndexReader readIndex = indexReaderFor(input.get())) {
    if (std::optional<FrameIndex> index = readIndex(input.get(), stream, avio_size(input->pb))) {
      if (index->frames > INT32_MAX)
        throw SourceError("holds too many frames");
      return std::make_shared<VideoSource>(std::move(input), std::move(decoder), stream, std::move(*index), format,
                                           options);
    }
    // An index the packets disagree with: read every packet, from a fresh
    // start (the attempt read some).
    input = openInput(path, stream, codec);
  }
  av::PacketPtr first = av::makePacket();
  const std::vector<PacketInfo> packets = readToEnd(input.get(), stream, 0, first.get());
  if (packets.empty())
    throw SourceError("holds no frames");
  if (packets.size() > size_t(INT32_MAX))
    throw SourceError("holds too many frames");
  checkComplete(input.get(), stream, packets);

  if (packets.size() == 1)
    return std::make_shared<StillSource>(std::max(options.stillLength, 0),
                                         decodeStill(decoder.get(), *first, format,
                                                     layoutFor(*input->streams[stream], format, options)));
  return std::make_shared<VideoSource>(std::move(input), std::move(decoder), stream, indexOfPackets(packets), format,
                                       options);
}

} // namespace vxhost
