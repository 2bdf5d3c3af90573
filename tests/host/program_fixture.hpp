// Running the built programs (tileron-host, tileron-preset) as a user does,
// in the test's fresh VXHOME with the bundled masks installed.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

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

// An editor session through `tileron-host edit --script` on the storyboard
// story.json in the home, checked by renders of the storyboard.
class EditorSessionTest : public ProgramTest {
protected:
  // Writes the storyboard (its JSON text) and the settings file made from
  // the preset description `start`.
  void startSession(const std::string &storyboardJson, const std::string &start) {
    media_fixture::writeFile(storyboard(), storyboardJson);
    makeSettings(start);
  }

  std::filesystem::path storyboard() const { return home_.path() / "story.json"; }

  // Runs the editor on `script` at a screen of `screen` ("1920x1080").
  ProgramResult edit(const std::string &script, const std::string &screen = "1920x1080",
                     const std::string &options = "") {
    media_fixture::writeFile(home_.path() / "session.txt", script);
    return run("tileron-host edit " + storyboard().string() + " --screen " + screen + " --script " +
               (home_.path() / "session.txt").string() + " " + options);
  }

  // The storyboard rendered to `name` in the home, as bytes.
  std::string render(const std::string &name) {
    const std::string out = (home_.path() / name).string();
    const ProgramResult r = run("tileron-host render " + storyboard().string() + " -o " + out);
    EXPECT_EQ(r.status, 0) << r.output;
    return media_fixture::readFile(out);
  }

  // The render after the session equals the render of `expected` made by
  // tileron-preset, and differs from the render of each of `unlike` (the
  // same without one of the changes: so each change shows).
  void expectRenderOf(const std::string &expected, const std::vector<std::string> &unlike = {}) {
    const std::string session = render("session.y4m");
    makeSettings(expected);
    const std::string preset = render("preset.y4m");
    ASSERT_FALSE(session.empty());
    EXPECT_TRUE(session == preset) << "the session's render differs from the preset's";
    for (const std::string &other : unlike) {
      makeSettings(other);
      EXPECT_FALSE(session == render("other.y4m")) << "no difference to " << other;
    }
  }
};
