// Y4M clips over fuzzed bytes after the "YUV4MPEG2 " magic: the stream header (size, rate, interlacing,
// aspect, colour space, extra fields), the FRAME lines and the frame data,
// opened as a scene clip through the host's media reader (FFmpeg's demuxer
// and decoder, the host's completeness checks, its conversion to the format's
// words). The bytes stay in memory: an anonymous memory file opened through
// /proc/self/fd. Only a SourceError may come out; a clip that opens has
// frames, each one fetched comes back at the format's size or null with a
// reason.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz_env.hpp"
#include "host/scenes/sources.hpp"

namespace {

int memoryFile = -1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::quietLog();
  memoryFile = memfd_create("clip.y4m", 0);
  if (memoryFile < 0) fuzzing::fail("no memory file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Larger inputs only add frame bytes.
  if (size > 4096) return 0;
  // The magic is given, so that every input is read as a Y4M stream.
  const std::string bytes = "YUV4MPEG2 " + std::string(reinterpret_cast<const char *>(data), size);
  if (ftruncate(memoryFile, 0) != 0 ||
      pwrite(memoryFile, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size()))
    fuzzing::fail("cannot fill the memory file");
  vxhost::Format format;
  format.width = 8;
  format.height = 6;
  vxhost::MediaOptions options;
  options.cacheBytes = 4096;
  std::shared_ptr<vxhost::ClipSource> clip;
  try {
    clip = vxhost::openMediaFile("/proc/self/fd/" + std::to_string(memoryFile), format, options);
  } catch (const vxhost::SourceError &) {
    return 0;
  }
  if (!clip || clip->length() <= 0) fuzzing::fail("a clip without frames opened");
  for (int index : {0, clip->length() - 1, 0}) {
    if (clip->frame(index) == nullptr && clip->takeFailure().empty())
      fuzzing::fail("a frame missing without a reason");
  }
  return 0;
}
