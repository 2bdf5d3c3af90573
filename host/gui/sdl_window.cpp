// The SDL2 backend: a resizable window showing the screen scaled to fit,
// YUVA turned into RGB at the edge; mouse, keys and typed text become the
// toolkit's input; relative mouse mode serves the virtual pointer.
#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "host/settings/settings.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "host/media/yuv.hpp"
#include "host/text/utf.hpp"

namespace vxhost::gui {

namespace {

// The key code of an SDL key (docs/gui.md, key codes); 0 for none.
int32_t keyCode(const SDL_Keysym &key) {
  const SDL_Keycode sym = key.sym;
  switch (sym) {
  case SDLK_BACKSPACE: return keys::kBackspace;
  case SDLK_TAB: return keys::kTab;
  case SDLK_RETURN:
  case SDLK_KP_ENTER: return keys::kReturn;
  case SDLK_ESCAPE: return keys::kEscape;
  case SDLK_PAGEUP: return keys::kPageUp;
  case SDLK_PAGEDOWN: return keys::kPageDown;
  case SDLK_END: return keys::kEnd;
  case SDLK_HOME: return keys::kHome;
  case SDLK_LEFT: return keys::kLeft;
  case SDLK_UP: return keys::kUp;
  case SDLK_RIGHT: return keys::kRight;
  case SDLK_DOWN: return keys::kDown;
  case SDLK_INSERT: return keys::kInsert;
  case SDLK_DELETE: return keys::kDelete;
  default: break;
  }
  if (sym >= SDLK_F1 && sym <= SDLK_F12)
    return keys::kF1 + ((sym - SDLK_F1) << 12);
  if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9)
    return '1' + (sym - SDLK_KP_1);
  if (sym == SDLK_KP_0)
    return '0';
  if (sym >= 0x20 && sym < 0x7F) {
    const int32_t c = (sym >= 'A' && sym <= 'Z') ? sym - 'A' + 'a' : sym;
    return (key.mod & KMOD_CTRL) ? keys::kCtrl | c : c;
  }
  return 0;
}

class SdlBackend final : public Backend {
public:
  bool open(std::string &error) {
    const char *display = std::getenv("DISPLAY"), *wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
      error = "there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
      return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error = std::string("SDL cannot start its video: ") + SDL_GetError();
      return false;
    }
    started_ = true;
    const Screen &s = screen();
    // The window fits the desktop, the screen scaled to it.
    int w = s.width, h = s.height;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      const double k = std::min({1.0, 0.9 * desktop.w / s.width, 0.9 * desktop.h / s.height});
      w = std::max(64, int(s.width * k));
      h = std::max(64, int(s.height * k));
    }
    window_ = SDL_CreateWindow("tileron-host", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window_)
      renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_)
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, s.width, s.height);
    if (!texture_) {
      error = std::string("SDL cannot open a window: ") + SDL_GetError();
      return false;
    }
    // Mouse positions arrive in screen pixels, letterboxed.
    SDL_RenderSetLogicalSize(renderer_, s.width, s.height);
    SDL_ShowCursor(SDL_DISABLE); // the toolkit draws its own pointer
    SDL_StartTextInput();
    return true;
  }

  ~SdlBackend() override {
    if (texture_)
      SDL_DestroyTexture(texture_);
    if (renderer_)
      SDL_DestroyRenderer(renderer_);
    if (window_)
      SDL_DestroyWindow(window_);
    if (started_)
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool pump(int32_t timeoutMs) override {
    GuiState &g = guiState();
    const Uint32 start = SDL_GetTicks();
    while (g.queue.empty()) {
      present();
      SDL_Event event;
      int wait = 30; // presents again while nothing happens (a preview plays)
      if (timeoutMs >= 0) {
        const int left = timeoutMs - int(SDL_GetTicks() - start);
        if (left <= 0)
          break;
        wait = std::min(wait, left);
      }
      if (SDL_WaitEventTimeout(&event, wait))
        handle(event);
      while (g.queue.empty() && SDL_PollEvent(&event))
        handle(event);
    }
    return true;
  }

  void pointerWarped(int x, int y) override {
    int wx = 0, wy = 0;
    SDL_RenderLogicalToWindow(renderer_, float(x), float(y), &wx, &wy);
    SDL_WarpMouseInWindow(window_, wx, wy);
    skipMotion_ = true;
  }

  void relativeMode(bool on) override { SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE); }

  void present() override {
    GuiState &g = guiState();
    if (g.version == shown_)
      return;
    shown_ = g.version;
    composeInto(frame_, true);
    void *pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0)
      return;
    for (int y = 0; y < frame_.height; ++y) {
      auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(pixels) + ptrdiff_t(y) * pitch);
      const uint32_t *src = frame_.row(y);
      for (int x = 0; x < frame_.width; ++x) {
        const Rgba c = yuvaToRgba(src[x]);
        row[x] = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
      }
    }
    SDL_UnlockTexture(texture_);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  bool interactive() const override { return true; }

private:
  void handle(const SDL_Event &e) {
    const bool shift = (SDL_GetModState() & KMOD_SHIFT) != 0;
    switch (e.type) {
    case SDL_MOUSEMOTION:
      if (virtualPointerOn()) {
        pointerBy(e.motion.xrel, e.motion.yrel);
      } else if (skipMotion_) {
        skipMotion_ = false; // the echo of a warp
      } else {
        pointerTo(e.motion.x, e.motion.y);
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT)
        break;
      const Button b = e.button.button == SDL_BUTTON_LEFT ? Button::left : Button::right;
      if (e.type == SDL_MOUSEBUTTONDOWN)
        press(b, shift);
      else
        release(b, shift);
      break;
    }
    case SDL_MOUSEWHEEL: wheel(-e.wheel.y); break;
    case SDL_KEYDOWN: {
      const int32_t code = keyCode(e.key.keysym);
      // With a field focused, characters arrive as typed text.
      const bool character = code >= 0x20 && code < 0x7F && !(e.key.keysym.mod & KMOD_CTRL);
      if (code != 0 && !(character && guiState().focus != 0))
        pressKey(code, shift);
      break;
    }
    case SDL_TEXTINPUT:
      if (guiState().focus != 0)
        typeText(utf8ToUtf16Lenient(e.text.text));
      break;
    case SDL_QUIT: requestClose(); break;
    case SDL_WINDOWEVENT:
      // Closing the one window also sends SDL_QUIT, which asks to close.
      if (e.window.event != SDL_WINDOWEVENT_CLOSE)
        shown_ = 0; // exposed or resized: present again
      break;
    default: break;
    }
  }

  bool started_ = false;
  SDL_Window *window_ = nullptr;
  SDL_Renderer *renderer_ = nullptr;
  SDL_Texture *texture_ = nullptr;
  Surface frame_;
  uint64_t shown_ = 0;
  bool skipMotion_ = false;
};

} // namespace

bool openWindow(std::string &error) {
  auto backend = std::make_unique<SdlBackend>();
  if (!backend->open(error))
    return false;
  GuiState &g = guiState();
  g.backend = std::move(backend);
  g.sourceEnded = false;
  g.endNoted = false;
  return true;
}

} // namespace vxhost::gui
