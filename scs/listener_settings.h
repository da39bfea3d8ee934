// The endpoints of one listener, parsed from its two settings texts.
//
// Grammar (both texts alike): `key = value` lines, blank lines, `#` comments (a whole
// line, or the rest of a line after a blank), and `[endpoint NAME]` sections; keys
// before any section, or under [endpoint default], belong to the default endpoint. A
// key or section may appear once per text; the second text overrides the first key by
// key. Built on the thread that adds or reloads a listener; immutable afterwards.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "scs/endpoint_config.h"

namespace qel::scs {

class ListenerSettings {
 public:
  // Parses and checks both texts (either may be null or empty) and reads the files
  // they name; throws ScsError with the failing line, key, value or file. A source
  // names the file a text was read from (null or empty: none), so that an error says
  // "listener settings file 'NAME' line N" instead of "listener settings text N".
  ListenerSettings(const char* first, const char* second, const char* source_1 = nullptr,
                   const char* source_2 = nullptr);
  // Endpoints already checked (a reload's merge of running and new settings); the
  // default endpoint first.
  explicit ListenerSettings(std::vector<EndpointConfig> endpoints)
      : endpoints_(std::move(endpoints)) {}

  const std::vector<EndpointConfig>& endpoints() const { return endpoints_; }
  // The endpoints that serve `resource`: those that list it, else the default one.
  std::vector<const EndpointConfig*> serving(const std::string& resource) const;
  // The endpoint named `name` ("" for the default one), or null.
  const EndpointConfig* find(const std::string& name) const;

 private:
  std::vector<EndpointConfig> endpoints_;  // the default endpoint first
};

}  // namespace qel::scs
