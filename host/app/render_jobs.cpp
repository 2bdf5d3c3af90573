#include "render_jobs.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "commands.hpp"
#include "host/media/segment_join.hpp"

namespace vxhost::app {
namespace fs = std::filesystem;
namespace {

// A hidden folder for the segments, removed with them.
class SegmentFolder {
public:
  explicit SegmentFolder(const JobsRender &render) {
    const bool beside = render.kind != OutputKind::discard && render.kind != OutputKind::y4mStdout;
    fs::path target = fs::path(render.output).lexically_normal();
    if (!target.has_filename())
      target = target.parent_path(); // "out/frames/" lies in "out"
    fs::path parent = beside ? target.parent_path() : fs::temp_directory_path();
    if (parent.empty())
      parent = ".";
    std::string pattern = (parent / ".tileron-jobs.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw std::runtime_error("--jobs: cannot make a folder for the segments in " + parent.string() + " (" +
                               std::strerror(errno) + ")");
    path_ = pattern;
  }
  ~SegmentFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  SegmentFolder(const SegmentFolder &) = delete;
  SegmentFolder &operator=(const SegmentFolder &) = delete;
  const fs::path &path() const { return path_; }

private:
  fs::path path_;
};

std::string readText(const fs::path &file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Segment `k`'s output name: a file of the output's kind, or a folder of frames.
fs::path segmentOutput(const SegmentFolder &folder, const JobsRender &render, size_t k, std::string &renderName) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "segment-%03zu", k);
  const fs::path base = folder.path() / stem;
  switch (render.kind) {
  case OutputKind::discard: renderName = "/dev/null"; return {};
  case OutputKind::pngFrames: {
    fs::create_directory(base);
    const bool pattern = render.output.find('%') != std::string::npos;
    renderName = pattern ? (base / fs::path(render.output).filename()).string() : base.string() + "/";
    return base;
  }
  case OutputKind::y4mStdout: renderName = base.string() + ".y4m"; return renderName;
  default: {
    std::string extension = fs::path(render.output).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    renderName = base.string() + extension;
    return renderName;
  }
  }
}

} // namespace

std::vector<std::pair<int, int>> segmentFrames(int firstFrame, int frames, int jobs) {
  const int groups = (frames + kFfv1GroupFrames - 1) / kFfv1GroupFrames;
  const int groupsEach = (groups + std::max(jobs, 1) - 1) / std::max(jobs, 1);
  std::vector<std::pair<int, int>> ranges;
  for (int start = 0; start < frames; start += groupsEach * kFfv1GroupFrames)
    ranges.emplace_back(firstFrame + start, firstFrame + std::min(frames, start + groupsEach * kFfv1GroupFrames) - 1);
  return ranges;
}

void renderInJobs(const JobsRender &render) {
  const std::vector<std::pair<int, int>> ranges =
      segmentFrames(render.firstField / 2, (render.lastField - render.firstField + 1) / 2, render.jobs);
  SegmentFolder folder(render);
  const fs::path self = siblingProgram("tileron-host");
  struct Segment {
    fs::path output, log;
    std::string fields;
    pid_t pid = -1;
  };
  std::vector<Segment> segments;
  for (size_t k = 0; k < ranges.size(); ++k) {
    Segment segment;
    std::string renderName;
    segment.output = segmentOutput(folder, render, k, renderName);
    segment.log = folder.path() / ("segment-" + std::to_string(k) + ".log");
    segment.fields = std::to_string(2 * ranges[k].first) + ":" + std::to_string(2 * ranges[k].second + 1);
    std::vector<std::string> arguments = render.programArguments;
    arguments.insert(arguments.end(), {"render", render.storyboard, "--fields", segment.fields, "-o", renderName});
    arguments.insert(arguments.end(), render.renderArguments.begin(), render.renderArguments.end());
    segments.push_back(segment);
    segments.back().pid = startProgram(self, arguments, segment.log);
  }
  const bool shown = isatty(STDERR_FILENO);
  std::string failure;
  for (size_t k = 0; k < segments.size(); ++k) {
    const int status = waitProgram(segments[k].pid);
    segments[k].pid = -1;
    if (status != 0 && failure.empty()) {
      failure = "segment " + std::to_string(k + 1) + " of " + std::to_string(segments.size()) + " (--fields " +
                segments[k].fields + ") failed:\n" + readText(segments[k].log);
      for (const Segment &other : segments)
        if (other.pid > 0)
          ::kill(other.pid, SIGTERM);
    }
    if (shown && failure.empty())
      std::fprintf(stderr, "\rsegment %zu of %zu done   ", k + 1, segments.size());
  }
  if (shown)
    std::fputc('\n', stderr);
  if (!failure.empty()) {
    while (!failure.empty() && failure.back() == '\n')
      failure.pop_back();
    throw std::runtime_error(failure);
  }
  if (render.kind == OutputKind::discard)
    return;
  std::vector<fs::path> outputs;
  for (const Segment &segment : segments)
    outputs.push_back(segment.output);
  joinSegments(outputs, render.output, JoinOptions{render.format.rateNum, render.format.rateDen});
}

} // namespace vxhost::app
