// The host's own settings: home, language, resources, format, screen, scenes,
// input and output of fields, reset.
#include "host/settings/settings.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

#include "host/gui/gui.hpp"
#include "host/state.hpp"
#include "vxhost/orvexares.h"

namespace vxhost {

namespace fs = std::filesystem;

HostState &hostState() {
  static HostState state = [] {
    HostState s;
    s.overlay.assign(size_t(s.screen.width) * size_t(s.screen.height), 0);
    return s;
  }();
  return state;
}

// ---- home, language, resources ---------------------------------------------

void setHome(const fs::path &dir) {
  if (dir.empty())
    throw std::runtime_error("VXHOME: no directory given");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec)
    throw std::runtime_error("VXHOME: cannot make " + dir.string() + ": " + ec.message());
  if (!fs::is_directory(dir))
    throw std::runtime_error("VXHOME: " + dir.string() + " is not a directory");
  if (::access(dir.c_str(), W_OK | X_OK) != 0)
    throw std::runtime_error("VXHOME: " + dir.string() + " is not writable: " +
                             std::strerror(errno));
  // The operator joins VXHOME and "/programs/..." without a separator, so the
  // value is absolute and carries no trailing slash.
  fs::path absolute = fs::absolute(dir, ec).lexically_normal();
  if (ec)
    throw std::runtime_error("VXHOME: cannot resolve " + dir.string() + ": " + ec.message());
  std::string value = absolute.string();
  while (value.size() > 1 && value.back() == '/')
    value.pop_back();
  if (::setenv("VXHOME", value.c_str(), 1) != 0)
    throw std::runtime_error("VXHOME: cannot set the environment variable");
}

fs::path defaultHome() {
  const char *xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/')
    return fs::path(xdg) / "vxhost";
  const char *home = std::getenv("HOME");
  if (!home || !*home)
    throw std::runtime_error("no home directory: neither XDG_DATA_HOME nor HOME is set");
  return fs::path(home) / ".local/share/vxhost";
}

// A language or resource set name becomes a file name: letters, digits, '_'
// and '-' only, so that it can never leave the resource folder.
static bool isPlainName(const std::string &name) {
  if (name.empty() || name.size() > 64)
    return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
      return false;
  return true;
}

void setLanguage(const std::string &language) {
  if (!isPlainName(language))
    throw std::invalid_argument("language: \"" + language + "\" is not a plain name");
  hostState().language = language;
}

const std::string &language() { return hostState().language; }

void setResourceDir(const fs::path &dir) {
  HostState &s = hostState();
  s.resourceDir = dir;
  // The toolkit's set comes from the folder in use; load it anew from there.
  resFreeImages(s.guiResource);
  s.guiResource = 0;
}

const fs::path &resourceDir() {
  static const fs::path installed = fs::path(VXHOST_DATA_DIR) / "resources";
  const HostState &s = hostState();
  return s.resourceDir.empty() ? installed : s.resourceDir;
}

// ---- format and screen ------------------------------------------------------------

void setFormat(const Format &format) {
  // Fields are height / 2 lines and image sizes are 16-bit.
  if (format.width < 2 || format.width > 32767 || format.height < 2 || format.height > 32767 ||
      format.height % 2 != 0)
    throw std::invalid_argument("format: the frame must be 2..32767 pixels wide and an even "
                                "2..32767 lines high");
  if (format.pixelAspect <= 0 || format.pixelAspect > 65535)
    throw std::invalid_argument("format: the pixel aspect must be 1..65535 per mille");
  if (format.rateNum <= 0 || format.rateDen <= 0)
    throw std::invalid_argument("format: the frame rate must be positive");
  HostState &s = hostState();
  s.format = format;
  s.monitor = MonitorPicture{};
}

const Format &format() { return hostState().format; }

void setScreen(const Screen &screen) {
  if (screen.width < 16 || screen.width > 32767 || screen.height < 16 || screen.height > 32767)
    throw std::invalid_argument("screen: the size must be 16..32767 pixels each way");
  if (screen.safeMargin < 0 || 2 * screen.safeMargin >= screen.width ||
      2 * screen.safeMargin >= screen.height)
    throw std::invalid_argument("screen: the safe margin leaves no visible area");
  if (screen.pixelAspect <= 0 || screen.pixelAspect > 65535 || screen.fontHeight <= 0 ||
      screen.addHeight < 0)
    throw std::invalid_argument("screen: pixel aspect and font height must be positive");
  HostState &s = hostState();
  s.screen = screen;
  s.overlay.assign(size_t(screen.width) * size_t(screen.height), 0);
}

const Screen &screen() { return hostState().screen; }

std::vector<uint32_t> &overlayPlane() { return hostState().overlay; }

const MonitorPicture &monitorPicture() { return hostState().monitor; }

CallCounts &callCounts() { return hostState().counts; }

// ---- scenes, input and output ----------------------------------------------------

bool FrameSource::field(int index, int parity, uint32_t *out) {
  const uint32_t *pixels = frame(index);
  if (!pixels)
    return false;
  const Format &f = format();
  const size_t width = size_t(f.width);
  for (int y = parity; y < f.height; y += 2, out += width)
    std::memcpy(out, pixels + size_t(y) * width, width * 4);
  return true;
}

namespace {

class MemorySource final : public FrameSource {
public:
  explicit MemorySource(std::vector<std::vector<uint32_t>> frames) : frames_(std::move(frames)) {}
  int length() const override { return static_cast<int>(frames_.size()); }
  const uint32_t *frame(int index) override {
    if (index < 0 || index >= length())
      return nullptr;
    const Format &f = format();
    const std::vector<uint32_t> &frame = frames_[size_t(index)];
    // A frame of another size than the format's cannot be read as one.
    if (frame.size() != size_t(f.width) * size_t(f.height))
      return nullptr;
    return frame.data();
  }

private:
  std::vector<std::vector<uint32_t>> frames_;
};

} // namespace

std::shared_ptr<FrameSource> memorySource(std::vector<std::vector<uint32_t>> frames) {
  return std::make_shared<MemorySource>(std::move(frames));
}

void setScene(int32_t id, std::shared_ptr<FrameSource> source, std::string name) {
  HostState &s = hostState();
  if (source) {
    s.scenes[id] = std::move(source);
    s.sceneNames[id] = std::move(name);
  } else {
    s.scenes.erase(id);
    s.sceneNames.erase(id);
  }
}

void clearScenes() {
  hostState().scenes.clear();
  hostState().sceneNames.clear();
}

void setInput(std::shared_ptr<FrameSource> source) { hostState().input = std::move(source); }

int inputFetchCount() { return hostState().inputFetches; }

void setFieldSink(std::function<void(OpImage *)> sink) { hostState().fieldSink = std::move(sink); }

// ---- reset ---------------------------------------------------------------------------

void reset() {
  HostState &s = hostState();
  resFreeImages(s.guiResource);
  s.guiResource = 0;
  s.format = Format{};
  s.screen = Screen{};
  s.language = "english";
  s.resourceDir.clear();
  s.overlay.assign(size_t(s.screen.width) * size_t(s.screen.height), 0);
  s.monitor = MonitorPicture{};
  s.counts = CallCounts{};
  s.scenes.clear();
  s.sceneNames.clear();
  s.input.reset();
  s.inputFetches = 0;
  s.fieldSink = nullptr;
  setTextureDir({});
  gui::resetGui();
  resetLogCapture();
}

} // namespace vxhost
