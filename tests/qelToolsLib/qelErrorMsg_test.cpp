// The logic of CS_GetErrorMsg and the bounded copy behind it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "qelToolsLib/qelErrorMsg.h"
#include "qelToolsLib/qelStrUtil.h"

namespace {

// The same text whether or not the catalog is open: the catalog and the compiled
// texts come from one table.
const char kText[] = "One or more arguments are invalid. [ID=0xc7210003]";

bool allBytes(const char* buffer, size_t size, char value) {
  for (size_t i = 0; i < size; ++i)
    if (buffer[i] != value) return false;
  return true;
}

TEST(QelGetErrorMsg, RefusesMissingOrTinyBuffersWithoutWriting) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(qelGetErrorMsg(0xC7210003, nullptr, 100), 0xC7210003u);
  EXPECT_EQ(qelGetErrorMsg(0xC7210003, buffer, 1), 0xC7210003u);
  EXPECT_EQ(qelGetErrorMsg(0xC7210003, buffer, 0), 0xC7210003u);
  EXPECT_TRUE(allBytes(buffer, sizeof buffer, 'x'));
}

TEST(QelGetErrorMsg, TextThatFitsIsCopiedElseTheBufferStaysEmpty) {
  char buffer[200];
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(qelGetErrorMsg(0xC7210003, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, kText);
  EXPECT_TRUE(allBytes(buffer + sizeof kText, sizeof buffer - sizeof kText, '\0'));

  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(qelGetErrorMsg(0xC7210003, buffer, sizeof kText), 0u) << "exactly fits";
  EXPECT_STREQ(buffer, kText);

  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(qelGetErrorMsg(0xC7210003, buffer, sizeof kText - 1), 0u);
  EXPECT_TRUE(allBytes(buffer, sizeof kText - 1, '\0'));
  EXPECT_EQ(buffer[sizeof kText - 1], 'x') << "nothing beyond size is written";

  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(qelGetErrorMsg(0xC7210003, buffer, 2), 0u);
  EXPECT_TRUE(allBytes(buffer, 2, '\0'));
}

TEST(QelStrCopy, CopiesUpToCountOrNothing) {
  char buffer[6];
  EXPECT_EQ(qelStrCopy(buffer, sizeof buffer, "hello", 5), 0u);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(qelStrCopy(buffer, sizeof buffer, "hello world", 3), 0u);
  EXPECT_STREQ(buffer, "hel");
  EXPECT_EQ(qelStrCopy(buffer, sizeof buffer, "hello!", 100), 0xC7210006u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(qelStrCopy(nullptr, 4, "a", 1), 0xC7210003u);
  EXPECT_EQ(qelStrCopy(buffer, 0, "a", 1), 0xC7210003u);
  EXPECT_EQ(qelStrCopy(buffer, 4, nullptr, 1), 0xC7210003u);
}

TEST(QelWideToNarrow, ReplacesOrAppendsThroughTheCLibrary) {
  std::string out = "old ";
  EXPECT_EQ(qelWideToNarrow(L"abc", out, true), 0u);
  EXPECT_EQ(out, "old abc");
  EXPECT_EQ(qelWideToNarrow(L"xyz", out, false), 0u);
  EXPECT_EQ(out, "xyz");
  // The "C" locale of a test process cannot represent U+20AC.
  EXPECT_NE(qelWideToNarrow(L"a\u20ACb", out, false), 0u);
  EXPECT_EQ(out, "xyz");
}

// Characters longer than two bytes in the locale must not cut the text short.
TEST(QelWideToNarrow, LongMultibyteCharactersAreNeverCut) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  std::string out;
  const uint32_t one = qelWideToNarrow(L"\U0001F600", out, false);
  std::string two;
  const uint32_t both = qelWideToNarrow(L"\U0001F600\U0001F600", two, false);
  std::string mixed = ">";
  const uint32_t mix = qelWideToNarrow(L"\u20AC\U0001F600\u20AC", mixed, true);
  std::setlocale(LC_CTYPE, saved.c_str());
  EXPECT_EQ(one, 0u);
  EXPECT_EQ(out, "\xF0\x9F\x98\x80");
  EXPECT_EQ(both, 0u);
  EXPECT_EQ(two, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
  EXPECT_EQ(mix, 0u);
  EXPECT_EQ(mixed, ">\xE2\x82\xAC\xF0\x9F\x98\x80\xE2\x82\xAC");
}

}  // namespace
