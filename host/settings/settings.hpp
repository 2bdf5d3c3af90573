// The reference host's own C++ API, for the host program, the tools and the
// tests. The operator never includes this file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vxhost/oplibcommon.h"

namespace vxhost {

// ---- home, language -------------------------------------------------------

// Sets VXHOME (in the process environment) to `dir`, creating it when missing.
// Throws std::runtime_error with a clear message when it cannot be made or written.
void setHome(const std::filesystem::path &dir);
// The default home: $XDG_DATA_HOME/vxhost, else ~/.local/share/vxhost.
std::filesystem::path defaultHome();
// The language of resource strings: "english" (default) or "deutsch".
void setLanguage(const std::string &language);
const std::string &language();
// Folder holding the resource sets (default: the installed data/resources).
void setResourceDir(const std::filesystem::path &dir);
const std::filesystem::path &resourceDir();
// Folder of the texture library that txGetOpImage reads (default: the
// installed data/textures); an empty path restores the default.
void setTextureDir(const std::filesystem::path &dir);
std::filesystem::path textureDir();

// ---- video format -----------------------------------------------------------

// How the two fields of a frame lie in time. Fields are numbered in time
// order: field t belongs to frame t / 2 either way.
enum class Scan {
  tff,        // top field (lines 0, 2, …) first
  bff,        // bottom field (lines 1, 3, …) first
  progressive // both fields show the same instant
};

struct Format {
  int width = 720;          // frame width
  int height = 576;         // frame height (a field is height / 2 lines)
  int pixelAspect = 1000;   // per mille
  int rateNum = 25, rateDen = 1;
  Scan scan = Scan::tff;
};
// The lines of field t: 0 for the top field (lines 0, 2, …), 1 for the bottom one.
constexpr int fieldParity(const Format &format, int64_t field) {
  return int(field & 1) ^ (format.scan == Scan::bff ? 1 : 0);
}
constexpr bool isInterlaced(const Format &format) { return format.scan != Scan::progressive; }
void setFormat(const Format &format);
const Format &format();

// ---- screen ------------------------------------------------------------------

struct Screen {
  int width = 1920, height = 1080;
  int safeMargin = 0;        // the visible area is inset by this many pixels
  int pixelAspect = 1000;    // cgGetPixelAspect(4)
  int fontHeight = 14;       // cgGetFontHeightMonitor
  int addHeight = 6;         // cgGetAddHeight; row unit = 20
  bool videoMonitor = false; // cgGetConnectedMonitors() == 3 when true
};
void setScreen(const Screen &screen);
const Screen &screen();
// The screen's video plane that cgmxYUVAtoOvl writes (width x height YUVA words).
std::vector<uint32_t> &overlayPlane();

// The video monitor's picture that cgWriteImage(1, ...) draws into: the
// format's frame size, made (cleared) on the first write after a reset or a
// change of format; empty until then. Only drawn while screen().videoMonitor.
struct MonitorPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // width x height YUVA words
};
const MonitorPicture &monitorPicture();

// Calls the operator made that leave no other trace.
struct CallCounts {
  int busyPointer = 0;
  int standardPointer = 0;
};
CallCounts &callCounts();

// ---- images --------------------------------------------------------------------

// OpImages and CImages allocated and not yet released.
int liveImageCount();

// ---- scenes, input and output -----------------------------------------------

// A clip as the host sees it: `length` frames, each the format's frame size in
// YUVA words (0xYYUUVVAA). frame() may return null for a frame that cannot be
// decoded; the pointer stays valid until the next call on the same source.
class FrameSource {
public:
  virtual ~FrameSource() = default;
  virtual int length() const = 0;
  virtual const uint32_t *frame(int index) = 0;
  // Writes lines parity, parity + 2, … of frame `index` (width x height / 2
  // words) to `out`; false where frame() gives null. The default copies
  // them out of frame(); a source that keeps its frames in another form
  // writes them straight from it, saving the whole frame's words.
  virtual bool field(int index, int parity, uint32_t *out);
  // Field `number` in time order with lines `parity` (see fieldParity). The
  // default takes frame number / 2; a clip at the field rate of an
  // interlaced format gives each field a picture of its own instant.
  virtual bool fieldAt(int number, int parity, uint32_t *out) { return field(number / 2, parity, out); }
  // Field `number` with lines `parity` as a new kind-1 image of the format's
  // field size, when the source has made it already (a clip read ahead);
  // null when it has not, and the field is then asked for with fieldAt().
  virtual OpImage *madeField(int number, int parity) {
    (void)number, (void)parity;
    return nullptr;
  }
};
// A source made of frames held in memory (each width x height of the format).
std::shared_ptr<FrameSource> memorySource(std::vector<std::vector<uint32_t>> frames);

// Makes `source` scene `id` (null removes it); `name` is what the scene
// requester shows beside the ID.
void setScene(int32_t id, std::shared_ptr<FrameSource> source, std::string name = {});
void clearScenes();
void setInput(std::shared_ptr<FrameSource> source); // null: opGetField yields null
// Counts opGetField calls (tests check that the input is not fetched).
int inputFetchCount();

// Receives every image handed to opPutField and owns it (must opFreeImage it).
// Without a sink the image is released at once.
void setFieldSink(std::function<void(OpImage *)> sink);

// ---- log -------------------------------------------------------------------------

struct LogRecord {
  int32_t level = 0;
  int32_t line = 0;
  std::string source;
  uint32_t code = 0;
  std::string text;
};
// While capturing, records are also kept in memory (besides the file).
void captureLog(bool on);
std::vector<LogRecord> takeLog();   // the captured records, emptied
// The log file in use ($VXHOST_LOG, else $VXHOME/log/vxhost.log).
std::filesystem::path logPath();

// ---- reset -----------------------------------------------------------------------

// Back to defaults: format, screen, language, scenes, input, sink, counters,
// overlay plane, captured log (VXHOME is left as it is).
void reset();

} // namespace vxhost
