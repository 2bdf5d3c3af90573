#include "host/media/staged_output.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/media/output.hpp"

namespace vxhost {
namespace fs = std::filesystem;
namespace {

// Temporary files and folders are made private; the output gets the mode
// any program's files get: 0666 (0777 for a folder) less the umask.
mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// Puts the file's bytes on the disk before it is renamed into place: without
// it a crash of the machine could leave an empty file under the final name.
void syncToDisk(const fs::path &path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  const int error = errno;
  if (fd >= 0)
    ::close(fd);
  if (!synced)
    throw OutputError(path.string() + ": cannot be written (" + std::strerror(error) + ")");
}

} // namespace

fs::path folderOf(const fs::path &target) {
  const fs::path parent = target.parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

void requireFolder(const fs::path &folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw OutputError("output folder " + folder.string() + " does not exist");
}

TempFile::TempFile(const fs::path &target) : target_(target) {
  requireFolder(folderOf(target));
  std::string pattern = (folderOf(target) / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0)
    throw OutputError(target.string() + ": cannot be written (" + std::strerror(errno) + ")");
  ::fchmod(fd, 0666 & ~currentUmask());
  ::close(fd);
  path_ = pattern;
}

TempFile::~TempFile() {
  if (!path_.empty()) {
    std::error_code ec;
    fs::remove(path_, ec);
  }
}

void TempFile::commit() {
  syncToDisk(path_);
  std::error_code ec;
  fs::rename(path_, target_, ec);
  if (ec)
    throw OutputError(target_.string() + ": cannot be written (" + ec.message() + ")");
  path_.clear();
}

TempFolder::TempFolder(const fs::path &folder) : folder_(folder) {
  std::string pattern = (folder / ".tileron-frames.XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    throw OutputError(folder.string() + ": cannot be written (" + std::strerror(errno) + ")");
  ::chmod(pattern.c_str(), 0777 & ~currentUmask());
  path_ = pattern;
}

TempFolder::~TempFolder() {
  if (!path_.empty()) {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
}

void TempFolder::commit() {
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator(path_)) {
    syncToDisk(entry.path());
    fs::rename(entry.path(), folder_ / entry.path().filename(), ec);
    if (ec)
      throw OutputError((folder_ / entry.path().filename()).string() + ": cannot be written (" + ec.message() + ")");
  }
  fs::remove(path_, ec);
  path_.clear();
}

} // namespace vxhost
