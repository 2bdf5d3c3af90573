// The sandbox every test runs in: a fresh temporary VXHOME (removed
// afterwards), the host at its defaults, the log captured, and no host image
// and no GUI object (panel, request, extension) left alive at the end. Also an environment variable set for one scope.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "host/gui/gui.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"

namespace testing_support {

class TempHome {
public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tileron-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    vxhost::setHome(path_);
  }
  ~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempHome(const TempHome &) = delete;
  TempHome &operator=(const TempHome &) = delete;
  const std::filesystem::path &path() const { return path_; }
  // The home-relative path `relative` ("/programs/...") as a real path.
  std::filesystem::path operator/(const std::string &relative) const {
    return std::filesystem::path(path_.string() + relative);
  }

private:
  std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable until the end of
// the scope.
class ScopedEnv {
public:
  ScopedEnv(const char *name, std::optional<std::string> value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    apply(value);
  }
  ~ScopedEnv() { apply(old_); }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
  void apply(const std::optional<std::string> &value) {
    if (value)
      setenv(name_.c_str(), value->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  std::string name_;
  std::optional<std::string> old_;
};

// The base of every test fixture that touches the host.
class Sandbox : public ::testing::Test {
protected:
  void SetUp() override {
    vxhost::reset();
    vxhost::captureLog(true);
  }
  void TearDown() override {
    EXPECT_EQ(vxhost::liveImageCount(), 0);
    EXPECT_EQ(vxhost::gui::liveCounts(), vxhost::gui::LiveCounts{});
    vxhost::reset();
  }

  const std::filesystem::path &home() const { return home_.path(); }

  TempHome home_;
};

} // namespace testing_support
