// The reference host's settings: home, language, folders, video format and
// screen. A leaf of the host: it depends on no other part of it, and every
// other part reads the settings from here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vxhost {

// ---- home, language, folders ------------------------------------------------

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

// Languages and resource set names become file and folder names: true for 1
// to 64 letters, digits, '_' and '-', so that such a name never leaves its folder.
bool isPlainName(std::string_view name);

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

// ---- changes -------------------------------------------------------------------

// Counts of setFormat, setScreen and setResourceDir calls (resets included),
// so that what is made for one format, screen or resource folder (the video
// monitor's picture, the overlay plane, the toolkit's image set) can tell
// that it is out of date without the settings knowing about it.
struct SettingsChanges {
  uint64_t format = 0, screen = 0, resourceDir = 0;
};
const SettingsChanges &settingsChanges();

// Back to the defaults: format, screen, language, resource and texture
// folders (VXHOME is left as it is).
void resetSettings();

} // namespace vxhost
