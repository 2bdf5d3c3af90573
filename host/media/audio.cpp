#include "host/media/audio.hpp"

#include <algorithm>
#include <vector>

namespace vxhost {

AudioTrack::AudioTrack() = default;

AudioTrack::~AudioTrack() { av_channel_layout_uninit(&layout_); }

std::unique_ptr<AudioTrack> AudioTrack::silence() {
  std::unique_ptr<AudioTrack> track(new AudioTrack());
  av_channel_layout_default(&track->layout_, 2);
  return track;
}

std::unique_ptr<AudioTrack> AudioTrack::open(const AudioSource &source) {
  AVFormatContext *raw = nullptr;
  int result = avformat_open_input(&raw, source.file.c_str(), nullptr, nullptr);
  if (result < 0)
    throw AudioError("its audio cannot be read (" + av::errorText(result) + ")");
  av::InputPtr input(raw);
  if ((result = avformat_find_stream_info(input.get(), nullptr)) < 0)
    throw AudioError("its audio cannot be read (" + av::errorText(result) + ")");
  const AVCodec *codec = nullptr;
  const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream == AVERROR_STREAM_NOT_FOUND)
    return nullptr;
  if (stream < 0)
    throw AudioError("its audio cannot be decoded (no decoder)");
  const AVStream *s = input->streams[stream];
  std::unique_ptr<AudioTrack> track(new AudioTrack());
  track->decoder_.reset(avcodec_alloc_context3(codec));
  if (!track->decoder_)
    throw std::bad_alloc();
  avcodec_parameters_to_context(track->decoder_.get(), s->codecpar);
  if ((result = avcodec_open2(track->decoder_.get(), codec, nullptr)) < 0)
    throw AudioError("its audio cannot be decoded (" + av::errorText(result) + ")");
  track->sampleRate_ = s->codecpar->sample_rate;
  if (track->sampleRate_ <= 0)
    throw AudioError("its audio has no sample rate");
  if (s->codecpar->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&track->layout_, std::max(1, s->codecpar->ch_layout.nb_channels));
  else
    av_channel_layout_copy(&track->layout_, &s->codecpar->ch_layout);
  const int rawBits = s->codecpar->bits_per_raw_sample;
  const int codedBits = av_get_exact_bits_per_sample(s->codecpar->codec_id);
  track->sourceBits_ = rawBits > 0 ? rawBits : codedBits > 0 ? codedBits : 16;

  // Time 0 of the clip is its video's first frame, as the pictures count it.
  const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0 && input->streams[video]->start_time != AV_NOPTS_VALUE)
    track->origin_ = av_rescale_q(input->streams[video]->start_time, input->streams[video]->time_base, s->time_base);
  else if (s->start_time != AV_NOPTS_VALUE)
    track->origin_ = s->start_time;
  // The first sample: start seconds at the sample rate, rounded down.
  track->next_ = int64_t(__int128(source.startNum) * track->sampleRate_ / source.startDen);
  if (track->next_ > 0) {
    // From a little earlier: a decoder needs the frames before the first
    // sample (AAC overlaps each frame with the one before it, MP3 keeps a
    // reservoir) to give the samples continuous decoding gives. What comes
    // before the first sample is dropped.
    const int64_t preRoll = track->sampleRate_ / 5;
    const int64_t at = track->origin_ + av_rescale_q(std::max<int64_t>(track->next_ - preRoll, 0),
                                                     AVRational{1, track->sampleRate_}, s->time_base);
    // A seek that fails leaves the demuxer at the start: decoding from there is slower, not wrong.
    if (av_seek_frame(input.get(), stream, at, AVSEEK_FLAG_BACKWARD) >= 0)
      avcodec_flush_buffers(track->decoder_.get());
  }
  track->input_ = std::move(input);
  track->stream_ = stream;
  track->ended_ = false;
  return track;
}

void AudioTrack::deliverAs(AVSampleFormat format) {
  format_ = format;
  fifo_.reset(av_audio_fifo_alloc(format, layout_.nb_channels, 4096));
  if (!fifo_)
    throw std::bad_alloc();
  resampler_.reset();
}

void AudioTrack::pushSilence(int64_t count) {
  constexpr int kChunk = 4096;
  uint8_t **data = nullptr;
  if (av_samples_alloc_array_and_samples(&data, nullptr, layout_.nb_channels, kChunk, format_, 0) < 0)
    throw std::bad_alloc();
  av_samples_set_silence(data, 0, kChunk, layout_.nb_channels, format_);
  for (int64_t left = count; left > 0; left -= kChunk)
    av_audio_fifo_write(fifo_.get(), reinterpret_cast<void **>(data), int(std::min<int64_t>(left, kChunk)));
  av_freep(&data[0]);
  av_freep(&data);
}

// Each decoded frame lands at its own time: a gap before it is filled with
// silence, samples before the FIFO's end (an overlap, or what precedes the
// start after a seek) are dropped.
void AudioTrack::fill(int count) {
  const AVRational timeBase = input_ ? input_->streams[stream_]->time_base : AVRational{1, 1};
  while (!ended_ && av_audio_fifo_size(fifo_.get()) < count) {
    int result = avcodec_receive_frame(decoder_.get(), decoded_.get());
    if (result == AVERROR(EAGAIN)) {
      result = av_read_frame(input_.get(), packet_.get());
      if (result == AVERROR_EOF) {
        avcodec_send_packet(decoder_.get(), nullptr);
      } else if (result < 0) {
        throw AudioError("its audio cannot be read (" + av::errorText(result) + ")");
      } else {
        if (packet_->stream_index == stream_)
          avcodec_send_packet(decoder_.get(), packet_.get()); // a damaged packet is left out: a gap of silence
        av_packet_unref(packet_.get());
      }
      continue;
    }
    if (result == AVERROR_EOF) {
      ended_ = true;
      break;
    }
    if (result < 0)
      throw AudioError("its audio cannot be decoded (" + av::errorText(result) + ")");
    if (!resampler_) {
      SwrContext *context = nullptr;
      if (swr_alloc_set_opts2(&context, &layout_, format_, sampleRate_, &decoded_->ch_layout,
                              static_cast<AVSampleFormat>(decoded_->format), decoded_->sample_rate, 0, nullptr) < 0 ||
          swr_init(context) < 0) {
        swr_free(&context);
        throw AudioError("its audio cannot be converted");
      }
      resampler_.reset(context);
    }
    const int64_t pts = decoded_->best_effort_timestamp;
    const int64_t at = pts == AV_NOPTS_VALUE ? next_ : av_rescale_q(pts - origin_, timeBase, AVRational{1, sampleRate_});
    const int capacity = swr_get_out_samples(resampler_.get(), decoded_->nb_samples);
    uint8_t **data = nullptr;
    if (av_samples_alloc_array_and_samples(&data, nullptr, layout_.nb_channels, std::max(capacity, 1), format_, 0) < 0)
      throw std::bad_alloc();
    const int converted = swr_convert(resampler_.get(), data, capacity,
                                      const_cast<const uint8_t **>(decoded_->extended_data), decoded_->nb_samples);
    av_frame_unref(decoded_.get());
    if (converted > 0) {
      if (at > next_) {
        pushSilence(at - next_);
        next_ = at;
      }
      const int64_t skip = std::min<int64_t>(next_ - at, converted);
      if (skip < converted) {
        std::vector<uint8_t *> from(size_t(layout_.nb_channels));
        const bool planar = av_sample_fmt_is_planar(format_);
        const int bytes = av_get_bytes_per_sample(format_);
        for (int c = 0; c < (planar ? layout_.nb_channels : 1); ++c)
          from[size_t(c)] = data[c] + skip * bytes * (planar ? 1 : layout_.nb_channels);
        av_audio_fifo_write(fifo_.get(), reinterpret_cast<void **>(from.data()), int(converted - skip));
        next_ += converted - skip;
      }
    }
    av_freep(&data[0]);
    av_freep(&data);
  }
}

void AudioTrack::read(AVFrame &frame) {
  const int count = frame.nb_samples;
  if (input_)
    fill(count);
  const int have = av_audio_fifo_size(fifo_.get());
  if (have < count)
    pushSilence(count - have);
  if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void **>(frame.extended_data), count) != count)
    throw AudioError("its audio cannot be delivered");
}

} // namespace vxhost
