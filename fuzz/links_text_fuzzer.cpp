// Fuzz target: the links text check of reverse registration (checked_links_text). A
// text it accepts must make a registration message that reads back as XML, since the
// endpoint serves that message as it is; a text it refuses fails with
// CS_LINKS_MALFORMED, and must not be a well-formed fragment without an XML
// declaration (those are the host's links as they stand).
//
// The links argument may name a file. Inputs naming an existing file other than a
// regular one are skipped: reading a device or a pipe is the host's own choice.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cml/cml_exception.h"
#include "cml/cml_parser.h"
#include "fuzz/fuzz_check.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/process_set_site_message.h"
#include "qelConnectionServer/reverse_registration.h"
#include "qelStatusCodes.h"

using namespace qel::funneltunnel;

namespace {

// What a links text names: no file (it is the links), a regular file (its contents
// are), or something else.
enum class names { nothing, regular_file, other };

names what_it_names(const std::string& text) {
  struct stat info {};
  if (text.find('\0') != std::string::npos || ::stat(text.c_str(), &info) != 0)
    return names::nothing;
  return S_ISREG(info.st_mode) ? names::regular_file : names::other;
}

// The registration message carrying `links` parses without validation.
void check_message(const std::string& links) {
  const agent_info agent{"agent", "0B9D3AD4-3C43-4F3A-9C9F-5D2A5E3C1B7A", "urn:agent", "5.0"};
  std::string message;
  process_set_site_message(agent, "host.example", links, "", message);
  qel::cml::CCmlParser parser;
  try {
    parser.Parse(message.data(), message.size(), qel::cml::kParseNoValidation);
  } catch (const qel::cml::CCmlException&) {
    FUZZ_CHECK(!"the registration message carrying accepted links reads back");
  }
}

// A fragment as it stands: no declaration to skip, well-formed inside an element.
bool well_formed_as_it_stands(const std::string& text) {
  if (text.compare(0, 5, "<?xml") == 0) return false;
  const std::string wrapped = "<links>" + text + "</links>";
  qel::cml::CCmlParser parser;
  try {
    parser.Parse(wrapped.data(), wrapped.size(), qel::cml::kParseNoValidation);
  } catch (const qel::cml::CCmlException&) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepare_set_site_message_support();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const names named = what_it_names(text);
  if (named == names::other) return 0;
  std::string links;
  try {
    links = checked_links_text(text);
  } catch (const funneltunnel_exception& e) {
    FUZZ_CHECK(e.code == qel::status::CS_LINKS_MALFORMED);
    FUZZ_CHECK(named != names::nothing || !well_formed_as_it_stands(text));
    return 0;
  }
  check_message(links);
  return 0;
}
