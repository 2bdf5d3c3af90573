// Outputs written under a hidden temporary name and moved into place when
// complete, so that a failed or killed writer never leaves a partial file
// under the name asked for.
#pragma once

#include <filesystem>

namespace vxhost {

// The folder a target file lies in ("." for a bare name).
std::filesystem::path folderOf(const std::filesystem::path &target);

// Throws OutputError "output folder F does not exist" unless it does.
void requireFolder(const std::filesystem::path &folder);

// A file under a unique hidden name beside the target (".NAME.XXXXXX");
// removed unless moved under the target's name by commit(), its bytes on the
// disk first. A process killed while writing leaves only that hidden name,
// never a partial file under the target's. Throws OutputError.
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

// A hidden folder inside the target folder (".tileron-frames.XXXXXX");
// commit() moves every file in it into the target folder, the destructor
// removes what is left. Throws OutputError.
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

} // namespace vxhost
