#include "entry/about.hpp"

#include <cstring>

#include "entry/module.hpp"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

constexpr const char *kMakerLine = "tileron video effects, 2015";
constexpr const char *kAuthorLine = "Written by the tileron developers";
constexpr int32_t kAboutLineString = 13;

// Appends to a fixed buffer, keeping one slot for the terminator; what does
// not fit is dropped.
class TextWriter {
public:
  TextWriter(xchar *buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  // Room left for characters (the terminator's slot excluded).
  std::size_t room() const { return capacity_ - 1 - used_; }
  void put(xchar c) {
    if (room() > 0) buffer_[used_++] = c;
  }
  // 8-bit text, each byte widened to 16 bits.
  void put(const char *text) {
    while (*text) put(static_cast<xchar>(static_cast<unsigned char>(*text++)));
  }
  // At most `limit` characters of `text`; a cut never splits a surrogate pair.
  void put(const xchar *text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length]) ++length;
    if (text[length] && length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
      --length;
    for (std::size_t i = 0; i < length; ++i) put(text[i]);
  }
  void finish() { buffer_[used_] = 0; }

private:
  xchar *buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

} // namespace

void buildAboutText(xchar *buffer, std::size_t capacity, const char *versionTag) {
  if (!buffer || capacity == 0) return;
  TextWriter text(buffer, capacity);

  text.put("Version: ");
  unsigned long major = 0, minor = 0;
  if (opParseVersionTag(versionTag, &major, &minor)) {
    // Two numbers of at most 20 digits, the point and the terminator.
    xchar version[48];
    sxprintf(version, "%ld.%ld", static_cast<long>(major), static_cast<long>(minor));
    text.put(version, sizeof version / sizeof version[0]);
  } else {
    text.put("unknown");
  }

  // The beta marker: the word after "BETA" and the one character following it.
  if (const char *beta = versionTag ? std::strstr(versionTag, "BETA") : nullptr) {
    text.put(" BETA ");
    const char *word = beta + 4;
    if (*word) {
      for (++word; *word && *word != ' '; ++word)
        text.put(static_cast<xchar>(static_cast<unsigned char>(*word)));
    }
  }

  text.put("\n\n");
  text.put(kMakerLine);
  text.put("\n");
  // The about line gives way to the line feed and the author line after it.
  const std::size_t tail = 1 + std::strlen(kAuthorLine);
  if (const xchar *line = resGetString(moduleState().strings, kAboutLineString))
    text.put(line, text.room() > tail ? text.room() - tail : 0);
  text.put("\n");
  text.put(kAuthorLine);
  text.finish();
}

} // namespace tileron
