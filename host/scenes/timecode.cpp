#include "host/scenes/timecode.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

namespace vxhost {
namespace {

// 100 hours at 1000 frames a second stays far inside 64 bits.
constexpr int64_t kMaxSeconds = 100 * 3600;

bool digitsOnly(const std::string &s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

bool parseNumber(const std::string &s, int64_t &out) {
  if (!digitsOnly(s) || s.size() > 12)
    return false;
  std::from_chars(s.data(), s.data() + s.size(), out);
  return true;
}

// Whole frames per second for timecode: the rate rounded to nearest.
int64_t timecodeBase(const Format &format) {
  return std::max<int64_t>(1, (int64_t{format.rateNum} + format.rateDen / 2) / format.rateDen);
}

} // namespace

const char *const kTimeSpellings = "seconds (2.5), timecode HH:MM:SS:FF or frames (123f)";

std::optional<FrameTime> parseTime(const std::string &text, const Format &format) {
  if (text.size() > 1 && text.back() == 'f') {
    int64_t frames = 0;
    if (!parseNumber(text.substr(0, text.size() - 1), frames) ||
        frames > kMaxSeconds * format.rateNum / format.rateDen)
      return std::nullopt;
    return FrameTime{frames, 1};
  }
  if (std::count(text.begin(), text.end(), ':') == 3) {
    int64_t parts[4];
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
      const size_t colon = i < 3 ? text.find(':', at) : text.size();
      if (!parseNumber(text.substr(at, colon - at), parts[i]))
        return std::nullopt;
      at = colon + 1;
    }
    if (parts[0] >= 100 || parts[1] >= 60 || parts[2] >= 60 || parts[3] >= timecodeBase(format))
      return std::nullopt;
    return FrameTime{((parts[0] * 60 + parts[1]) * 60 + parts[2]) * timecodeBase(format) + parts[3], 1};
  }
  // Seconds, with up to nine decimals: s = whole + fraction / 10^n, and
  // s seconds are s * rateNum / rateDen frames.
  const size_t point = text.find('.');
  int64_t whole = 0, fraction = 0, scale = 1;
  if (!parseNumber(text.substr(0, point), whole))
    return std::nullopt;
  if (point != std::string::npos) {
    const std::string decimals = text.substr(point + 1);
    if (decimals.size() > 9 || !parseNumber(decimals, fraction))
      return std::nullopt;
    for (size_t i = 0; i < decimals.size(); ++i)
      scale *= 10;
  }
  if (whole > kMaxSeconds)
    return std::nullopt;
  // (whole * scale + fraction) * rateNum reaches 3.6e5 * 1e9 * 2^31, past
  // 64 bits: the fraction is made and reduced in 128 bits. Reduced, it fits
  // 64 bits for any sane rate; else it is taken to the nearest millionth of
  // a frame below.
  __int128 num = (__int128(whole) * scale + fraction) * format.rateNum;
  __int128 den = __int128(scale) * format.rateDen;
  for (__int128 a = num, b = den; b != 0;) {
    const __int128 r = a % b;
    a = b;
    b = r;
    if (b == 0) {
      num /= a;
      den /= a;
    }
  }
  if (num > INT64_MAX || den > INT64_MAX)
    return FrameTime{int64_t(num * 1000000 / den), 1000000};
  return FrameTime{int64_t(num), int64_t(den)};
}

std::string timecodeOf(int64_t frame, const Format &format) {
  const int64_t base = timecodeBase(format);
  const int64_t seconds = frame / base;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600 % 100),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                static_cast<long long>(frame % base));
  return text;
}

} // namespace vxhost
