#include "host/media/segment_join.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "host/media/av.hpp"
#include "host/media/atomic_file.hpp"

namespace vxhost {
namespace fs = std::filesystem;
namespace {

std::string nameOf(const fs::path &segment) { return "segment " + segment.string(); }

// ---- Y4M: one header, then every segment's frames ------------------------

std::string headerLine(std::ifstream &in, const fs::path &segment) {
  std::string line;
  if (!std::getline(in, line) || line.rfind("YUV4MPEG2 ", 0) != 0)
    throw OutputError(nameOf(segment) + ": not a Y4M file");
  return line;
}

void joinY4m(const std::vector<fs::path> &segments, const std::string &output) {
  std::unique_ptr<TempFile> staging;
  const auto close = [](std::FILE *file) { return file == stdout ? std::fflush(file) : std::fclose(file); };
  std::unique_ptr<std::FILE, decltype(close)> file(stdout, close);
  if (output != "-") {
    staging = std::make_unique<TempFile>(output);
    file.reset(std::fopen(staging->path().c_str(), "wb"));
    if (!file)
      throw OutputError(output + ": cannot be written (" + std::strerror(errno) + ")");
  }
  std::FILE *const out = file.get();
  std::string first;
  std::vector<char> buffer(size_t{1} << 20);
  for (const fs::path &segment : segments) {
    std::ifstream in(segment, std::ios::binary);
    if (!in)
      throw OutputError(nameOf(segment) + ": cannot be read");
    const std::string header = headerLine(in, segment);
    if (first.empty()) {
      first = header;
      if (std::fprintf(out, "%s\n", header.c_str()) < 0)
        throw OutputError(output + ": cannot be written (" + std::strerror(errno) + ")");
    } else if (header != first) {
      throw OutputError(nameOf(segment) + ": its header \"" + header + "\" is not the first segment's \"" + first +
                        "\"");
    }
    while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0)
      if (std::fwrite(buffer.data(), 1, size_t(in.gcount()), out) != size_t(in.gcount()))
        throw OutputError(output + ": cannot be written (" + std::strerror(errno) + ")");
  }
  if (close(file.release()) != 0)
    throw OutputError(output + ": cannot be written (" + std::strerror(errno) + ")");
  if (staging)
    staging->commit();
}

// ---- PNG frames: every file of every folder ------------------------------

void joinPngFrames(const std::vector<fs::path> &segments, const std::string &output) {
  fs::path folder(output);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    if (output.back() == '/' || output.find('%') == std::string::npos)
      fs::create_directory(folder, ec);
    else
      folder = folder.parent_path().empty() ? fs::path(".") : folder.parent_path();
    if (!fs::is_directory(folder, ec))
      throw OutputError("output folder " + folder.string() + " does not exist");
  }
  TempFolder staging(folder);
  std::set<std::string> names;
  for (const fs::path &segment : segments) {
    if (!fs::is_directory(segment, ec))
      throw OutputError(nameOf(segment) + ": not a folder of PNG frames");
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(segment, ec))
      if (entry.is_regular_file() && entry.path().extension() == ".png")
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path &file : files) {
      if (!names.insert(file.filename().string()).second)
        throw OutputError(nameOf(segment) + ": " + file.filename().string() + " is in an earlier segment too");
      fs::copy_file(file, staging.path() / file.filename(), ec);
      if (ec)
        throw OutputError((folder / file.filename()).string() + ": cannot be written (" + ec.message() + ")");
    }
  }
  staging.commit();
}

// ---- Matroska, MP4, MOV: packets copied, timed on ------------------------

av::InputPtr openSegment(const fs::path &segment) {
  AVFormatContext *raw = nullptr;
  int result = avformat_open_input(&raw, segment.c_str(), nullptr, nullptr);
  if (result < 0)
    throw OutputError(nameOf(segment) + ": cannot be read (" + av::errorText(result) + ")");
  av::InputPtr input(raw);
  if ((result = avformat_find_stream_info(input.get(), nullptr)) < 0)
    throw OutputError(nameOf(segment) + ": cannot be read (" + av::errorText(result) + ")");
  return input;
}

// What must agree between segments for their packets to make one stream.
std::string layoutOf(const AVCodecParameters &p) {
  std::string layout = std::string(avcodec_get_name(p.codec_id)) + " " + av_get_media_type_string(p.codec_type);
  if (p.codec_type == AVMEDIA_TYPE_VIDEO)
    layout += " " + std::to_string(p.width) + "x" + std::to_string(p.height) + " format " + std::to_string(p.format);
  else
    layout += " " + std::to_string(p.sample_rate) + " Hz, " + std::to_string(p.ch_layout.nb_channels) +
              " channels, format " + std::to_string(p.format);
  return layout + ", " + std::to_string(p.extradata_size) + " bytes of set-up";
}

bool sameSetUp(const AVCodecParameters &a, const AVCodecParameters &b) {
  return layoutOf(a) == layoutOf(b) &&
         (a.extradata_size == 0 || std::memcmp(a.extradata, b.extradata, size_t(a.extradata_size)) == 0);
}

// The video and sound streams of a segment, in order; others (a timecode
// track the muxer makes of the metadata) are made again from it.
std::vector<int> mediaStreams(const AVFormatContext &input) {
  std::vector<int> streams;
  for (unsigned i = 0; i < input.nb_streams; ++i) {
    const AVMediaType type = input.streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO)
      streams.push_back(int(i));
  }
  return streams;
}

// The start timecode of a segment: the file's, else a stream's.
const char *timecodeOf(const AVFormatContext &input) {
  if (const AVDictionaryEntry *tag = av_dict_get(input.metadata, "timecode", nullptr, 0))
    return tag->value;
  for (unsigned i = 0; i < input.nb_streams; ++i)
    if (const AVDictionaryEntry *tag = av_dict_get(input.streams[i]->metadata, "timecode", nullptr, 0))
      return tag->value;
  return nullptr;
}

void joinContainers(const std::vector<fs::path> &segments, const std::string &output, const JoinOptions &options) {
  TempFile staging(output);
  av::InputPtr first = openSegment(segments.front());
  AVFormatContext *raw = nullptr;
  int result = avformat_alloc_output_context2(&raw, nullptr, nullptr, output.c_str());
  if (result < 0 || !raw)
    throw OutputError("cannot make the container (" + av::errorText(result) + ")");
  const av::OutputPtr muxer(raw);

  // Each stream's time unit: frames for the video, samples for the sound.
  std::vector<AVRational> units;
  const std::vector<int> firstStreams = mediaStreams(*first);
  for (const int i : firstStreams) {
    const AVStream *in = first->streams[i];
    const AVCodecParameters &p = *in->codecpar;
    AVRational unit;
    if (p.codec_type == AVMEDIA_TYPE_VIDEO) {
      const AVRational rate = options.rateNum > 0 && options.rateDen > 0 ? AVRational{options.rateNum, options.rateDen}
                              : in->avg_frame_rate.num > 0                ? in->avg_frame_rate
                                                                          : in->r_frame_rate;
      if (rate.num <= 0 || rate.den <= 0)
        throw OutputError(nameOf(segments.front()) + ": its video states no frame rate");
      unit = av_inv_q(rate);
    } else if (p.codec_type == AVMEDIA_TYPE_AUDIO) {
      if (av_get_bits_per_sample(p.codec_id) == 0)
        throw OutputError(nameOf(segments.front()) + ": its sound is " + avcodec_get_name(p.codec_id) +
                          ", which cannot be joined without a gap or a click at each segment's start; render "
                          "the segments without sound (--audio none) or to .mkv or .mov (PCM)");
      unit = AVRational{1, p.sample_rate};
    } else {
      continue;
    }
    units.push_back(unit);
    AVStream *out = avformat_new_stream(muxer.get(), nullptr);
    if (!out)
      throw std::bad_alloc();
    avcodec_parameters_copy(out->codecpar, &p);
    out->codecpar->codec_tag = 0;
    out->time_base = unit;
    out->avg_frame_rate = in->avg_frame_rate;
    // The container's pixel aspect where it keeps one of its own (MOV's), else the codec's.
    out->sample_aspect_ratio = av_guess_sample_aspect_ratio(first.get(), const_cast<AVStream *>(in), nullptr);
    out->codecpar->sample_aspect_ratio = out->sample_aspect_ratio;
  }
  if (const char *timecode = timecodeOf(*first))
    av_dict_set(&muxer->metadata, "timecode", timecode, 0);
  if ((result = avio_open(&muxer->pb, staging.path().c_str(), AVIO_FLAG_WRITE)) < 0)
    throw OutputError(output + ": cannot be written (" + av::errorText(result) + ")");
  if ((result = avformat_write_header(muxer.get(), nullptr)) < 0)
    throw OutputError("cannot start the file (" + av::errorText(result) + ")");

  std::vector<int64_t> offsets(units.size(), 0); // in each stream's unit
  const av::PacketPtr packet = av::makePacket();
  for (size_t s = 0; s < segments.size(); ++s) {
    av::InputPtr input = s == 0 ? std::move(first) : openSegment(segments[s]);
    const std::vector<int> streams = mediaStreams(*input);
    if (streams.size() != units.size())
      throw OutputError(nameOf(segments[s]) + ": holds " + std::to_string(streams.size()) +
                        " video and sound streams, the first segment " + std::to_string(units.size()));
    std::vector<int> outputOf(input->nb_streams, -1); // the output stream of each input stream
    for (size_t k = 0; k < streams.size(); ++k) {
      const AVCodecParameters &p = *input->streams[streams[k]]->codecpar, &q = *muxer->streams[k]->codecpar;
      if (!sameSetUp(p, q))
        throw OutputError(nameOf(segments[s]) + ": stream " + std::to_string(streams[k]) + " (" + layoutOf(p) +
                          ") is not the first segment's (" + layoutOf(q) + ")");
      outputOf[size_t(streams[k])] = int(k);
    }
    std::vector<int64_t> ends(units.size(), 0); // where each stream of this segment ends, in its unit
    bool firstVideo = true;
    while ((result = av_read_frame(input.get(), packet.get())) >= 0) {
      const int i = outputOf[size_t(packet->stream_index)];
      if (i < 0) {
        av_packet_unref(packet.get());
        continue;
      }
      const AVStream *in = input->streams[packet->stream_index];
      const AVRational unit = units[size_t(i)];
      const bool video = in->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
      if (video && firstVideo && !(packet->flags & AV_PKT_FLAG_KEY))
        throw OutputError(nameOf(segments[s]) + ": its video does not start on a key frame");
      firstVideo = firstVideo && !video;
      // Times in units (nearest), moved on by what came before, in the output's time base.
      const auto shift = [&](int64_t t) {
        return t == AV_NOPTS_VALUE ? t : av_rescale_q(t, in->time_base, unit) + offsets[size_t(i)];
      };
      int64_t duration = av_rescale_q(packet->duration, in->time_base, unit);
      if (!video && duration <= 0)
        duration = av_get_audio_frame_duration2(in->codecpar, packet->size);
      packet->pts = shift(packet->pts);
      packet->dts = shift(packet->dts);
      packet->duration = duration;
      if (packet->pts != AV_NOPTS_VALUE)
        ends[size_t(i)] = std::max(ends[size_t(i)], packet->pts + duration - offsets[size_t(i)]);
      av_packet_rescale_ts(packet.get(), unit, muxer->streams[i]->time_base);
      packet->pos = -1;
      packet->stream_index = i;
      if ((result = av_interleaved_write_frame(muxer.get(), packet.get())) < 0)
        throw OutputError("cannot write a packet of " + nameOf(segments[s]) + " (" + av::errorText(result) + ")");
    }
    if (result != AVERROR_EOF)
      throw OutputError(nameOf(segments[s]) + ": cannot be read to its end (" + av::errorText(result) + ")");
    for (size_t i = 0; i < units.size(); ++i)
      offsets[i] += ends[i];
  }
  if ((result = av_write_trailer(muxer.get())) < 0 || (result = avio_closep(&muxer->pb)) < 0)
    throw OutputError("cannot complete the file (" + av::errorText(result) + ")");
  staging.commit();
}

} // namespace

void joinSegments(const std::vector<fs::path> &segments, const std::string &output, const JoinOptions &options) {
  if (segments.empty())
    throw OutputError("no segments to join");
  const OutputKind kind = outputKind(output);
  std::error_code ec;
  for (const fs::path &segment : segments) {
    if (!fs::exists(segment, ec))
      throw OutputError(nameOf(segment) + ": no such file or folder");
    const bool folder = fs::is_directory(segment, ec);
    if (folder != (kind == OutputKind::pngFrames) ||
        (!folder && outputKind(segment.string()) != (kind == OutputKind::y4mStdout ? OutputKind::y4m : kind)))
      throw OutputError(nameOf(segment) + ": not of the output's kind (" + output + ")");
  }
  switch (kind) {
  case OutputKind::y4m:
  case OutputKind::y4mStdout: return joinY4m(segments, output);
  case OutputKind::pngFrames: return joinPngFrames(segments, output);
  case OutputKind::mkv:
  case OutputKind::mp4:
  case OutputKind::mov: return joinContainers(segments, output, options);
  case OutputKind::pngStill:
  case OutputKind::discard: break;
  }
  throw OutputError(output + ": segments cannot be joined into it (name a .y4m, .mkv, .mp4, .mov or a folder of frames)");
}

} // namespace vxhost
