// The sound of a render: a clip's audio decoded from a point in time, in the
// sample format an encoder takes, or silence.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/media/av.hpp"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

namespace vxhost {

class AudioError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Where a track's samples come from.
struct AudioSource {
  std::filesystem::path file; // empty: silence
  // Seconds into the clip (after its video's first frame) of the first
  // sample: num / den.
  int64_t startNum = 0, startDen = 1;
};

// Samples at the source's rate and channel layout (48 kHz stereo for
// silence), in one sample format, from the start time on; silence where
// the source has none (before its audio starts, in gaps, past its end).
class AudioTrack {
public:
  // Opens the file's first audio stream; null when the file has none.
  // Throws AudioError when it cannot be decoded.
  static std::unique_ptr<AudioTrack> open(const AudioSource &source);
  // 48 kHz stereo silence.
  static std::unique_ptr<AudioTrack> silence();
  ~AudioTrack();
  AudioTrack(const AudioTrack &) = delete;
  AudioTrack &operator=(const AudioTrack &) = delete;

  int sampleRate() const { return sampleRate_; }
  const AVChannelLayout &layout() const { return layout_; }
  // Bits per sample of the source (16 for silence), for choosing PCM.
  int sourceBits() const { return sourceBits_; }

  // The samples are delivered in `format` from here on (call before read).
  void deliverAs(AVSampleFormat format);
  // The next frame->nb_samples samples into `frame` (its format, layout and
  // buffers set up for deliverAs's format). Throws AudioError.
  void read(AVFrame &frame);

private:
  AudioTrack();
  // Decodes until the FIFO holds `count` samples or the source ends.
  void fill(int count);
  void pushSilence(int64_t count);

  av::InputPtr input_;
  av::CodecPtr decoder_;
  int stream_ = -1;
  int sampleRate_ = 48000;
  int sourceBits_ = 16;
  AVChannelLayout layout_{};
  AVSampleFormat format_ = AV_SAMPLE_FMT_FLTP;
  struct FifoFree {
    void operator()(AVAudioFifo *fifo) const { av_audio_fifo_free(fifo); }
  };
  struct SwrFree {
    void operator()(SwrContext *context) const { swr_free(&context); }
  };
  std::unique_ptr<AVAudioFifo, FifoFree> fifo_;
  std::unique_ptr<SwrContext, SwrFree> resampler_;
  av::PacketPtr packet_ = av::makePacket();
  av::FramePtr decoded_ = av::makeFrame();
  int64_t origin_ = 0;   // the source's time 0 (its video's first frame) in the audio's time base
  int64_t next_ = 0;     // source sample (from time 0) the FIFO's end stands for
  bool ended_ = true;    // no more samples from the source
};

} // namespace vxhost
