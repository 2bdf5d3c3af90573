// Joining rendered segments (contiguous frame ranges of one render, in
// order) into one output without decoding or encoding them again.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/media/output.hpp"

namespace vxhost {

struct JoinOptions {
  // The frame rate of the segments, exact; 0 / 0 takes the rate the first
  // segment's video stream states.
  int rateNum = 0, rateDen = 0;
};

// Joins `segments` into `output` (named as for openWriter; written through a
// temporary file or folder, so that it is whole or as it was):
//   Y4M     segments of one header: the header once, then every frame;
//   PNG frames  folders of frames: every file, under its own name;
//   Matroska, MP4, MOV  segments of the same streams: their packets copied,
//           timed on after the frames and samples before them, with the
//           first segment's timecode. Video segments must each start on a
//           key frame with no reference before it (closed groups): the
//           render's own outputs do. Sound must be PCM (AAC's priming at each
//           start would be heard).
// The result is what one render of the whole range writes, byte for byte
// for Y4M and PNG frames and packet for packet for FFV1 (segments starting
// on multiples of its 12-frame groups). Throws OutputError naming the
// segment at fault: a missing segment, one of another kind or layout than
// the first, or an output kind that cannot be joined (a single .png, /dev/null).
void joinSegments(const std::vector<std::filesystem::path> &segments, const std::string &output,
                  const JoinOptions &options = {});

// Frames in a group of FFV1's own (a key frame starts each): segments of a
// Matroska render start on multiples of it to join packet for packet.
constexpr int kFfv1GroupFrames = 12;

} // namespace vxhost
