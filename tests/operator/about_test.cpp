#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "entry/about.hpp"
#include "entry/module.hpp"
#include "support/sandbox.hpp"
#include "vxhost/orvexares.h"

namespace tileron {
namespace {


constexpr xchar kCanary = 0xA5A5;

// The built text as lines; the buffer beyond `capacity` must stay untouched.
std::vector<std::u16string> aboutLines(std::size_t capacity, const char *tag = kVersionTag) {
  std::vector<xchar> buffer(capacity + 8, kCanary);
  buildAboutText(buffer.data(), capacity, tag);
  for (std::size_t i = capacity; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kCanary) << i;
  std::u16string text;
  std::size_t i = 0;
  while (i < capacity && buffer[i] != 0) text.push_back(char16_t(buffer[i++]));
  EXPECT_LT(i, capacity) << "not terminated";
  std::vector<std::u16string> lines(1);
  for (char16_t c : text) {
    if (c == u'\n')
      lines.emplace_back();
    else
      lines.back().push_back(c);
  }
  return lines;
}

class AboutTest : public testing_support::Sandbox {
protected:
  void TearDown() override {
    resFreeStrings(moduleState().strings);
    moduleState().strings = 0;
    Sandbox::TearDown();
  }
  // Loads a resource set "tileron" of our own: string 10 and, when given, 13.
  void loadStrings(const std::string *aboutLine) {
    const std::filesystem::path dir = home_.path() / "resources";
    std::filesystem::create_directories(dir / "tileron");
    std::ofstream table(dir / "tileron/english.txt", std::ios::trunc);
    table << "10\tAbout\n";
    if (aboutLine) table << "13\t" << *aboutLine << "\n";
    table.close();
    vxhost::setResourceDir(dir);
    resFreeStrings(moduleState().strings);
    moduleState().strings = resLoadStrings("tileron");
    ASSERT_NE(moduleState().strings, 0u);
  }
};

TEST_F(AboutTest, LinesOfTheText) {
  const std::string about = "Split screen for everyone";
  loadStrings(&about);
  const auto lines = aboutLines(kAboutCapacity);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], u"Version: 1.1");
  EXPECT_EQ(lines[1], u"");
  EXPECT_FALSE(lines[2].empty()); // the maker's line
  EXPECT_EQ(lines[3], u"Split screen for everyone");
  EXPECT_FALSE(lines[4].empty()); // the author line
}

TEST_F(AboutTest, VersionLineOfOtherTags) {
  const struct {
    const char *tag;
    std::u16string line;
  } cases[] = {
      {"$Id: tileron.cpp,v 1.1 2015/10/27 00:00:00 BETA 7 a Exp b $", u"Version: 1.1 BETA 7"},
      {"$Id: tileron.cpp,v 2.10 2015/10/27 BETA-rc3 x $", u"Version: 2.10 BETA rc3"},
      {"$Id: tileron.cpp,v 1.1 2015/10/27 BETA", u"Version: 1.1 BETA "}, // nothing after it
      {"$Id: tileron.cpp,v 1.1 2015/10/27 BETA ", u"Version: 1.1 BETA "},
      {"$Id: tileron.cpp,v x.y $", u"Version: unknown"},
      {nullptr, u"Version: unknown"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(aboutLines(kAboutCapacity, c.tag)[0], c.line) << (c.tag ? c.tag : "(null)");
}

TEST_F(AboutTest, MissingAboutLineLeavesAnEmptyLine) {
  for (bool loaded : {false, true}) { // no table at all, a table without 13
    if (loaded) loadStrings(nullptr);
    const auto lines = aboutLines(kAboutCapacity);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], u"");
    EXPECT_FALSE(lines[4].empty());
  }
}

TEST_F(AboutTest, LongAboutLineIsCutBeforeTheAuthorLine) {
  const auto plain = aboutLines(kAboutCapacity);
  // Characters left for string 13 in the 200 slots (one is the terminator).
  std::size_t fixed = 0;
  for (const auto &line : plain) fixed += line.size() + 1;
  const std::size_t room = kAboutCapacity - fixed;

  const std::string longLine(300, 'a');
  loadStrings(&longLine);
  auto lines = aboutLines(kAboutCapacity);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], std::u16string(room, u'a'));
  EXPECT_EQ(lines[4], plain[4]);

  // A cut that would fall inside a surrogate pair drops the whole pair.
  const std::string pairAtCut = std::string(room - 1, 'a') + "\xF0\x9F\x98\x80" + "bc";
  loadStrings(&pairAtCut);
  lines = aboutLines(kAboutCapacity);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], std::u16string(room - 1, u'a'));
  EXPECT_EQ(lines[4], plain[4]);

  // Tiny buffers: cut at the end, still terminated.
  EXPECT_EQ(aboutLines(5)[0], u"Vers");
  EXPECT_EQ(aboutLines(1)[0], u"");
}

} // namespace
} // namespace tileron
