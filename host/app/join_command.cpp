// `join`: segments rendered apart (render --fields A:B, e.g. on a farm's
// nodes) joined into one output without encoding them again.
#include <memory>
#include <string>
#include <vector>

#include "commands.hpp"
#include "host/media/segment_join.hpp"

namespace vxhost::app {

void addJoinCommand(CLI::App &app, HostContext &) {
  auto segments = std::make_shared<std::vector<std::string>>();
  auto output = std::make_shared<std::string>();
  CLI::App *join = app.add_subcommand(
      "join", "Join rendered segments, in order, into one output without encoding them again (Y4M, Matroska, MP4, "
              "MOV files, or folders of PNG frames)");
  join->add_option("segments", *segments, "The segments, in the order of their fields")->required();
  join->add_option("-o,--output", *output, "Output: a file of the segments' kind, - for Y4M on standard output, "
                                           "or a folder for PNG frames")
      ->required();
  join->callback([segments, output] {
    const std::vector<std::filesystem::path> paths(segments->begin(), segments->end());
    joinSegments(paths, *output);
  });
}

} // namespace vxhost::app
