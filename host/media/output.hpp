// Writing rendered frames: Y4M (y4m_writer.cpp); Matroska with FFV1, MP4 with
// H.264 or MPEG-4 Visual and MOV with ProRes or DNxHR (video_file_writer.cpp,
// encoder.cpp); PNG frames or one PNG (png_frames_writer.cpp); or nothing.
// Frames are the format's size in 0xYYUUVVAA words; alpha is not written.
//
// Everything is written under a temporary name in the target's folder and
// moved under the final name by finish() (atomic_file.hpp); a writer
// destroyed before that removes what it wrote, so a failed render never
// leaves a truncated file under the name asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/media/atomic_file.hpp"
#include "host/media/frame_lines.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

class AudioTrack;

enum class OutputKind {
  y4m,       // ".y4m": 4:4:4 8-bit (C444), the format's field order, exact
  y4mStdout, // "-": Y4M as above on standard output
  mkv,       // ".mkv": FFV1 4:4:4, lossless
  mp4,       // ".mp4": H.264 (libx264) or else MPEG-4 Visual, 4:2:0
  mov,       // ".mov": ProRes 422 HQ (or DNxHR HQX), 10-bit 4:2:2
  pngFrames, // a folder, or a file pattern with one %d / %0Nd: one RGB PNG per frame
  pngStill,  // "NAME.png": one RGB PNG of a one-frame render
  discard    // "/dev/null": frames are taken and dropped
};

// The kind of output a name asks for. A name ending in '/' or naming an
// existing folder is a folder of PNG frames. Throws OutputError for any other
// name whose extension is not one of the above, or a pattern that is not
// exactly one %d or %0Nd (N at most 9) before ".png".
OutputKind outputKind(const std::string &name);

class FrameWriter {
public:
  virtual ~FrameWriter() = default;
  FrameWriter(const FrameWriter &) = delete;
  FrameWriter &operator=(const FrameWriter &) = delete;

  // Appends one frame (width x height words). Throws OutputError when it
  // cannot be written.
  void write(const uint32_t *frame);
  // Appends the frame whose lines 0, 2, 4, … are the rows of `top` and lines
  // 1, 3, 5, … the rows of `bottom` (each width x height / 2 words), read in
  // place rather than woven into a frame first. A null field gives black
  // lines (a render that starts on a bottom field or ends on a top one).
  // Throws OutputError.
  void writeFields(const uint32_t *top, const uint32_t *bottom);
  // Completes the output and moves it under its final name. Throws OutputError.
  virtual void finish() = 0;

protected:
  explicit FrameWriter(const Format &format);

  virtual void writeLines(const FrameLines &lines) = 0;

  const Format format_;

private:
  std::vector<uint32_t> black_; // one line
};

// The video codec of a ".mov" output.
enum class MovCodec { prores, dnxhr };

struct WriterOptions {
  // The render's first frame: PNG frames are numbered from it, and video
  // files starting after frame 0 carry it as their start timecode.
  int firstFrame = 0;
  MovCodec movCodec = MovCodec::prores;
  // Threads of the FFV1, H.264, ProRes, DNxHR and PNG frames encoders (0:
  // as many as they choose). Only x264's bytes depend on it (its frame
  // threads code the frames differently).
  int encoderThreads = 1;
  // The sound, from the render's first frame on: AAC in MP4, PCM in
  // Matroska and MOV, as long as the frames written. Other outputs hold no
  // sound and leave it out. Null: no audio track.
  std::shared_ptr<AudioTrack> audio;
};

// Whether outputs of this kind hold an audio track.
bool holdsAudio(OutputKind kind);

// A writer for `name` (see outputKind) at `format`'s size, rate, pixel
// aspect and field order. Checks at once that the target's folder exists and
// can be written; a folder of frames named with a final '/' is made when
// missing (its parent must exist). Throws OutputError.
std::unique_ptr<FrameWriter> openWriter(const std::string &name, const Format &format,
                                        const WriterOptions &options = {});

// The encoder an ".mp4" output uses: "libx264" when libavcodec has it, else "mpeg4".
std::string mp4EncoderName();

// ---- the writers openWriter makes, one file each; they throw OutputError ----

// To `target`, or to standard output when `target` is empty.
std::unique_ptr<FrameWriter> makeY4mWriter(const std::filesystem::path &target, const Format &format);
// kind: mkv, mp4 or mov.
std::unique_ptr<FrameWriter> makeVideoFileWriter(const std::filesystem::path &target, const Format &format,
                                                 OutputKind kind, const WriterOptions &options);
// Frames named by the printf pattern (one %d) from firstFrame on, in
// `folder`, which is made first when `makeFolder`; compressed on `threads`
// threads (0: as many as the cores), the files the same however many.
std::unique_ptr<FrameWriter> makePngFramesWriter(const std::filesystem::path &folder, std::string pattern,
                                                 const Format &format, int firstFrame, bool makeFolder,
                                                 int threads);
// One frame as the PNG file `target`.
std::unique_ptr<FrameWriter> makePngStillWriter(const std::filesystem::path &target, const Format &format);

} // namespace vxhost
