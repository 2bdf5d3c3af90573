// What every reader harness shares: one VXHOME per fuzzing process
// with the operator's folders, the log sent to /dev/null (a file append per
// report would dominate the run), the operator's strings and images loaded
// from the installed resources, and helpers to drop fuzzed bytes into files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "entry/module.hpp"
#include "host/settings/settings.hpp"
#include "vxhost/orvexares.h"

namespace fuzzing {

class FuzzHome {
public:
  // The process-wide home, made on first use.
  static FuzzHome &get() {
    static FuzzHome home;
    return home;
  }
  const std::filesystem::path &path() const { return path_; }
  // The home-relative path `relative` ("/programs/...") as a real path.
  std::filesystem::path operator/(const std::string &relative) const {
    return std::filesystem::path(path_.string() + relative);
  }
  std::filesystem::path maskDir() const { return *this / "/programs/tileron/mask"; }

private:
  // $TILERON_FUZZ_HOME (made afresh; scripts/fuzz.sh removes it after the
  // run) or a new temporary folder. libFuzzer ends a timed run without the
  // exit handlers, so only the first is sure to be cleaned up.
  FuzzHome() {
    if (const char *given = std::getenv("TILERON_FUZZ_HOME"); given != nullptr && *given != '\0') {
      path_ = given;
      std::filesystem::remove_all(path_);
      std::filesystem::create_directories(path_);
    } else {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "tileron-fuzz-XXXXXX").string();
      if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
      path_ = pattern;
    }
    setenv("VXHOST_LOG", "/dev/null", 1);
    vxhost::reset();
    vxhost::setHome(path_);
    for (const char *dir : {"prefs", "mask", "archive"})
      std::filesystem::create_directories(path_ / "programs/tileron" / dir);
    tileron::ModuleState &module = tileron::moduleState();
    module.strings = resLoadStrings("tileron");
    module.images = resLoadImages("tileron");
    if (module.strings == 0) throw std::runtime_error("cannot load the operator's strings");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(get().path_, ignored);
    });
  }
  std::filesystem::path path_;
};

// For the harnesses that need no home: no VXHOME and no log file, so host
// reports cost no file access.
inline void quietLog() {
  unsetenv("VXHOME");
  unsetenv("VXHOST_LOG");
}

inline void writeBytes(const std::filesystem::path &file, const uint8_t *data, size_t size) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

inline void writeText(const std::filesystem::path &file, const std::string &text) {
  writeBytes(file, reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

// A finding that libFuzzer reports like a crash: a broken invariant.
[[noreturn]] inline void fail(const char *what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Every input must end with every host image released.
inline void expectNoLiveImages() {
  if (vxhost::liveImageCount() != 0) fail("a host image outlived the input");
}

} // namespace fuzzing
