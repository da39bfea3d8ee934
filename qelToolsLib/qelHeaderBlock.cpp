#include "qelToolsLib/qelHeaderBlock.h"

#include <sodium.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace qelToolsLib {
namespace {

constexpr int kVariant = sodium_base64_VARIANT_ORIGINAL;

bool IsTokenChar(unsigned char c) {
  if (std::isalnum(c)) return true;
  return std::string("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string::npos;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// One line "Name: value" (without its CRLF) into `headers`; false when malformed.
bool TakeLine(const std::string& line, HeaderLines& headers) {
  const auto colon = line.find(": ");
  if (colon == std::string::npos || colon == 0) return false;
  std::string name = line.substr(0, colon);
  std::string value = line.substr(colon + 2);
  if (!CheckHeaderLine(name, value)) return false;
  headers.emplace_back(std::move(name), std::move(value));
  return true;
}

// Names listed in Connection headers ("Connection: close, X-Private").
std::set<std::string> ConnectionOptions(const HeaderLines& headers) {
  std::set<std::string> names;
  for (const auto& [name, value] : headers) {
    if (strcasecmp(name.c_str(), "Connection") != 0) continue;
    std::size_t at = 0;
    while (at <= value.size()) {
      const std::size_t comma = std::min(value.find(',', at), value.size());
      std::string token = value.substr(at, comma - at);
      token.erase(0, token.find_first_not_of(" \t"));
      token.erase(token.find_last_not_of(" \t") + 1);
      if (!token.empty()) names.insert(Lower(token));
      at = comma + 1;
    }
  }
  return names;
}

}  // namespace

HeaderLines ParseHeaderLines(const std::string& lines) {
  HeaderLines headers;
  std::size_t at = 0;
  while (at < lines.size()) {
    std::size_t end = lines.find("\r\n", at);
    if (end == std::string::npos) end = lines.size();
    const std::size_t colon = lines.find(':', at);
    if (colon != std::string::npos && colon > at && colon < end) {
      std::size_t value = colon + 1;
      while (value < end && (lines[value] == ' ' || lines[value] == '\t')) ++value;
      headers.emplace_back(lines.substr(at, colon - at), lines.substr(value, end - value));
    }
    at = end + 2;
  }
  return headers;
}

bool CheckHeaderLine(const std::string& name, const std::string& value) {
  if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) { return IsTokenChar(c); }))
    return false;
  return std::none_of(value.begin(), value.end(),
                      [](unsigned char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

std::string EncodeHeaderBlock(const HeaderLines& headers, std::string& error) {
  std::string lines;
  for (const auto& [name, value] : headers) {
    if (!CheckHeaderLine(name, value)) {
      error = "header '" + name.substr(0, 64) + "' cannot be carried";
      return std::string();
    }
    lines += name + ": " + value + "\r\n";
  }
  if (lines.empty()) return std::string();
  std::string encoded(sodium_base64_encoded_len(lines.size(), kVariant), '\0');
  sodium_bin2base64(&encoded[0], encoded.size(), reinterpret_cast<const unsigned char*>(lines.data()),
                    lines.size(), kVariant);
  encoded.resize(encoded.size() - 1);  // the terminating NUL
  return encoded;
}

bool DecodeHeaderBlock(const std::string& block, HeaderLines& headers, std::string& error) {
  headers.clear();
  if (block.empty()) return true;
  std::string lines(block.size(), '\0');
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(&lines[0]), lines.size(), block.data(),
                        block.size(), nullptr, &length, &end, kVariant) != 0 ||
      end != block.data() + block.size()) {
    error = "the header block is not base64";
    return false;
  }
  lines.resize(length);
  // libsodium 1.0.18 maps some bytes outside the alphabet to digits, and padding bits
  // need not be zero: only the one canonical spelling of the lines is a block.
  std::string canonical(sodium_base64_encoded_len(lines.size(), kVariant), '\0');
  sodium_bin2base64(&canonical[0], canonical.size(), reinterpret_cast<const unsigned char*>(lines.data()),
                    lines.size(), kVariant);
  canonical.resize(canonical.size() - 1);
  if (canonical != block) {
    error = "the header block is not base64";
    return false;
  }
  std::size_t at = 0;
  while (at < lines.size()) {
    const std::size_t crlf = lines.find("\r\n", at);
    if (crlf == std::string::npos || !TakeLine(lines.substr(at, crlf - at), headers)) {
      error = "the header block holds a line that is not a header";
      headers.clear();
      return false;
    }
    at = crlf + 2;
  }
  return true;
}

HeaderLines EndToEndHeaders(const HeaderLines& headers, bool response) {
  static const std::set<std::string> one_hop = {
      "connection", "keep-alive", "proxy-authenticate", "proxy-authorization", "proxy-connection",
      "te", "trailer", "transfer-encoding", "upgrade", "host", "content-length", "content-type"};
  const std::set<std::string> listed = ConnectionOptions(headers);
  HeaderLines kept;
  for (const auto& header : headers) {
    const std::string name = Lower(header.first);
    if (one_hop.count(name) != 0 || listed.count(name) != 0) continue;
    if (name.rfind("x-qel-", 0) == 0) continue;
    if (response && (name == "date" || name == "server")) continue;
    kept.push_back(header);
  }
  return kept;
}

}  // namespace qelToolsLib
