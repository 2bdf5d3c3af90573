#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "host/settings/settings.hpp"
#include "masks/xml.hpp"
#include "support/report.hpp"
#include "support/reports.hpp"
#include "support/sandbox.hpp"

namespace tileron {
namespace {

namespace fs = std::filesystem;

class Xml : public testing_support::Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    fs::create_directories(home() / "programs/tileron/mask");
  }

  // Writes `bytes` to the home-relative path and returns that path.
  std::string writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream(home() / path.substr(1), std::ios::binary) << bytes;
    return path;
  }

  // Number of captured records, all of which must be xml errors.
  static size_t xmlErrors() {
    const auto records = testing_support::takeReports();
    for (const auto &r : records) {
      EXPECT_EQ(r.level, kLevelError);
      EXPECT_EQ(r.source, kSrcXml);
      EXPECT_EQ(r.code, VX_LOG_CODE);
    }
    return records.size();
  }

};

std::optional<std::vector<std::string>> search(const char *text, const char *tag) {
  XmlElementListPtr list(xmlGetElements(text, tag));
  if (!list) return std::nullopt;
  EXPECT_GE(list->count, 1);
  return std::vector<std::string>(list->entries, list->entries + list->count);
}

using Entries = std::vector<std::string>;

TEST_F(Xml, SearchCases) {
  struct Case {
    const char *what, *text, *tag;
    std::optional<Entries> expected; // none: nothing found, logged
  };
  const Case cases[] = {
      {"two elements in order", "<a>1</a> <a>2</a>", "a", Entries{"1", "2"}},
      {"empty element", "<a></a>", "a", Entries{""}},
      {"attributes hide an element", "<a x=\"1\">v</a>", "a", std::nullopt},
      {"white space inside brackets", "< a>v</a><a >w</a>", "a", std::nullopt},
      {"empty-element tag is no element", "<a/><a />", "a", std::nullopt},
      {"names are case-sensitive", "<A>v</A>", "a", std::nullopt},
      {"same name does not nest", "<a><a>v</a></a>", "a", Entries{"<a>v"}},
      {"unclosed tag ends the search, earlier entries stay", "<a>1</a><a>2", "a", Entries{"1"}},
      {"opening tag without closing tag", "<a>2", "a", std::nullopt},
      {"content kept byte for byte", "<a>\r\n  <b x='1'>&amp;</b>\n\t\xe9</a>", "a",
       Entries{"\r\n  <b x='1'>&amp;</b>\n\t\xe9"}},
      {"found at any depth", "<x><y><a>deep</a></y></x>", "a", Entries{"deep"}},
      {"a longer name is another element", "<names>x</names>", "name", std::nullopt},
      {"found inside a comment", "<names>x</names><!-- <name>c</name> -->", "name",
       Entries{"c"}},
      {"entries never overlap", "<a>1</a>x</a><a>2</a>", "a", Entries{"1", "2"}},
      {"empty text", "", "a", std::nullopt},
      {"tag name longer than the text", "<a>", "abcdefgh", std::nullopt},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(search(c.text, c.tag), c.expected);
    EXPECT_EQ(xmlErrors(), c.expected ? 0u : 1u);
  }
}

TEST_F(Xml, MissingTextYieldsNoneQuietly) {
  EXPECT_EQ(xmlGetElements(nullptr, "a"), nullptr);
  EXPECT_EQ(xmlErrors(), 0u);
  xmlFreeElements(nullptr);
  xmlFreeDocument(nullptr);
}

TEST_F(Xml, SearchesAnEntryOfAnEarlierList) {
  XmlElementListPtr parts(xmlGetElements("<part><x>1</x></part><part><x>2</x><x>3</x></part>", "part"));
  ASSERT_TRUE(parts);
  ASSERT_EQ(parts->count, 2);
  EXPECT_EQ(search(parts->entries[1], "x"), (Entries{"2", "3"}));
}

TEST_F(Xml, StopsAtTheTwentiethElement) {
  std::string text;
  for (int i = 1; i <= 25; ++i) text += "<a>" + std::to_string(i) + "</a>";
  XmlElementListPtr list(xmlGetElements(text.c_str(), "a"));
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count, kXmlMaxElements);
  EXPECT_STREQ(list->entries[0], "1");
  EXPECT_STREQ(list->entries[19], "20");
}

TEST_F(Xml, ReadsWholeFileBelowHome) {
  const std::string bytes = "<splitscreen>\r\n<name>\xe4\x01</name>\n</splitscreen>";
  XmlDocumentPtr document(xmlReadFile(writeFile("/programs/tileron/mask/m.xml", bytes).c_str()));
  ASSERT_TRUE(document);
  EXPECT_EQ(std::string(document->text), bytes);
  // A path already holding the home is used as it is.
  XmlDocumentPtr absolute(xmlReadFile((home() / "programs/tileron/mask/m.xml").c_str()));
  ASSERT_TRUE(absolute);
  EXPECT_EQ(std::string(absolute->text), bytes);
  EXPECT_EQ(xmlErrors(), 0u);
}

TEST_F(Xml, UnreadableFilesYieldNoneLogged) {
  writeFile("/programs/tileron/mask/empty.xml", "");
  const char *paths[] = {"/programs/tileron/mask/missing.xml", "/programs/tileron/mask/empty.xml",
                         "/programs/tileron/mask"};
  for (const char *path : paths) {
    SCOPED_TRACE(path);
    EXPECT_EQ(xmlReadFile(path), nullptr);
    EXPECT_EQ(xmlErrors(), 1u);
  }
}

// Opened for update: a file that cannot be written counts as missing.
TEST_F(Xml, ReadOnlyFileCountsAsMissing) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const std::string readOnly = writeFile("/programs/tileron/mask/ro.xml", "<a>1</a>");
  fs::permissions(home() / "programs/tileron/mask/ro.xml", fs::perms::owner_read);
  EXPECT_EQ(xmlReadFile(readOnly.c_str()), nullptr);
  EXPECT_EQ(xmlErrors(), 1u);
}

} // namespace
} // namespace tileron
