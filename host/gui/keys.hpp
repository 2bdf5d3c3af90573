// Key codes of attribute 57 (docs/gui.md, "Key codes"). A printable key is
// its character (lower case for letters); Ctrl with a character adds
// kCtrl; the other keys are (virtual key number << 12) | 2.
#pragma once

#include <cstdint>
#include <string_view>

namespace vxhost::gui::keys {

constexpr int32_t special(int32_t virtualKey) { return virtualKey << 12 | 2; }

constexpr int32_t kCtrl = 0x100000;
constexpr int32_t kBackspace = special(0x08);
constexpr int32_t kTab = special(0x09);
constexpr int32_t kReturn = special(0x0D);
constexpr int32_t kEscape = special(0x1B);
constexpr int32_t kPageUp = special(0x21);
constexpr int32_t kPageDown = special(0x22);
constexpr int32_t kEnd = special(0x23);
constexpr int32_t kHome = special(0x24);
constexpr int32_t kLeft = special(0x25);
constexpr int32_t kUp = special(0x26);
constexpr int32_t kRight = special(0x27);
constexpr int32_t kDown = special(0x28);
constexpr int32_t kInsert = special(0x2D);
constexpr int32_t kDelete = special(0x2E); // 0x2E002
constexpr int32_t kF1 = special(0x70);     // F1..F12: 0x70002..0x7B002

struct NamedKey {
  std::string_view name;
  int32_t code;
};

// The named keys, as the script and docs/gui.md spell them.
inline constexpr NamedKey kNamedKeys[] = {
    {"backspace", kBackspace}, {"tab", kTab},     {"return", kReturn},   {"escape", kEscape},
    {"pageup", kPageUp},       {"pagedown", kPageDown}, {"end", kEnd},   {"home", kHome},
    {"left", kLeft},           {"up", kUp},       {"right", kRight},     {"down", kDown},
    {"insert", kInsert},       {"delete", kDelete}, {"space", ' '},
};

} // namespace vxhost::gui::keys
