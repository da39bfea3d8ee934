// Fuzz target: the reserved settings text of CS_Init (read_tunnel_text). A text either
// fails with tunnel_setting_error, naming the line, or gives settings within the
// documented ranges, and every line it skipped is reported once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelConnectionServer/tunnel_settings.h"

using namespace qel::funneltunnel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> ignored;
  try {
    const tunnel_settings s = read_tunnel_text(text, "fuzz", ignored);
    FUZZ_CHECK(s.caller_timeout_s <= 86400);
    FUZZ_CHECK(s.max_waiting_callers <= 1000000);
    FUZZ_CHECK(s.poll_timeout_s >= 1 && s.poll_timeout_s <= 3600);
  } catch (const tunnel_setting_error& e) {
    FUZZ_CHECK(std::string(e.what()).find("line ") != std::string::npos);
  }
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  FUZZ_CHECK(ignored.size() <= lines);
  for (const std::string& why : ignored) FUZZ_CHECK(why.compare(0, 5, "line ") == 0);
  return 0;
}
