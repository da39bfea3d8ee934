// The UTF-8 output facet on streams.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "qelToolsLib/qelStringConvert.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace qelToolsLib;

const char kUtf8[] = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
const wchar_t kWide[] = L"caf\u00E9 \u20AC \U0001F600";

TEST(QelCodecvt, NarrowStreamWritesWideTextAsUtf8) {
  std::ostringstream stream;
  ImbueUtf8(stream);
  using Facet = std::codecvt<wchar_t, char, std::mbstate_t>;
  EXPECT_EQ(&std::use_facet<Facet>(stream.getloc()), &qelCodecvtInstance());
  stream << "<";
  WriteWide(stream, kWide, wcslen(kWide));
  stream << ">";
  EXPECT_TRUE(stream.good());
  EXPECT_EQ(stream.str(), std::string("<") + kUtf8 + ">");

  // Long text crosses the helper's buffer.
  std::wstring longText(3000, L'\u20AC');
  std::ostringstream second;
  ImbueUtf8(second);
  WriteWide(second, longText.data(), longText.size());
  std::string expected;
  WideToUtf8(longText, expected);
  EXPECT_EQ(second.str(), expected);
}

TEST(QelCodecvt, FacetConvertsPartiallyAndUnshiftsNothing) {
  const CQelCodecvt& facet = qelCodecvtInstance();
  std::mbstate_t state{};
  const wchar_t* fromNext = nullptr;
  char out[4];
  char* toNext = nullptr;
  const wchar_t text[] = L"a\u20AC\u20AC";
  EXPECT_EQ(facet.out(state, text, text + 3, fromNext, out, out + 4, toNext),
            std::codecvt_base::partial);
  EXPECT_EQ(fromNext, text + 2);
  EXPECT_EQ(std::string(out, toNext), "a\xE2\x82\xAC");
  EXPECT_EQ(facet.unshift(state, out, out + 4, toNext), std::codecvt_base::noconv);
  EXPECT_EQ(toNext, out);
  EXPECT_EQ(facet.max_length(), 6);
  EXPECT_EQ(&qelCodecvtInstance(), &facet) << "one process-wide instance";
}

TEST(QelCodecvt, WideFileStreamWritesUtf8) {
  qeltest::temp_dir dir;
  {
    std::wofstream file;
    ImbueUtf8(file);
    file.open(dir.file("wide.txt"));
    file << kWide;
  }
  EXPECT_EQ(qeltest::read_file(dir.file("wide.txt")), kUtf8);
}

}  // namespace
