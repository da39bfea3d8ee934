// Fuzz target: the header block of the tunnel's any-request extension. Any input is
// decoded; a block that decodes gives header lines that encode back to the same block
// (the encoding is canonical), and the input read as raw header lines encodes only when
// every line is a valid header line, and then decodes back to exactly those lines. The
// end-to-end filter keeps a subset, in order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelToolsLib/qelHeaderBlock.h"

using namespace qelToolsLib;

namespace {

// The input as "name\0value\0name\0value..." pairs.
HeaderLines as_pairs(const std::string& text) {
  HeaderLines lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t name_end = text.find('\0', at);
    if (name_end == std::string::npos) break;
    const std::size_t value_end = std::min(text.find('\0', name_end + 1), text.size());
    lines.emplace_back(text.substr(at, name_end - at), text.substr(name_end + 1, value_end - name_end - 1));
    at = value_end + 1;
  }
  return lines;
}

bool is_subsequence(const HeaderLines& part, const HeaderLines& whole) {
  std::size_t i = 0;
  for (const auto& line : whole) i += i < part.size() && part[i] == line;
  return i == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  HeaderLines decoded;
  if (DecodeHeaderBlock(text, decoded, error)) {
    std::string again_error;
    FUZZ_CHECK(EncodeHeaderBlock(decoded, again_error) == text);
  } else {
    FUZZ_CHECK(decoded.empty() && !error.empty());
  }
  const HeaderLines pairs = as_pairs(text);
  bool valid = true;
  for (const auto& [name, value] : pairs) valid = valid && CheckHeaderLine(name, value);
  const std::string block = EncodeHeaderBlock(pairs, error);
  FUZZ_CHECK(block.empty() == (pairs.empty() || !valid));
  if (!block.empty()) {
    HeaderLines back;
    FUZZ_CHECK(DecodeHeaderBlock(block, back, error));
    FUZZ_CHECK(back == pairs);
  }
  FUZZ_CHECK(is_subsequence(EndToEndHeaders(pairs, false), pairs));
  FUZZ_CHECK(is_subsequence(EndToEndHeaders(pairs, true), pairs));
  return 0;
}
