// A test base for the effect state, the mask loader and the settings file: a
// fresh VXHOME with the operator's folders, the host reset, the log captured,
// a resource set "tileron" of our own whose string 20 names the language's
// element (english, deutsch) loaded as the operator's strings, and no host
// image left at the end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "entry/module.hpp"
#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "host/settings/settings.hpp"
#include "support/reports.hpp"
#include "support/sandbox.hpp"
#include "support/report.hpp"
#include "vxhost/orvexares.h"

namespace testing_support {

class StateTest : public Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    for (const char *dir : {"prefs", "mask", "archive"})
      std::filesystem::create_directories(home() / "programs/tileron" / dir);
    const std::filesystem::path resources = home() / "resources";
    std::filesystem::create_directories(resources / "tileron");
    std::ofstream(resources / "tileron/english.txt") << "20\tenglish\n";
    std::ofstream(resources / "tileron/deutsch.txt") << "20\tdeutsch\n";
    vxhost::setResourceDir(resources);
    tileron::moduleState().strings = resLoadStrings("tileron");
    ASSERT_NE(tileron::moduleState().strings, 0u);
  }
  void TearDown() override {
    resFreeStrings(tileron::moduleState().strings);
    tileron::moduleState().strings = 0;
    Sandbox::TearDown();
  }

  std::filesystem::path settingsFile() const {
    return home() / "programs/tileron/prefs/tileron.prf";
  }

  static std::vector<uint8_t> readBytes(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void writeBytes(const std::filesystem::path &file, const std::vector<uint8_t> &bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  }

  // Level-3 records from the effect state's source since the last call; any
  // other record from that source fails the test. Records of other sources
  // (the XML reader's "nothing found", the host's own) are dropped.
  static int stateErrors() {
    int errors = 0;
    for (const vxhost::LogRecord &record : takeReports(tileron::kSrcSplitMask)) {
      EXPECT_EQ(record.level, tileron::kLevelError);
      ++errors;
    }
    return errors;
  }
};

} // namespace testing_support
