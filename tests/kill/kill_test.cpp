// Writes that survive a kill. A child process writes the settings file, a
// preset copy, a mask pack install and a Y4M render, each alternating between
// two versions, and tells the parent through a pipe when each write starts
// and ends. The parent waits for the start of one writer, lets it run a
// random part of its usual time and kills the child with SIGKILL. After every
// kill each file must be byte for byte the version it held before that write
// or the one being written, and every file that is not one of them must have
// a hidden name (no catalogue, preset list or later write picks it up). A
// last child then runs every writer once to its end over what the kills left.
//
// Bounded: at most kKillsPerWriter kills per writer and kTimeLimit in all;
// seeded (TILERON_KILL_SEED overrides the seed, which the table prints).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/split_mask.hpp"
#include "host/media/output.hpp"
#include "support/cipher.hpp"
#include "tools/masks/install.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int kKillsPerWriter = 12;
constexpr std::chrono::seconds kTimeLimit{4};
constexpr unsigned kDefaultSeed = 1717;

constexpr const char *kSettings = "programs/tileron/prefs/tileron.prf";
constexpr const char *kPreset = "programs/tileron/archive/kill.prf";
constexpr const char *kPresetHomePath = "/programs/tileron/archive/kill.prf";
constexpr const char *kRender = "render/out.y4m";

enum Writer { kSettingsWriter, kPresetWriter, kInstallWriter, kRenderWriter, kWriters };
constexpr const char *kWriterNames[kWriters] = {"settings file", "preset copy", "mask install",
                                                "Y4M render"};

std::string readAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One byte per event on the pipe: writer, version, start (0) or end (1).
uint8_t event(int writer, int version, bool end) {
  return uint8_t(writer << 2 | version << 1 | (end ? 1 : 0));
}

class KillDuringWrites : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tileron-kill-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ / "home";
    for (const char *dir : {"prefs", "mask", "archive"})
      fs::create_directories(home_ / "programs/tileron" / dir);
    fs::create_directories(home_ / "render");
    setenv("VXHOME", home_.c_str(), 1);
    setenv("VXHOST_LOG", (root_ / "host.log").c_str(), 1);
    makePacks();
    makeFrames();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Two versions of a pack of one mask: the enciphered index (pack 1 or 2),
  // the mask file and its two pictures (any bytes: the install does not
  // decode them), each different in the two.
  void makePacks() {
    for (int version = 0; version < 2; ++version) {
      const fs::path pack = root_ / ("pack" + std::to_string(version));
      fs::create_directories(pack);
      // Eight bytes, one cipher block: the pack number, a line feed, the mask's name.
      std::string index = std::to_string(version + 1) + "\nk.xml\n";
      tileron::cipherBuffer(reinterpret_cast<uint8_t *>(index.data()), index.size(),
                            tileron::CipherDirection::Encipher, true);
      writeAll(pack / "k.dat", index);
      writeAll(pack / "k.xml", "<splitscreen><name><english>Kill " + std::to_string(version) +
                                   "</english></name><part><filename>k_0.png</filename></part>"
                                   "<part><filename>k_1.png</filename></part></splitscreen>");
      for (int picture = 0; picture < 2; ++picture)
        writeAll(pack / ("k_" + std::to_string(picture) + ".png"),
                 std::string(size_t(20000 + 5000 * picture), char('a' + 2 * version + picture)));
    }
  }

  // Two renders of 12 frames that differ in every byte of picture.
  void makeFrames() {
    format_.width = 192;
    format_.height = 144;
    for (int version = 0; version < 2; ++version) {
      frames_[version].resize(12);
      for (size_t f = 0; f < frames_[version].size(); ++f) {
        frames_[version][f].resize(size_t(format_.width) * size_t(format_.height));
        for (size_t i = 0; i < frames_[version][f].size(); ++i)
          frames_[version][f][i] = uint32_t(version ? 0x20406080u : 0x90A0B0C0u) + uint32_t(i * 7 + f) * 0x01010100u;
      }
    }
  }

  // One write of `writer` in `version`; false when it failed.
  bool write(int writer, int version) {
    try {
      switch (writer) {
      case kSettingsWriter:
      case kPresetWriter: {
        tileron::SplitMask state;
        state.maskPath = version ? "/programs/tileron/mask/b.xml" : "/programs/tileron/mask/a.xml";
        state.barWidth = int16_t(version ? 9 : 4);
        state.partScene.fill(version ? 2 : 1);
        if (writer == kSettingsWriter) return state.saveSettings() == 1;
        // The preset save: the settings file, then its copy into the archive.
        return state.saveSettings() == 1 && state.copySettingsTo(kPresetHomePath) != 0;
      }
      case kInstallWriter: {
        std::ostringstream report;
        tileron::maskstool::installPacks(root_ / ("pack" + std::to_string(version)), true, report);
        return true;
      }
      case kRenderWriter: {
        std::unique_ptr<vxhost::FrameWriter> out = vxhost::openWriter((home_ / kRender).string(), format_);
        for (const std::vector<uint32_t> &frame : frames_[version]) out->write(frame.data());
        out->finish();
        return true;
      }
      }
    } catch (const std::exception &error) {
      std::fprintf(stderr, "%s: %s\n", kWriterNames[writer], error.what());
    }
    return false;
  }

  // The child: every writer in turn from `first` on, in the `next` versions
  // and alternating from there, announcing each write; `rounds` times (0:
  // until killed). Never returns.
  [[noreturn]] void child(int pipe, std::array<int, kWriters> next, int first, int rounds) {
    for (int round = 0; rounds == 0 || round < rounds; ++round)
      for (int step = 0; step < kWriters; ++step) {
        const int writer = (first + step) % kWriters;
        uint8_t byte = event(writer, next[writer], false);
        if (::write(pipe, &byte, 1) != 1 || !write(writer, next[writer])) ::_exit(1);
        byte = event(writer, next[writer], true);
        if (::write(pipe, &byte, 1) != 1) ::_exit(1);
        next[writer] ^= 1;
      }
    ::_exit(0);
  }

  // Forks a child (see child()) and gives the read end of its announcements
  // in `events`; -1 when the pipe or the fork fails.
  pid_t startChild(const std::array<int, kWriters> &next, int first, int rounds, int &events) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      child(fds[1], next, first, rounds);
    }
    ::close(fds[1]);
    events = fds[0];
    return pid;
  }

  // The files each writer writes, home-relative, its primary file (the one
  // written last) at the end, and their bytes in both versions.
  void recordVersions() {
    const auto add = [&](int writer, const std::string &file, const std::string &a, const std::string &b) {
      files_[writer].push_back(file);
      versions_[file] = {a, b};
    };
    ASSERT_TRUE(write(kSettingsWriter, 1));
    const std::string settingsB = readAll(home_ / kSettings);
    ASSERT_TRUE(write(kSettingsWriter, 0));
    add(kSettingsWriter, kSettings, readAll(home_ / kSettings), settingsB);
    add(kPresetWriter, kSettings, readAll(home_ / kSettings), settingsB);
    add(kPresetWriter, kPreset, readAll(home_ / kSettings), settingsB);
    std::vector<std::string> names;
    for (const fs::directory_entry &file : fs::directory_iterator(home_ / "programs/tileron/mask"))
      names.push_back(file.path().filename().string());
    // The index is installed last.
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
      return std::make_pair(a.find(".dat") != std::string::npos, a) <
             std::make_pair(b.find(".dat") != std::string::npos, b);
    });
    for (const std::string &name : names)
      add(kInstallWriter, "programs/tileron/mask/" + name, readAll(root_ / "pack0" / name),
          readAll(root_ / "pack1" / name));
    ASSERT_GT(names.size(), 2u);
    ASSERT_NE(names.back().find(".dat"), std::string::npos);
    ASSERT_TRUE(write(kRenderWriter, 1));
    const std::string renderB = readAll(home_ / kRender);
    ASSERT_TRUE(write(kRenderWriter, 0));
    add(kRenderWriter, kRender, readAll(home_ / kRender), renderB);
    for (const auto &[file, bytes] : versions_) ASSERT_NE(bytes[0], bytes[1]) << file;
  }

  // The version `file` holds now; -1 when it is neither (or missing).
  int versionOf(const std::string &file) const {
    if (!fs::exists(home_ / file)) return -1;
    const std::string bytes = readAll(home_ / file);
    const std::array<std::string, 2> &known = versions_.at(file);
    return bytes == known[0] ? 0 : bytes == known[1] ? 1 : -1;
  }

  // Files below the home that no writer writes; `hidden` counts those with
  // a hidden name, the others are returned.
  std::vector<std::string> strayFiles(int &hidden) const {
    std::vector<std::string> visible;
    hidden = 0;
    for (const fs::directory_entry &file : fs::recursive_directory_iterator(home_)) {
      if (!file.is_regular_file()) continue;
      const std::string relative = fs::relative(file.path(), home_).string();
      if (versions_.count(relative)) continue;
      if (file.path().filename().string()[0] == '.')
        ++hidden;
      else
        visible.push_back(relative);
    }
    return visible;
  }

  // The versions each writer writes next: the other one than its primary
  // file holds, so that an old and a new file always differ.
  std::array<int, kWriters> nextVersions() const {
    std::array<int, kWriters> next{};
    for (int writer = 0; writer < kWriters; ++writer)
      next[writer] = fileVersion_.at(files_[writer].back()) ^ 1;
    return next;
  }

  // Replays the child's announcements: a finished write leaves its version
  // in every file it writes; the files of a write cut short must each hold
  // their version from before it or the new one. Returns the writer cut
  // short, or -1; `how` tells old, new or mixed (files in both versions).
  int checkFiles(const std::vector<uint8_t> &events, const std::string &when, std::string &how) {
    int open = -1, openVersion = 0;
    for (uint8_t byte : events) {
      const int writer = byte >> 2, version = byte >> 1 & 1;
      if ((byte & 1) == 0) {
        open = writer;
        openVersion = version;
      } else {
        for (const std::string &file : files_[writer]) fileVersion_[file] = version;
        open = -1;
      }
    }
    std::set<std::string> cut;
    if (open >= 0) cut.insert(files_[open].begin(), files_[open].end());
    std::set<bool> renewed;
    for (auto &[file, version] : fileVersion_) {
      const int found = versionOf(file);
      if (!cut.count(file)) {
        EXPECT_EQ(found, version) << file << " " << when;
        continue;
      }
      EXPECT_TRUE(found == version || found == openVersion)
          << file << " is neither the old nor the new one " << when;
      if (version != openVersion) renewed.insert(found == openVersion);
      version = found;
    }
    if (open >= 0) how = renewed.size() == 2 ? "mixed" : renewed.count(true) ? "new" : "old";
    return open;
  }

  fs::path root_, home_;
  vxhost::Format format_;
  std::array<std::vector<std::vector<uint32_t>>, 2> frames_;
  std::array<std::vector<std::string>, kWriters> files_;
  std::map<std::string, std::array<std::string, 2>> versions_;
  std::map<std::string, int> fileVersion_;
};

TEST_F(KillDuringWrites, EveryFileIsTheOldOrTheNewOne) {
  // Both versions installed once, so that every file of the pack exists.
  ASSERT_TRUE(write(kInstallWriter, 1));
  recordVersions();
  if (HasFatalFailure()) return;

  // Every file in version 0, and each writer's usual time.
  std::array<double, kWriters> seconds{};
  for (int writer = 0; writer < kWriters; ++writer) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(write(writer, 0));
    seconds[writer] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  for (const auto &[file, bytes] : versions_) fileVersion_[file] = 0;

  unsigned seed = kDefaultSeed;
  if (const char *given = std::getenv("TILERON_KILL_SEED")) seed = unsigned(std::strtoul(given, nullptr, 10));
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> partOfWrite(0.0, 1.2);
  std::map<std::pair<int, std::string>, int> outcomes; // (writer, old/new/mixed) -> kills
  std::array<int, kWriters> kills{};
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;

  int round = 0;
  for (; round < kKillsPerWriter * kWriters && std::chrono::steady_clock::now() < deadline; ++round) {
    const int target = round % kWriters;
    const std::array<int, kWriters> next = nextVersions();
    int eventsFd = -1;
    const pid_t pid = startChild(next, target, 0, eventsFd);
    ASSERT_GT(pid, 0);

    // Wait for the target's start, then kill a random part of its time later.
    std::vector<uint8_t> events;
    for (bool started = false; !started;) {
      pollfd wait{eventsFd, POLLIN, 0};
      uint8_t byte = 0;
      if (::poll(&wait, 1, 10000) != 1 || ::read(eventsFd, &byte, 1) != 1) break;
      events.push_back(byte);
      started = byte == event(target, next[target], false);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(partOfWrite(random) * seconds[target]));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    for (uint8_t byte; ::read(eventsFd, &byte, 1) == 1;) events.push_back(byte);
    ::close(eventsFd);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writers failed before the kill (status " << status << ")";

    const std::string when = "after kill " + std::to_string(round + 1);
    std::string how;
    const int cut = checkFiles(events, when, how);
    if (cut >= 0) {
      ++kills[cut];
      ++outcomes[{cut, how}];
    }
    int hidden = 0;
    const std::vector<std::string> visible = strayFiles(hidden);
    ASSERT_TRUE(visible.empty()) << visible.front() << " left under a visible name " << when;
    if (HasFailure()) return;
  }

  // A run to its end over whatever the kills left.
  int eventsFd = -1;
  const pid_t pid = startChild(nextVersions(), 0, 1, eventsFd);
  ASSERT_GT(pid, 0);
  std::vector<uint8_t> events;
  for (uint8_t byte; ::read(eventsFd, &byte, 1) == 1;) events.push_back(byte);
  ::close(eventsFd);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writers failed after the kills";
  std::string how;
  EXPECT_EQ(checkFiles(events, "after the last run", how), -1);
  int hidden = 0;
  EXPECT_TRUE(strayFiles(hidden).empty());

  std::printf("kill test, seed %u: %d rounds, %d writes cut by SIGKILL\n", seed, round,
              kills[0] + kills[1] + kills[2] + kills[3]);
  std::printf("  %-14s %5s %6s %4s %4s %6s %9s\n", "writer", "files", "killed", "old", "new", "mixed",
              "write ms");
  for (int writer = 0; writer < kWriters; ++writer)
    std::printf("  %-14s %5zu %6d %4d %4d %6d %9.1f\n", kWriterNames[writer], files_[writer].size(),
                kills[writer], outcomes[{writer, "old"}], outcomes[{writer, "new"}],
                outcomes[{writer, "mixed"}], seconds[writer] * 1000);
  if (!HasFailure())
    std::printf("  every file old or new byte for byte; hidden temporaries left: %d, visible: none\n", hidden);
  for (int writer = 0; writer < kWriters; ++writer) EXPECT_GT(kills[writer], 0) << kWriterNames[writer];
}

} // namespace
