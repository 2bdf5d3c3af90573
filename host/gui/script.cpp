// Reading the headless line script.
#include "host/gui/script.hpp"

#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include "host/gui/keys.hpp"

namespace vxhost::gui {

namespace {

using Type = ScriptCommand::Type;

struct LineParser {
  const std::string &name;
  int line;
  std::vector<std::string> words;
  size_t next = 1;
  int width, height;

  [[noreturn]] void fail(const std::string &why) const {
    throw ScriptError(name + ":" + std::to_string(line) + ": " + why);
  }
  bool more() const { return next < words.size(); }
  bool take(const char *word) {
    if (more() && words[next] == word) {
      ++next;
      return true;
    }
    return false;
  }
  int number(const char *what, int low, int high) {
    if (!more())
      fail(std::string("missing ") + what);
    const std::string &w = words[next++];
    int value = 0;
    const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), value);
    if (error != std::errc() || end != w.data() + w.size())
      fail(std::string(what) + " \"" + w + "\" is not a whole number");
    if (value < low || value > high)
      fail(std::string(what) + " " + w + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return value;
  }
  void point(int &x, int &y) {
    x = number("x", 0, width - 1);
    y = number("y", 0, height - 1);
  }
  void button(ScriptCommand &c) {
    if (take("right"))
      c.right = true;
    else
      take("left");
    c.shift = take("shift");
  }
  std::string file() {
    if (!more())
      fail("missing the file name");
    std::string f = words[next++];
    if (f.size() < 5 || f.compare(f.size() - 4, 4, ".png") != 0)
      fail("\"" + f + "\" is not a .png file name");
    return f;
  }
  void end() const {
    if (more())
      fail("unexpected \"" + words[next] + "\"");
  }
};

std::vector<std::string> splitWords(const std::string &text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;)
    words.push_back(w);
  return words;
}

} // namespace

bool parseKeyCode(const std::string &word, int32_t &code) {
  if (word.empty())
    return false;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(word.data() + 2, word.data() + word.size(), value, 16);
    if (error != std::errc() || end != word.data() + word.size() || value == 0 || value > 0x7FFFFFFF)
      return false;
    code = int32_t(value);
    return true;
  }
  std::string lower;
  for (char c : word)
    lower += char(std::tolower(static_cast<unsigned char>(c)));
  if (lower.rfind("ctrl+", 0) == 0 && lower.size() == 6 && std::isprint(static_cast<unsigned char>(lower[5]))) {
    code = keys::kCtrl | int32_t(static_cast<unsigned char>(lower[5]));
    return true;
  }
  if (lower.size() >= 2 && lower[0] == 'f' && std::isdigit(static_cast<unsigned char>(lower[1]))) {
    int n = 0;
    const auto [end, error] = std::from_chars(lower.data() + 1, lower.data() + lower.size(), n);
    if (error == std::errc() && end == lower.data() + lower.size() && n >= 1 && n <= 12) {
      code = keys::special(0x70 + n - 1);
      return true;
    }
  }
  for (const keys::NamedKey &k : keys::kNamedKeys)
    if (lower == k.name) {
      code = k.code;
      return true;
    }
  // One printable ASCII character; letters are named in lower case.
  if (word.size() == 1 && std::isgraph(static_cast<unsigned char>(word[0]))) {
    code = int32_t(std::tolower(static_cast<unsigned char>(word[0])));
    return true;
  }
  return false;
}

Script parseScript(const std::string &text, const std::string &name, int screenWidth, int screenHeight) {
  Script script;
  script.name = name;
  std::istringstream in(text);
  std::string raw;
  for (int lineNumber = 1; std::getline(in, raw); ++lineNumber) {
    if (!raw.empty() && raw.back() == '\r')
      raw.pop_back();
    const size_t first = raw.find_first_not_of(" \t");
    if (first == std::string::npos || raw[first] == '#')
      continue;
    // `type` takes the rest of the line as it stands; elsewhere '#' starts a comment.
    if (raw.compare(first, 5, "type ") == 0 || raw.compare(first, 5, "type\t") == 0) {
      ScriptCommand c;
      c.type = Type::type;
      c.line = lineNumber;
      c.text = raw.substr(first + 5);
      if (c.text.empty())
        throw ScriptError(name + ":" + std::to_string(lineNumber) + ": type needs a text");
      script.commands.push_back(c);
      continue;
    }
    const size_t hash = raw.find('#');
    LineParser p{name, lineNumber, splitWords(raw.substr(0, hash)), 1, screenWidth, screenHeight};
    if (p.words.empty())
      continue;
    ScriptCommand c;
    c.line = lineNumber;
    const std::string &command = p.words[0];
    if (command == "move") {
      c.type = Type::move;
      p.point(c.x, c.y);
    } else if (command == "press" || command == "release") {
      c.type = command == "press" ? Type::press : Type::release;
      p.button(c);
    } else if (command == "click") {
      c.type = Type::click;
      p.point(c.x, c.y);
      p.button(c);
    } else if (command == "drag") {
      c.type = Type::drag;
      p.point(c.x, c.y);
      p.point(c.x2, c.y2);
      c.shift = p.take("shift");
      if (p.take("steps"))
        c.steps = p.number("steps", 1, 10000);
    } else if (command == "key") {
      c.type = Type::key;
      if (!p.more())
        p.fail("key needs a key: a character, a number such as 0x100065 or a key name");
      if (!parseKeyCode(p.words[p.next], c.key))
        p.fail("\"" + p.words[p.next] + "\" names no key");
      ++p.next;
      c.shift = p.take("shift");
    } else if (command == "screenshot" || command == "monitor") {
      c.type = command == "screenshot" ? Type::screenshot : Type::monitor;
      c.text = p.file();
    } else if (command == "wheel") {
      c.type = Type::wheel;
      c.wheelRows = p.number("rows", -1000, 1000);
    } else if (command == "close") {
      c.type = Type::close;
    } else {
      p.fail("unknown command \"" + command +
             "\" (move, press, release, click, drag, key, type, screenshot, monitor, wheel, close)");
    }
    p.end();
    script.commands.push_back(c);
  }
  return script;
}

Script readScript(const std::filesystem::path &path, int screenWidth, int screenHeight) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw ScriptError("cannot read the script " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return parseScript(text.str(), path.string(), screenWidth, screenHeight);
}

} // namespace vxhost::gui
