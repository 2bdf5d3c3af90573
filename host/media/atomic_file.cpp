#include "host/media/atomic_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vxhost {

namespace fs = std::filesystem;

namespace {

// Temporary files and folders are made private; the output gets the mode
// any program's files get: 0666 (0777 for a folder) less the umask.
constexpr mode_t kFileMode = 0666;
constexpr mode_t kFolderMode = 0777;

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

[[noreturn]] void cannotWrite(const fs::path &what, const std::string &why) {
  throw OutputError(what.string() + ": cannot be written (" + why + ")");
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
    cannotWrite(path, std::strerror(error));
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
    cannotWrite(target, std::strerror(errno));
  ::fchmod(fd, kFileMode & ~currentUmask());
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
    cannotWrite(target_, ec.message());
  path_.clear();
}

TempFolder::TempFolder(const fs::path &folder) : folder_(folder) {
  std::string pattern = (folder / ".tileron-frames.XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    cannotWrite(folder, std::strerror(errno));
  ::chmod(pattern.c_str(), kFolderMode & ~currentUmask());
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
      cannotWrite(folder_ / entry.path().filename(), ec.message());
  }
  fs::remove(path_, ec);
  path_.clear();
}

MadeFolder::MadeFolder(const fs::path &folder, bool make) {
  if (!make)
    return;
  const fs::path bare = folder.has_filename() ? folder : folder.parent_path(); // "out/new/" is "out/new"
  requireFolder(folderOf(bare));
  std::error_code ec;
  if (!fs::create_directory(folder, ec) && ec)
    throw OutputError(folder.string() + ": the folder cannot be made (" + ec.message() + ")");
  made_ = folder;
}

MadeFolder::~MadeFolder() {
  std::error_code ec;
  if (!made_.empty())
    fs::remove(made_, ec); // only when empty
}

void writeWholeFile(const fs::path &path, const void *bytes, size_t size, const std::string &name) {
  std::FILE *file = std::fopen(path.c_str(), "wb");
  const bool written = file && std::fwrite(bytes, 1, size, file) == size;
  if (!file || std::fclose(file) != 0 || !written)
    throw OutputError(name + ": cannot be written (" + std::strerror(errno) + ")");
}

void writeFileAtomically(const fs::path &path, const std::string &bytes) {
  TempFile temp(path);
  writeWholeFile(temp.path(), bytes.data(), bytes.size(), path.string());
  temp.commit();
}

} // namespace vxhost
