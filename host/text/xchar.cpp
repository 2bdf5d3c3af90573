// The xchar calls: 16-bit (UTF-16) strings and their 8-bit (UTF-8) forms.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/text/utf.hpp"
#include "vxhost/xchar.h"

namespace {

int32_t store(xchar *dst, const std::u16string &text) {
  std::memcpy(dst, text.data(), text.size() * sizeof(xchar));
  dst[text.size()] = 0;
  return static_cast<int32_t>(text.size());
}

// Formats printf-style into buf as xchars; an encoding error gives "".
int32_t formatInto(xchar *buf, const char *format, va_list args) {
  if (!buf)
    return 0;
  if (!format) {
    buf[0] = 0;
    return 0;
  }
  try {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) {
      buf[0] = 0;
      return 0;
    }
    std::string text(size_t(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(size_t(n));
    return store(buf, vxhost::utf8ToUtf16Lenient(text));
  } catch (...) {
    buf[0] = 0;
    return 0;
  }
}

} // namespace

extern "C" int32_t sxcpy(xchar *dst, const char *src) {
  if (!dst)
    return 0;
  if (!src) {
    dst[0] = 0;
    return 0;
  }
  try {
    return store(dst, vxhost::utf8ToUtf16Lenient(src));
  } catch (...) {
    dst[0] = 0;
    return 0;
  }
}

extern "C" int32_t xscpy(char *dst, const xchar *src) {
  if (!dst)
    return 0;
  try {
    const auto *units = reinterpret_cast<const char16_t *>(src);
    const std::string text =
        vxhost::utf16ToUtf8(std::u16string_view(units ? units : u"", size_t(xcslen(src))));
    std::memcpy(dst, text.c_str(), text.size() + 1);
    return static_cast<int32_t>(text.size());
  } catch (...) {
    dst[0] = 0;
    return 0;
  }
}

extern "C" int32_t xcscmp(const xchar *a, const xchar *b) {
  if (!a || !b)
    return (a ? 1 : 0) - (b ? 1 : 0);
  for (;; ++a, ++b) {
    if (*a != *b)
      return *a < *b ? -1 : 1;
    if (*a == 0)
      return 0;
  }
}

extern "C" int32_t xcslen(const xchar *s) {
  int32_t n = 0;
  if (s)
    while (s[n])
      ++n;
  return n;
}

extern "C" xchar *xcscpy(xchar *dst, const xchar *src) {
  if (!dst)
    return dst;
  const int32_t n = xcslen(src);
  if (n)
    std::memmove(dst, src, size_t(n) * sizeof(xchar));
  dst[n] = 0;
  return dst;
}

extern "C" int32_t sxprintf(xchar *buf, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int32_t n = formatInto(buf, format, args);
  va_end(args);
  return n;
}

extern "C" int32_t sxsprintf(xchar *buf, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int32_t n = formatInto(buf, format, args);
  va_end(args);
  return n;
}
