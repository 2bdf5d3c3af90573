// Home-relative paths.
#include "host/support/home_path.hpp"

#include <algorithm>
#include <cstdlib>

namespace fs = std::filesystem;

namespace vxhost {

namespace {

std::string homeValue() {
  const char *env = std::getenv("VXHOME");
  return env != nullptr ? env : "";
}

} // namespace

fs::path resolveHomePath(const std::string &path) {
  const std::string home = homeValue();
  return path.find(home) != std::string::npos ? fs::path(path) : fs::path(home + path);
}

std::optional<fs::path> homeFolder(const std::string &folder) {
  const std::string home = homeValue();
  if (home.empty() || folder.empty() || folder.front() != '/' ||
      std::any_of(folder.begin(), folder.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; }))
    return std::nullopt;
  for (const fs::path &part : fs::path(folder))
    if (part == "..")
      return std::nullopt;
  return fs::path(home + folder);
}

} // namespace vxhost
