// Running the built programs (tileron-host, tileron-preset) as a user does,
// in the test's fresh VXHOME with the bundled masks installed.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "host_fixture.hpp"
#include "media_fixture.hpp"

struct ProgramResult {
  int status = -1;    // exit status, -1 when the program did not exit normally
  std::string output; // standard output and standard error together
};

class ProgramTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    const std::filesystem::path masks = home_.path() / "programs/tileron/mask";
    std::filesystem::create_directories(masks);
    std::filesystem::create_directories(home_.path() / "programs/tileron/prefs");
    std::filesystem::create_directories(home_.path() / "programs/tileron/archive");
    for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::path(VXHOST_DATA_DIR) / "masks"))
      if (entry.is_regular_file())
        std::filesystem::copy_file(entry.path(), masks / entry.path().filename());
  }

  // Runs a program of the build folder ("tileron-host render …") with the
  // test's VXHOME; arguments are passed through the shell as written.
  static ProgramResult run(const std::string &command) {
    const std::string program = command.substr(0, command.find(' '));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(TILERON_BINARY_DIR) / program))
        << program << " is not built";
    ProgramResult result;
    std::FILE *pipe = ::popen((std::string(TILERON_BINARY_DIR) + "/" + command + " 2>&1").c_str(), "r");
    if (!pipe)
      return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
      result.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  // Makes the settings file from a preset description with tileron-preset.
  void makeSettings(const std::string &description) {
    media_fixture::writeFile(home_.path() / "preset.json", description);
    const ProgramResult made = run("tileron-preset make " + (home_.path() / "preset.json").string() + " -o " +
                                   settingsFile().string());
    ASSERT_EQ(made.status, 0) << made.output;
  }

  std::filesystem::path settingsFile() const { return home_.path() / "programs/tileron/prefs/tileron.prf"; }
};
