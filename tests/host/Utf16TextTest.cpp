#include "host/Utf16Text.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(Utf16TextTest, PairsBecomeOneCodePointAndLoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(ZYL::Utf16ToUtf8(u"Caf\u00e9 \u20ac \U0001F3AC"), "Caf\u00e9 \u20ac \U0001F3AC");
  const std::u16string lone = {u'a', 0xD800, u'b', 0xDC00, 0xDBFF};
  EXPECT_EQ(ZYL::Utf16ToUtf8(lone), "a\uFFFDb\uFFFD\uFFFD");
  const std::u16string reversed = {0xDC00, 0xD800};
  EXPECT_EQ(ZYL::Utf16ToUtf8(reversed), "\uFFFD\uFFFD");
  const std::u16string withZero = {u'x', 0, u'y'};
  EXPECT_EQ(ZYL::Utf16ToUtf8(withZero), std::string("x\0y", 3));
}

} // namespace
