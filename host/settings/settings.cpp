// The host's settings and their checks.
#include "host/settings/settings.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace vxhost {

namespace fs = std::filesystem;

namespace {

// Widths and heights are 16-bit signed in every image record.
constexpr int kMaxSide = 32767;
// Aspects are per mille in 16-bit unsigned fields.
constexpr int kMaxAspect = 65535;
constexpr size_t kMaxPlainName = 64;
constexpr const char *kDefaultLanguage = "english";

struct Settings {
  Format format;
  Screen screen;
  std::string language = kDefaultLanguage;
  fs::path resourceDir; // empty: the installed default
  fs::path textureDir;  // empty: the installed default
  SettingsChanges changes;
};

Settings &settings() {
  static Settings state;
  return state;
}

} // namespace

// ---- home, language, folders ---------------------------------------------

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

bool isPlainName(std::string_view name) {
  if (name.empty() || name.size() > kMaxPlainName)
    return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
      return false;
  return true;
}

void setLanguage(const std::string &language) {
  if (!isPlainName(language))
    throw std::invalid_argument("language: \"" + language + "\" is not a plain name");
  settings().language = language;
}

const std::string &language() { return settings().language; }

void setResourceDir(const fs::path &dir) {
  Settings &s = settings();
  s.resourceDir = dir;
  ++s.changes.resourceDir;
}

const fs::path &resourceDir() {
  static const fs::path installed = fs::path(VXHOST_DATA_DIR) / "resources";
  const Settings &s = settings();
  return s.resourceDir.empty() ? installed : s.resourceDir;
}

void setTextureDir(const fs::path &dir) { settings().textureDir = dir; }

fs::path textureDir() {
  const fs::path &dir = settings().textureDir;
  return dir.empty() ? fs::path(VXHOST_DATA_DIR) / "textures" : dir;
}

// ---- format and screen ------------------------------------------------------------

void setFormat(const Format &format) {
  // Fields are height / 2 lines and image sizes are 16-bit.
  if (format.width < 2 || format.width > kMaxSide || format.height < 2 || format.height > kMaxSide ||
      format.height % 2 != 0)
    throw std::invalid_argument("format: the frame must be 2..32767 pixels wide and an even "
                                "2..32767 lines high");
  if (format.pixelAspect <= 0 || format.pixelAspect > kMaxAspect)
    throw std::invalid_argument("format: the pixel aspect must be 1..65535 per mille");
  if (format.rateNum <= 0 || format.rateDen <= 0)
    throw std::invalid_argument("format: the frame rate must be positive");
  Settings &s = settings();
  s.format = format;
  ++s.changes.format;
}

const Format &format() { return settings().format; }

void setScreen(const Screen &screen) {
  constexpr int kMinScreenSide = 16;
  if (screen.width < kMinScreenSide || screen.width > kMaxSide || screen.height < kMinScreenSide ||
      screen.height > kMaxSide)
    throw std::invalid_argument("screen: the size must be 16..32767 pixels each way");
  if (screen.safeMargin < 0 || 2 * screen.safeMargin >= screen.width ||
      2 * screen.safeMargin >= screen.height)
    throw std::invalid_argument("screen: the safe margin leaves no visible area");
  if (screen.pixelAspect <= 0 || screen.pixelAspect > kMaxAspect || screen.fontHeight <= 0 ||
      screen.addHeight < 0)
    throw std::invalid_argument("screen: pixel aspect and font height must be positive");
  Settings &s = settings();
  s.screen = screen;
  ++s.changes.screen;
}

const Screen &screen() { return settings().screen; }

const SettingsChanges &settingsChanges() { return settings().changes; }

void resetSettings() {
  Settings &s = settings();
  const SettingsChanges changes = s.changes;
  s = Settings{};
  s.changes = {changes.format + 1, changes.screen + 1, changes.resourceDir + 1};
}

} // namespace vxhost
