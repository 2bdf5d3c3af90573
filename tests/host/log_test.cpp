#include <fstream>
#include <sstream>

#include "host_fixture.hpp"
#include "vxhost/logger.h"

namespace {

using LogTest = HostTest;
using testing_support::ScopedEnv;

std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(LogTest, AppendsOneExactLinePerRecordUnderVxhome) {
  ScopedEnv noLog("VXHOST_LOG", std::nullopt);
  const std::filesystem::path file = home_.path() / "log" / "vxhost.log";
  EXPECT_EQ(vxhost::logPath(), file);
  loggerMessage(3, 42, "src\\tileron", VX_LOG_CODE, " ");
  loggerMessage(6, 7, "src\\xml", 0xABCu, "%d of %s", 2, "three");
  EXPECT_EQ(readFile(file), "3\tsrc\\tileron\t42\t0x6a30000\t \n"
                            "6\tsrc\\xml\t7\t0xabc\t2 of three\n");
}

TEST_F(LogTest, VxhostLogNamesTheFile) {
  const std::filesystem::path file = home_.path() / "elsewhere" / "my.log";
  ScopedEnv log("VXHOST_LOG", file.string());
  EXPECT_EQ(vxhost::logPath(), file);
  loggerMessage(4, 1, "src\\splitmask", VX_LOG_CODE, " ");
  EXPECT_EQ(readFile(file), "4\tsrc\\splitmask\t1\t0x6a30000\t \n");
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "log" / "vxhost.log"));
}

TEST_F(LogTest, LineBreaksInsideARecordBecomeBlanks) {
  ScopedEnv noLog("VXHOST_LOG", std::nullopt);
  loggerMessage(3, 9, "a\nb", 0, "one\ntwo\r");
  EXPECT_EQ(readFile(vxhost::logPath()), "3\ta b\t9\t0x0\tone two \n");
}

TEST_F(LogTest, CapturedRecordsAreTakenOnceAndResetStopsCapturing) {
  vxhost::captureLog(true);
  loggerMessage(3, 12, "src\\gui_main", VX_LOG_CODE, " ");
  const std::vector<vxhost::LogRecord> records = vxhost::takeLog();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, 3);
  EXPECT_EQ(records[0].line, 12);
  EXPECT_EQ(records[0].source, "src\\gui_main");
  EXPECT_EQ(records[0].code, VX_LOG_CODE);
  EXPECT_EQ(records[0].text, " ");
  EXPECT_TRUE(vxhost::takeLog().empty());

  loggerMessage(3, 13, "src\\gui_main", VX_LOG_CODE, " ");
  vxhost::reset();
  loggerMessage(3, 14, "src\\gui_main", VX_LOG_CODE, " ");
  EXPECT_TRUE(vxhost::takeLog().empty());
}

TEST_F(LogTest, WithoutAnyLogFileRecordsAreStillCaptured) {
  ScopedEnv noLog("VXHOST_LOG", std::nullopt);
  ScopedEnv noHome("VXHOME", std::nullopt);
  EXPECT_TRUE(vxhost::logPath().empty());
  vxhost::captureLog(true);
  loggerMessage(3, 1, nullptr, 0, nullptr);
  const std::vector<vxhost::LogRecord> records = vxhost::takeLog();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].source, "");
  EXPECT_EQ(records[0].text, "");
}

} // namespace
