// `segments`: the field ranges `render --jobs N` cuts a storyboard into, one
// "A:B" a line, for renders spread over machines (see docs/farm.md).
#include <cstdio>
#include <memory>
#include <string>

#include "commands.hpp"
#include "host/scenes/storyboard.hpp"
#include "render_jobs.hpp"

namespace vxhost::app {

void addSegmentsCommand(CLI::App &app, HostContext &) {
  auto storyboard = std::make_shared<std::string>();
  auto count = std::make_shared<int>(1);
  CLI::App *segments = app.add_subcommand(
      "segments", "Print the field ranges (A:B, one a line) that --jobs N would cut the storyboard into");
  segments->add_option("storyboard", *storyboard, "Storyboard (JSON)")->required();
  segments->add_option("-n,--count", *count, "Segments wanted (fewer come when the storyboard is short)")
      ->required()
      ->check(CLI::PositiveNumber);
  segments->callback([storyboard, count] {
    const Storyboard board = loadStoryboard(*storyboard);
    for (const auto &[first, last] : segmentFrames(0, board.length, *count))
      std::printf("%d:%d\n", 2 * first, 2 * last + 1);
  });
}

} // namespace vxhost::app
