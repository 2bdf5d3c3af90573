// Clips for scenes and the effect's input: video and image files through
// FFmpeg, and the built-in test patterns. Every clip yields frames of the
// format's size as 0xYYUUVVAA words (see host/media/yuv.hpp).
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/media/frame_convert.hpp"
#include "host/scenes/registry.hpp"
#include "host/scenes/timecode.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

// A clip cannot be opened; what() says why, without the clip's name.
class SourceError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A FrameSource that can say why a frame came back null.
class ClipSource : public FrameSource {
public:
  // The reason for the most recent null frame, emptied by the call; empty
  // when every frame asked for since the last call was delivered.
  virtual std::string takeFailure() { return {}; }
};

// True for the names of built-in clips: "pattern:…", "colour:…", "color:…".
bool isPatternName(const std::string &name);

// A built-in clip of `length` frames: "pattern:bars" (75 % colour bars),
// "pattern:gradient" (a moving gradient with the frame number drawn on it),
// "pattern:solid:#RRGGBB" or "colour:#RRGGBB" (one colour). Throws
// SourceError for an unknown pattern or a malformed colour. The moving
// gradient starts at its frame `first`.
std::shared_ptr<ClipSource> openPattern(const std::string &name, int length, const Format &format, int first = 0);

struct MediaOptions {
  // Frames asked for: a video is cut to this many (never lengthened); 0 takes
  // the whole video.
  int length = 0;
  // The length of a still image (a file holding one picture).
  int stillLength = 1;
  // The in-point: the clip's first frame shown is the one at this time
  // (format frames after the clip's start).
  FrameTime start;
  // How pictures of another shape fill the frame.
  Fit fit = Fit::fill;
  // Pictures keep their alpha (scenes); else they are opaque (the input).
  bool keepAlpha = false;
  // Decoded frames kept for going back; at least one frame is always kept.
  std::size_t cacheBytes = std::size_t{128} << 20;
};

// Opens a video or image file that libavformat and libavcodec can read.
// Counts and indexes the frames from the container's index where it has
// one (MP4, MOV, AVI, Matroska with cues, Y4M), else by reading every packet
// once; a still image is decoded at once. Throws SourceError when the file is
// missing, is not a video or image, has no frames, or is damaged or
// truncated where that shows without decoding every frame.
std::shared_ptr<ClipSource> openMediaFile(const std::filesystem::path &path, const Format &format,
                                          const MediaOptions &options = {});

} // namespace vxhost
