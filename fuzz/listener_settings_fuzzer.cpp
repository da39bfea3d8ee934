// Fuzz target: the listener settings grammar of the HTTP service library
// (ListenerSettings over EndpointConfig). The input holds the two settings texts,
// separated by its first zero byte. A pair of texts either fails with an ScsError
// carrying one of the settings statuses, or gives endpoints that keep every promise
// the daemon relies on: the default endpoint first, ports in range, named endpoints
// serving valid resources, distinct addresses.
//
// Inputs that name files under a dev/ or fd/ folder are skipped: the grammar reads the
// files its keys name, and a device or pipe is the host's own choice, not a parser
// question (reading /dev/zero only tells that it is not a regular file, but opening a
// pipe waits for a writer).
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "fuzz/fuzz_check.h"
#include "scs/listener_settings.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace {

bool names_special_files(const std::string& input) {
  return input.find("dev/") != std::string::npos || input.find("fd/") != std::string::npos;
}

bool settings_status(std::uint32_t code) {
  namespace status = qel::scs::status;
  return code == status::SCS_SETTINGS_SYNTAX || code == status::SCS_SETTINGS_UNKNOWN_KEY ||
         code == status::SCS_SETTINGS_BAD_VALUE || code == status::SCS_SETTINGS_DUPLICATE ||
         code == status::SCS_SETTINGS_FILE || code == status::SCS_SETTINGS_INCOMPLETE;
}

void check_endpoints(const qel::scs::ListenerSettings& settings) {
  const auto& endpoints = settings.endpoints();
  FUZZ_CHECK(!endpoints.empty() && endpoints.front().is_default());
  std::set<std::string> addresses;
  for (const qel::scs::EndpointConfig& e : endpoints) {
    FUZZ_CHECK(e.port >= 0 && e.port <= 65535);
    FUZZ_CHECK(e.is_default() || !e.resources.empty());
    for (const std::string& resource : e.resources) {
      FUZZ_CHECK(qel::scs::valid_resource(resource));
      FUZZ_CHECK(!settings.serving(resource).empty());
    }
    FUZZ_CHECK(e.port == 0 || addresses.insert(e.address_text()).second);
  }
  // A blank makes it a path no endpoint can list: the default endpoint serves it.
  FUZZ_CHECK(settings.serving("/not listed").front() == &endpoints.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (names_special_files(input)) return 0;
  const std::size_t split = input.find('\0');
  const std::string first = input.substr(0, split);
  const std::string second = split == std::string::npos ? "" : input.substr(split + 1);
  try {
    qel::scs::ListenerSettings settings(first.c_str(), second.c_str());
    check_endpoints(settings);
  } catch (const qel::scs::ScsError& e) {
    FUZZ_CHECK(settings_status(e.code()));
    FUZZ_CHECK(e.what()[0] != '\0');
  }
  return 0;
}
