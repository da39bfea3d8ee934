// Reading the small files that listener settings name (TLS certificates, keys, CA
// lists, bearer tokens). Called while a listener is added, on the caller's thread.
#pragma once

#include <string>

namespace qel::scs {

// The contents of a regular file of at most 1 MiB; throws ScsError(SCS_SETTINGS_FILE)
// naming `key` and `path` otherwise.
std::string read_config_file(const std::string& key, const std::string& path);

// The token in a bearer token file: the file's text without surrounding blanks and
// line ends; it must be one word of visible ASCII characters.
std::string read_token_file(const std::string& key, const std::string& path);

}  // namespace qel::scs
