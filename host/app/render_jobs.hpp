// `render --jobs N`: contiguous field ranges rendered by N processes of
// this program at once, each with its own plug-in instance, and joined.
#pragma once

#include <string>
#include <vector>

#include "host/media/output.hpp"
#include "host/settings/settings.hpp"

namespace vxhost::app {

struct JobsRender {
  std::string storyboard, output;
  OutputKind kind = OutputKind::y4m;
  Format format;
  int firstField = 0, lastField = 0; // whole frames: firstField even, lastField odd
  int jobs = 1;
  // Arguments every segment's render gets after its range and output
  // (e.g. --codec, --audio, --threads), and before the subcommand (--plugin).
  std::vector<std::string> renderArguments, programArguments;
};

// The frame ranges of the segments: as even as whole groups of
// kFfv1GroupFrames frames allow, at most `jobs` of them, in order; each
// pair is the first and last frame.
std::vector<std::pair<int, int>> segmentFrames(int firstFrame, int frames, int jobs);

// Renders the range in segments under a hidden folder beside the output
// and joins them into it (nothing for the discarding output); the folder
// goes on every way out. A segment that fails stops the others; the error
// names its fields and carries what its render printed. Throws std::runtime_error.
void renderInJobs(const JobsRender &render);

} // namespace vxhost::app
