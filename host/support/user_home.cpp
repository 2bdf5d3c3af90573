#include "host/support/user_home.hpp"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "host/control.hpp"

namespace vxhost {

namespace {

namespace fs = std::filesystem;

// The catalogue's rule for a pack index: a visible file whose name holds ".dat".
bool isPackIndex(const fs::directory_entry &file) {
  const std::string name = file.path().filename().string();
  return file.is_regular_file() && name[0] != '.' && name.find(".dat") != std::string::npos;
}

} // namespace

fs::path userHome() {
  const char *env = std::getenv("VXHOME");
  return env && *env ? fs::path(env) : defaultHome();
}

int installBundledMasks(const fs::path &home, const std::string &program) {
  const fs::path masks = home / "programs/tileron/mask";
  const fs::path bundled = fs::path(VXHOST_DATA_DIR) / "masks";
  std::error_code error;
  if (fs::is_directory(masks, error))
    for (const fs::directory_entry &file : fs::directory_iterator(masks, error))
      if (isPackIndex(file)) return 0;
  if (!fs::is_directory(bundled, error)) return 0;

  fs::create_directories(masks);
  int packs = 0, files = 0;
  for (const fs::directory_entry &file : fs::directory_iterator(bundled)) {
    if (!file.is_regular_file()) continue;
    // A file the user already has under the same name is kept.
    if (fs::copy_file(file.path(), masks / file.path().filename(), fs::copy_options::skip_existing)) {
      ++files;
      packs += isPackIndex(file);
    }
  }
  std::fprintf(stderr, "%s: installed the bundled mask library (%d packs, %d files) into %s\n",
               program.c_str(), packs, files, masks.c_str());
  return packs;
}

fs::path makeLinkedHome(const fs::path &home, const std::string &prefix) {
  const fs::path masks = fs::absolute(home / "programs/tileron/mask");
  std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("cannot make a temporary folder in " + fs::temp_directory_path().string());
  const fs::path root = pattern;
  std::error_code error;
  fs::create_directories(root / "programs/tileron/prefs", error);
  if (!error) fs::create_directories(root / "programs/tileron/archive", error);
  if (!error) fs::create_directory_symlink(masks, root / "programs/tileron/mask", error);
  if (error) {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    throw std::runtime_error("cannot set up a temporary home in " + root.string() + ": " + error.message());
  }
  return root;
}

} // namespace vxhost
