#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vxhost/xchar.h"

namespace {

std::u16string units(const xchar *s) { return std::u16string(reinterpret_cast<const char16_t *>(s), size_t(xcslen(s))); }

TEST(Xchar, Utf8ToXcharAndBack) {
  struct Case { const char *utf8; std::u16string xs; };
  for (const Case &c : {Case{"", u""}, Case{"mask 2", u"mask 2"}, Case{"Größe", u"Größe"},
                        Case{"\xF0\x9F\x8E\xAC clap", u"\U0001F3AC clap"}}) {
    xchar buf[64];
    EXPECT_EQ(sxcpy(buf, c.utf8), int32_t(c.xs.size()));
    EXPECT_EQ(units(buf), c.xs);
    char back[200];
    EXPECT_EQ(xscpy(back, buf), int32_t(std::strlen(c.utf8)));
    EXPECT_STREQ(back, c.utf8);
  }
}

TEST(Xchar, BrokenInputBecomesReplacementCharacters) {
  xchar buf[16];
  EXPECT_EQ(sxcpy(buf, "a\xC3(b\xFF"), 5);
  EXPECT_EQ(units(buf), u"a\uFFFD(b\uFFFD");
  const xchar lone[] = {'x', 0xD800, 'y', 0};
  char out[16];
  xscpy(out, lone);
  EXPECT_STREQ(out, "x\xEF\xBF\xBDy");
  EXPECT_EQ(sxcpy(buf, nullptr), 0);
  EXPECT_EQ(buf[0], 0);
}

TEST(Xchar, CompareCopyAndLength) {
  xchar a[8], b[8], c[8], ab[8];
  sxcpy(a, "a");
  sxcpy(b, "b");
  sxcpy(c, "B");
  sxcpy(ab, "ab");
  EXPECT_LT(xcscmp(a, b), 0);
  EXPECT_GT(xcscmp(b, a), 0);
  EXPECT_LT(xcscmp(c, b), 0); // code unit order: upper case first
  EXPECT_LT(xcscmp(a, ab), 0);
  EXPECT_EQ(xcscmp(ab, ab), 0);
  EXPECT_LT(xcscmp(nullptr, a), 0);
  EXPECT_GT(xcscmp(a, nullptr), 0);
  EXPECT_EQ(xcscmp(nullptr, nullptr), 0);
  xchar copy[8];
  EXPECT_EQ(xcscpy(copy, ab), copy);
  EXPECT_EQ(units(copy), u"ab");
  EXPECT_EQ(xcslen(nullptr), 0);
}

TEST(Xchar, FormattersExpandPrintfFormats) {
  xchar buf[64];
  EXPECT_EQ(sxprintf(buf, "%ld.%ld", 1L, 1L), 3);
  EXPECT_EQ(units(buf), u"1.1");
  for (const auto &[value, shown] : {std::pair{0, u"0%"}, {128, u"50%"}, {255, u"100%"}}) {
    EXPECT_EQ(sxsprintf(buf, "%d%%", value * 100 / 255), int32_t(std::u16string(shown).size()));
    EXPECT_EQ(units(buf), shown);
  }
  sxprintf(buf, "%s: %d", "Größe", 7);
  EXPECT_EQ(units(buf), u"Größe: 7");
}

} // namespace
