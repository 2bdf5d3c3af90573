// The headless backend: a script's commands become input one step at a
// time, each when the program waits for a message and none is queued, so a
// run is the same every time.
#include <cstdio>
#include <deque>

#include "host/gui/toolkit.hpp"
#include "host/text/utf.hpp"

namespace vxhost::gui {

namespace {

// One input step of a command.
struct Step {
  enum class Type { move, press, release, key, text, wheel, close, screenshot, monitor } type;
  int line = 0;
  int x = 0, y = 0;
  bool right = false, shift = false;
  int32_t value = 0;
  std::string text;
};

class HeadlessBackend final : public Backend {
public:
  explicit HeadlessBackend(Script script) : script_(std::move(script)) {
    pointerPosition(lastX_, lastY_);
  }

  bool pump(int32_t) override {
    GuiState &g = guiState();
    while (g.queue.empty()) {
      if (steps_.empty()) {
        if (next_ >= script_.commands.size())
          return false;
        expand(script_.commands[next_++]);
        continue;
      }
      const Step step = steps_.front();
      steps_.pop_front();
      if (!feed(step))
        return false;
    }
    return true;
  }

private:
  void expand(const ScriptCommand &c) {
    using T = ScriptCommand::Type;
    const auto add = [&](Step::Type type, int x = 0, int y = 0) {
      Step s{type, c.line, x, y, c.right, c.shift, c.key, c.text};
      steps_.push_back(s);
    };
    switch (c.type) {
    case T::move: add(Step::Type::move, c.x, c.y); break;
    case T::press: add(Step::Type::press); break;
    case T::release: add(Step::Type::release); break;
    case T::click:
      add(Step::Type::move, c.x, c.y);
      add(Step::Type::press);
      add(Step::Type::release);
      break;
    case T::drag:
      add(Step::Type::move, c.x, c.y);
      add(Step::Type::press);
      // Equal steps from 1 to 2 (rounded toward zero), the last one landing on 2.
      for (int i = 1; i <= c.steps; ++i)
        add(Step::Type::move, c.x + (c.x2 - c.x) * i / c.steps, c.y + (c.y2 - c.y) * i / c.steps);
      add(Step::Type::release);
      break;
    case T::key: add(Step::Type::key); break;
    case T::type: add(Step::Type::text); break;
    case T::wheel: steps_.push_back(Step{Step::Type::wheel, c.line, 0, 0, false, false, c.wheelRows, {}}); break;
    case T::close: add(Step::Type::close); break;
    case T::screenshot: add(Step::Type::screenshot); break;
    case T::monitor: add(Step::Type::monitor); break;
    }
  }

  bool fail(const Step &s, const std::string &why) {
    const std::string message = script_.name + ":" + std::to_string(s.line) + ": " + why;
    std::fprintf(stderr, "tileron-host: %s\n", message.c_str());
    GuiState &g = guiState();
    if (g.scriptFailure.empty())
      g.scriptFailure = message;
    steps_.clear();
    next_ = script_.commands.size();
    return false;
  }

  bool feed(const Step &s) {
    const Button button = s.right ? Button::right : Button::left;
    std::string error;
    switch (s.type) {
    case Step::Type::move:
      // With the virtual pointer on, script positions give relative motion.
      if (virtualPointerOn())
        pointerBy(s.x - lastX_, s.y - lastY_);
      else
        pointerTo(s.x, s.y);
      lastX_ = s.x;
      lastY_ = s.y;
      break;
    case Step::Type::press: press(button, s.shift); break;
    case Step::Type::release: release(button, s.shift); break;
    case Step::Type::key: pressKey(s.value, s.shift); break;
    case Step::Type::text:
      if (guiState().focus == 0)
        return fail(s, "type: no text field has the focus");
      typeText(utf8ToUtf16Lenient(s.text));
      break;
    case Step::Type::wheel: wheel(s.value); break;
    case Step::Type::close: requestClose(); break;
    case Step::Type::screenshot:
      if (!writeScreenshot(s.text, error))
        return fail(s, "screenshot: " + error);
      break;
    case Step::Type::monitor:
      if (!writeMonitorPicture(s.text, error))
        return fail(s, "monitor: " + error);
      break;
    }
    return true;
  }

  Script script_;
  size_t next_ = 0;
  std::deque<Step> steps_;
  int lastX_ = 0, lastY_ = 0;
};

// Input from a function of the program's own (tests, tools).
class FunctionBackend final : public Backend {
public:
  explicit FunctionBackend(std::function<bool()> next) : next_(std::move(next)) {}
  bool pump(int32_t) override {
    while (guiState().queue.empty())
      if (!next_())
        return false;
    return true;
  }

private:
  std::function<bool()> next_;
};

} // namespace

void runInput(std::function<bool()> next) {
  GuiState &g = guiState();
  g.backend = std::make_unique<FunctionBackend>(std::move(next));
  g.sourceEnded = false;
  g.endNoted = false;
}

void runScript(Script script) {
  GuiState &g = guiState();
  g.backend = std::make_unique<HeadlessBackend>(std::move(script));
  g.sourceEnded = false;
  g.endNoted = false;
  g.scriptFailure.clear();
}

std::string scriptFailure() { return guiState().scriptFailure; }

void closeBackend() {
  GuiState &g = guiState();
  g.backend.reset();
  g.sourceEnded = false;
}

} // namespace vxhost::gui
