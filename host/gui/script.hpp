// The headless backend's line script (docs/gui.md, "The headless script").
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace vxhost::gui {

// A script error; the message names the script and the line.
class ScriptError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct ScriptCommand {
  enum class Type { move, press, release, click, drag, key, type, screenshot, monitor, wheel, close };
  Type type = Type::move;
  int line = 0;
  int x = 0, y = 0, x2 = 0, y2 = 0;
  bool right = false, shift = false;
  int steps = 8;
  int32_t key = 0;
  int wheelRows = 0;
  std::string text; // type: UTF-8 text; screenshot/monitor: file
};

struct Script {
  std::string name; // for messages: the file name
  std::vector<ScriptCommand> commands;
};

// Parses script text. Coordinates must lie on a screenWidth x screenHeight
// screen. Throws ScriptError naming the line.
Script parseScript(const std::string &text, const std::string &name, int screenWidth, int screenHeight);
// Reads and parses a script file. Throws ScriptError.
Script readScript(const std::filesystem::path &path, int screenWidth, int screenHeight);

// The key code of a key as the script and docs/gui.md name it: one character
// ("e", "7"), a hexadecimal number ("0x100065") or a key name ("escape",
// "delete", "ctrl+e", "f1"). False when it names no key.
bool parseKeyCode(const std::string &word, int32_t &code);

} // namespace vxhost::gui
