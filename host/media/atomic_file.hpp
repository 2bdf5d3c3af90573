// Files that appear whole or not at all: everything is written under a
// temporary name beside the target and moved under the final name at the end;
// what was not moved is removed, so a failed write never leaves a truncated
// file under the name asked for.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vxhost {

// An output that cannot be written; what() says why.
class OutputError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The folder a target lies in ("." for a bare name).
std::filesystem::path folderOf(const std::filesystem::path &target);

// Throws OutputError unless `folder` is an existing folder.
void requireFolder(const std::filesystem::path &folder);

// A file under a unique hidden name beside the target; removed unless moved
// under the target's name by commit(), which first puts its bytes on the disk
// (fsync). A process killed while writing leaves only that hidden name, never
// a partial file under the target's. Made private; the committed file gets
// the mode any program's files get (0666 less the umask). Throws OutputError.
class TempFile {
public:
  explicit TempFile(const std::filesystem::path &target);
  ~TempFile();
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;

  const std::filesystem::path &path() const { return path_; }
  void commit();

private:
  std::filesystem::path target_, path_;
};

// A hidden folder inside `folder`; commit() puts every file in it on the disk
// and moves it into `folder`, the destructor removes what is left. Throws
// OutputError.
class TempFolder {
public:
  explicit TempFolder(const std::filesystem::path &folder);
  ~TempFolder();
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;

  const std::filesystem::path &path() const { return path_; }
  void commit();

private:
  std::filesystem::path folder_, path_;
};

// A folder made for an output (named with a final '/' and missing; its
// parent must exist), removed again unless kept; with `make` false it does
// nothing. Throws OutputError.
class MadeFolder {
public:
  MadeFolder(const std::filesystem::path &folder, bool make);
  ~MadeFolder();
  MadeFolder(const MadeFolder &) = delete;
  MadeFolder &operator=(const MadeFolder &) = delete;
  void keep() { made_.clear(); }

private:
  std::filesystem::path made_;
};

// Writes `bytes` to `path` through a temporary file in its folder, so that
// the file is either whole or as it was. Throws OutputError.
void writeFileAtomically(const std::filesystem::path &path, const std::string &bytes);

// Writes `size` bytes to a new file at `path` (replacing one there). Throws
// OutputError naming `name`.
void writeWholeFile(const std::filesystem::path &path, const void *bytes, size_t size, const std::string &name);

} // namespace vxhost
