// The plug-in as a host sees it: loaded with dlopen, driven through the entry
// routine its tag list names, with the host's log and live images checked.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "entry/entry.hpp"
#include "entry/module.hpp"
#include "entry/tag_list.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "support/report.hpp"
#include "support/reports.hpp"
#include "support/sandbox.hpp"
#include "vxhost/operator.h"
#include "vxhost/orvexares.h"

namespace tileron {
namespace {

namespace fs = std::filesystem;

const char *const kDirectories[] = {"/programs/tileron", "/programs/tileron/prefs",
                                    "/programs/tileron/mask", "/programs/tileron/archive"};

// The operator's own reports among the captured log records.
std::vector<vxhost::LogRecord> entryReports() { return testing_support::takeReports(kSrcTileron); }

void expectOneReport(const std::vector<vxhost::LogRecord> &reports, const std::string &what) {
  ASSERT_EQ(reports.size(), 1u) << what;
  EXPECT_EQ(reports[0].level, 3) << what;
  EXPECT_EQ(reports[0].code, 0x6A30000u) << what;
  EXPECT_EQ(reports[0].text, " ") << what;
  EXPECT_GT(reports[0].line, 0) << what;
}

class PluginTest : public testing_support::Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    handle_ = dlopen(TILERON_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    auto getInfo = reinterpret_cast<GetOperatorInfoFn>(dlsym(handle_, "GetOperatorInfo"));
    ASSERT_NE(getInfo, nullptr);
    tags_ = getInfo();
    for (const OperatorTag *tag = tags_; tag->tag != 0; ++tag)
      if (tag->tag == OPERATOR_TAG(OP_TAG_ENTRY)) entry_ = reinterpret_cast<OperatorEntry>(tag->value);
    ASSERT_NE(entry_, nullptr);
  }
  void TearDown() override {
    // The library may stay mapped between tests: leave it unloaded.
    if (entry_) send(OP_MSG_UNLOAD);
    Sandbox::TearDown();
    if (handle_) dlclose(handle_);
  }
  int32_t send(uint16_t type, uint32_t flags = 0, int32_t field = 0) {
    OperatorMessage message{};
    message.type = type;
    message.flags = flags;
    message.field = field;
    return entry_(&message);
  }

  void *handle_ = nullptr;
  const OperatorTag *tags_ = nullptr;
  OperatorEntry entry_ = nullptr;
};

TEST_F(PluginTest, TagListInOrder) {
  const std::array<unsigned, 8> numbers = {0x00, 0x01, 0x03, 0x0D, 0x0E, 0x10, 0x04, 0x0A};
  for (std::size_t i = 0; i < numbers.size(); ++i)
    EXPECT_EQ(tags_[i].tag, 0x4F504500u + numbers[i]) << "pair " << i;
  EXPECT_EQ(tags_[8].tag, 0u);
  EXPECT_EQ(tags_[0].value, 0x1028u);
  EXPECT_EQ(tags_[1].value, 5u);
  EXPECT_EQ(tags_[3].value, 2u);
  EXPECT_EQ(tags_[4].value, 2u);
  EXPECT_EQ(tags_[7].value, 3u);
  const char *version = reinterpret_cast<const char *>(tags_[5].value);
  ASSERT_NE(version, nullptr);
  unsigned major = 0, minor = 0;
  char date[16] = {}, time[16] = {};
  EXPECT_EQ(std::sscanf(version, "$Id: tileron.cpp,v %u.%u %15s %15s", &major, &minor, date, time), 4)
      << version;
  EXPECT_EQ(major, 1u);
  EXPECT_EQ(minor, 1u);
  EXPECT_STREQ(date, "2015/10/27");
  EXPECT_STREQ(time, "00:00:00");
  EXPECT_NE(std::strstr(version, " Exp "), nullptr);
  EXPECT_EQ(version[std::strlen(version) - 1], '$');
  const int16_t *record = reinterpret_cast<const int16_t *>(tags_[6].value);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ((std::array<int16_t, 6>{record[0], record[1], record[2], record[3], record[4], record[5]}),
            (std::array<int16_t, 6>{4, 2, 2, 0, 0, 0}));
}

// Every message type: its result, its report, and the four directories made
// first (removed before each message).
TEST_F(PluginTest, MessageTable) {
  const struct {
    uint16_t type;
    int32_t result;
    bool reports;
  } cases[] = {
      {0, 0, true},     {5, 0, true},  {9, 0, true},  {0xFFFF, 0, true},
      {6, 0, false},    {2, 0, false}, {4, 0, false}, {8, 0, false},
      {3, -1, true},  // render without an effect state
  };
  for (const auto &c : cases) {
    fs::remove_all(home_ / "/programs");
    vxhost::takeLog();
    EXPECT_EQ(send(c.type), c.result) << "type " << c.type;
    const auto reports = entryReports();
    if (c.reports)
      expectOneReport(reports, "type " + std::to_string(c.type));
    else
      EXPECT_TRUE(reports.empty()) << "type " << c.type;
    for (const char *dir : kDirectories)
      EXPECT_TRUE(fs::is_directory(home_ / dir)) << dir << " after type " << c.type;
  }
}

TEST_F(PluginTest, LoadAndDoubleUnload) {
  EXPECT_EQ(send(OP_MSG_LOAD), 0);
  EXPECT_EQ(send(OP_MSG_UNLOAD), 0);
  EXPECT_EQ(send(OP_MSG_UNLOAD), 0); // releases nothing (handles: EntryStateTest)
  EXPECT_TRUE(entryReports().empty());
}

TEST_F(PluginTest, LoadWithoutResourcesFails) {
  testing_support::TempHome empty; // a resource folder without the set
  vxhost::setHome(home());
  vxhost::setResourceDir(empty.path());
  EXPECT_EQ(send(OP_MSG_LOAD), -1);
  expectOneReport(entryReports(), "load without resources");
}

TEST_F(PluginTest, RenderWithoutEffectStateFails) {
  // Before any set-up, after tear-down and after unload.
  for (uint16_t before : {uint16_t(6), uint16_t(OP_MSG_TEARDOWN), uint16_t(OP_MSG_UNLOAD)}) {
    send(before);
    vxhost::takeLog();
    EXPECT_EQ(send(OP_MSG_RENDER, 0, 4), -1) << "after type " << before;
    expectOneReport(entryReports(), "render after type " + std::to_string(before));
  }
}

TEST_F(PluginTest, SetUpRenderTearDown) {
  constexpr int kWidth = 16, kHeight = 8;
  vxhost::Format format;
  format.width = kWidth;
  format.height = kHeight;
  vxhost::setFormat(format);
  std::vector<std::pair<int, int>> fields;
  vxhost::setFieldSink([&fields](OpImage *image) {
    fields.emplace_back(image->width, image->height);
    opFreeImage(image);
  });
  vxhost::setInput(vxhost::memorySource(testing_support::taggedClip(0x10, 2, kWidth, kHeight)));
  vxhost::setScene(1, vxhost::memorySource(testing_support::taggedClip(0x60, 2, kWidth, kHeight)));

  // Without a settings file the engine's set-up fails.
  EXPECT_EQ(send(OP_MSG_SETUP), -1);
  expectOneReport(entryReports(), "set-up without settings");

  testing_support::SettingsDesc settings;
  settings.maskPath = testing_support::writeMask(home(), testing_support::twoPartMask(kWidth, kHeight));
  settings.parts[0].scene = 1;
  testing_support::writeSettings(home(), settings);
  EXPECT_EQ(send(OP_MSG_SETUP), 0);
  EXPECT_EQ(send(OP_MSG_RENDER, 0, 0), 0);
  EXPECT_EQ(send(OP_MSG_RENDER, OP_FLAG_ODD_FIELD, 1), 0);
  EXPECT_TRUE(entryReports().empty());
  // Each field went to the host at the format's field size.
  EXPECT_EQ(fields, (std::vector<std::pair<int, int>>{{kWidth, kHeight / 2}, {kWidth, kHeight / 2}}));

  EXPECT_EQ(send(OP_MSG_TEARDOWN), 0);
  EXPECT_EQ(vxhost::liveImageCount(), 0); // the effect state released its images
  EXPECT_EQ(send(OP_MSG_RENDER), -1);
  expectOneReport(entryReports(), "render after tear-down");
  vxhost::setFieldSink(nullptr);
}

// The module exports GetOperatorInfo and nothing else, and needs only the
// host library and the C/C++ runtime.
TEST(PluginModule, ExportsOnlyGetOperatorInfo) {
  const auto run = [](const std::string &command) {
    std::string output;
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
  };
  std::istringstream symbols(run(std::string("nm -D --defined-only ") + TILERON_PLUGIN_PATH));
  std::set<std::string> defined;
  for (std::string line; std::getline(symbols, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (!name.empty()) defined.insert(type + " " + name);
  }
  EXPECT_EQ(defined, (std::set<std::string>{"T GetOperatorInfo"}));

  std::istringstream dynamic(run(std::string("readelf -d ") + TILERON_PLUGIN_PATH));
  const std::set<std::string> allowed = {"libvxhost.so", "libstdc++.so.6", "libm.so.6",
                                         "libgcc_s.so.1", "libc.so.6"};
  int needed = 0;
  for (std::string line; std::getline(dynamic, line);) {
    const auto open = line.find("Shared library: [");
    if (open == std::string::npos) continue;
    const auto start = open + std::strlen("Shared library: [");
    const std::string library = line.substr(start, line.find(']', start) - start);
#if defined(TILERON_SANITIZED)
    // A sanitizer build (make asan) links the sanitizers' runtimes into every module.
    if (library.rfind("libasan.so", 0) == 0 || library.rfind("libubsan.so", 0) == 0 ||
        library.rfind("libclang_rt.asan", 0) == 0)
      continue;
#endif
    EXPECT_TRUE(allowed.count(library)) << "needs " << library;
    ++needed;
  }
  EXPECT_GT(needed, 0);
}

// The entry as linked into the tests: the module state it keeps.
class EntryStateTest : public testing_support::Sandbox {
protected:
  void TearDown() override {
    OperatorMessage unload{};
    unload.type = OP_MSG_UNLOAD;
    operatorEntry(&unload);
    Sandbox::TearDown();
  }
};

TEST_F(EntryStateTest, EveryMessageRefreshesTheVisibleArea) {
  vxhost::Screen screen;
  screen.width = 1280;
  screen.height = 720;
  screen.safeMargin = 32;
  vxhost::setScreen(screen);
  OperatorMessage message{};
  message.type = OP_MSG_NOTHING;
  ASSERT_EQ(operatorEntry(&message), 0);
  const ModuleState &state = moduleState();
  EXPECT_EQ(state.visibleLeft, 32);
  EXPECT_EQ(state.visibleTop, 32);
  EXPECT_EQ(state.visibleRight, 1247);
  EXPECT_EQ(state.visibleBottom, 687);
  EXPECT_EQ(state.visibleWidth, 1216);
  EXPECT_EQ(state.visibleHeight, 656);

  screen.safeMargin = 0;
  vxhost::setScreen(screen);
  message.type = 9; // an unknown type refreshes it too
  ASSERT_EQ(operatorEntry(&message), 0);
  EXPECT_EQ(state.visibleWidth, 1280);
  EXPECT_EQ(state.visibleHeight, 720);
}

TEST_F(EntryStateTest, NullMessageFails) {
  EXPECT_EQ(operatorEntry(nullptr), -1);
  expectOneReport(entryReports(), "null message");
  EXPECT_TRUE(fs::is_directory(home_ / "/programs/tileron/archive"));
}

TEST_F(EntryStateTest, LoadAndUnloadKeepTheHandles) {
  OperatorMessage message{};
  message.type = OP_MSG_LOAD;
  ASSERT_EQ(operatorEntry(&message), 0);
  ModuleState &state = moduleState();
  const ResHandle firstStrings = state.strings;
  ASSERT_NE(firstStrings, 0u);
  ASSERT_NE(state.images, 0u);
  ASSERT_NE(resGetString(firstStrings, 10), nullptr);

  // A second load replaces the tables: the first ones are released.
  ASSERT_EQ(operatorEntry(&message), 0);
  EXPECT_NE(state.strings, 0u);
  EXPECT_EQ(resGetString(firstStrings, 10), nullptr);

  message.type = OP_MSG_UNLOAD;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(operatorEntry(&message), 0);
    EXPECT_EQ(state.strings, 0u);
    EXPECT_EQ(state.images, 0u);
    EXPECT_EQ(state.effect, nullptr);
  }
  EXPECT_TRUE(entryReports().empty());
}

TEST_F(EntryStateTest, PanelAreaTable) {
  setPanelArea(0, 10, 20, 300, 40);
  setPanelArea(2, -5, 7, 100, 90);
  setPanelArea(3, 1, 1, 1, 1);  // ignored
  setPanelArea(-1, 1, 1, 1, 1); // ignored
  const auto &panels = moduleState().panels;
  EXPECT_EQ(panels[0].x, 10);
  EXPECT_EQ(panels[0].y, 20);
  EXPECT_EQ(panels[0].width, 300);
  EXPECT_EQ(panels[0].height, 40);
  EXPECT_EQ(panels[1].width, 0);
  EXPECT_EQ(panels[2].x, -5);
  EXPECT_EQ(panels[2].height, 90);
  setPanelArea(0, 0, 0, 0, 0);
  setPanelArea(2, 0, 0, 0, 0);
}

TEST(VersionQuery, TagStrings) {
  const struct {
    const char *tag;
    int32_t major, minor;
  } cases[] = {
      {kVersionTag, 1, 1},
      {"$Id: a.cpp,v 2.17 2020/01/01 x Exp y $", 2, 17},
      {"$Id:a.cpp,v   3.0", 3, 0}, // blanks of the format match any run, or none
      {"$Id: a.cpp,v 1", -1, -1},  // one number only
      {"$Id: a.cpp,v 1.x", -1, -1},
      {"$Id: a.cpp,v beta", -1, -1},
      {"Id: a.cpp,v 1.1", -1, -1},
      {"$Id: ", -1, -1},
      {"", -1, -1},
      {nullptr, -1, -1},
  };
  for (const auto &c : cases) {
    const std::string name = c.tag ? c.tag : "(null)";
    EXPECT_EQ(versionOfTag(c.tag, 0), c.major) << name;
    EXPECT_EQ(versionOfTag(c.tag, 1), c.minor) << name;
    for (int32_t selector : {2, -1, 1000})
      EXPECT_EQ(versionOfTag(c.tag, selector), c.major < 0 ? -1 : 0) << name << " " << selector;
  }
}

TEST(VersionQuery, EntryPointTable) {
  EXPECT_EQ(kEntryPoints.operatorInfo, &operatorInfo);
  EXPECT_EQ(kEntryPoints.versionQuery(0), 1);
  EXPECT_EQ(kEntryPoints.versionQuery(1), 1);
  EXPECT_EQ(kEntryPoints.versionQuery(2), 0);
  EXPECT_EQ(kEntryPoints.reserved[0], nullptr);
  EXPECT_EQ(kEntryPoints.reserved[1], nullptr);
}

} // namespace
} // namespace tileron
