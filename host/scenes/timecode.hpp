// Points and spans of time as users write them: seconds ("2", "1.5"),
// timecode "HH:MM:SS:FF" (FF counting the format's frames) or frames
// ("123f"), and the timecode text of a frame number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/settings/settings.hpp"

namespace vxhost {

// A time counted in the format's frames, possibly between two frames:
// num / den frames, den > 0, num >= 0.
struct FrameTime {
  int64_t num = 0, den = 1;
  // The frame the time falls in (rounded down) and the first frame that
  // starts at or after it (rounded up).
  int64_t floorFrame() const { return num / den; }
  int64_t ceilFrame() const { return (num + den - 1) / den; }
};

// `text` in the format's frames, or nothing when it is none of the three
// spellings (negative times, FF at or beyond the frame rate, minutes or
// seconds of 60 and more, or more than 100 hours are refused).
std::optional<FrameTime> parseTime(const std::string &text, const Format &format);

// How the three spellings are described in error messages.
extern const char *const kTimeSpellings;

// Frame `frame` as non-drop timecode "HH:MM:SS:FF" at the format's rate
// rounded to whole frames per second (30 for 30000/1001).
std::string timecodeOf(int64_t frame, const Format &format);

} // namespace vxhost
