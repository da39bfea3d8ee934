#include "qelConnectionServer/any_request.h"

#include <strings.h>

#include <cstdlib>
#include <sstream>

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/extension_headers.h"
#include "qelConnectionServer/known_headers.h"

namespace qel {
namespace funneltunnel {
namespace {

constexpr const char* plain_resource = "/qel";

// A block the service library handed out, as a string ("" when it has none).
std::string take_block(uint32_t (*get)(uint32_t, char**), uint32_t handle) {
  char* block = nullptr;
  if (get(handle, &block) != 0 || block == nullptr) return std::string();
  std::string text(block);
  g_qelSessionConfigSvcs.SCS_Free(block);
  return text;
}

// "Name: value\r\n" lines as header lines (a line without ": " is skipped).
qelToolsLib::HeaderLines parse_lines(const std::string& block) {
  qelToolsLib::HeaderLines headers;
  std::size_t at = 0;
  while (at < block.size()) {
    std::size_t end = block.find("\r\n", at);
    if (end == std::string::npos) end = block.size();
    const std::string line = block.substr(at, end - at);
    const auto colon = line.find(':');
    if (colon != std::string::npos && colon > 0) {
      std::string value = line.substr(colon + 1);
      value.erase(0, value.find_first_not_of(" \t"));
      headers.emplace_back(line.substr(0, colon), value);
    }
    at = end + 2;
  }
  return headers;
}

}  // namespace

uint32_t read_carried_request(post_transaction& request, std::string& text) {
  const uint32_t handle = request.request_handle();
  std::string target = take_block(g_qelSessionConfigSvcs.SCS_SERVER_GetRequestTarget, handle);
  request.carried.target = target.empty() ? request.get_resource() : target;
  const qelToolsLib::HeaderLines all =
      parse_lines(take_block(g_qelSessionConfigSvcs.SCS_SERVER_GetRequestHeaders, handle));
  std::string error;
  request.carried.headers = qelToolsLib::EncodeHeaderBlock(qelToolsLib::EndToEndHeaders(all, false), error);
  if (!error.empty() || request.carried.headers.size() > max_header_block) {
    request.carried.headers.clear();
    text = "qel: the request's headers cannot be carried through the tunnel (" +
           (error.empty() ? std::string("too large") : error) + ")\n";
    return 431;
  }
  return 0;
}

bool needs_capable_poll(const raw_transaction& request) {
  return request.method() != "POST" ||
         (!request.carried.target.empty() && request.carried.target != plain_resource);
}

bool accepts_any_request(const raw_transaction& poll) {
  if (poll.holder() == 0) return false;  // read only from polls that name their client
  const auto found = poll.request_extensions.find(header_accept);
  if (found == poll.request_extensions.end()) return false;
  std::istringstream tokens(found->second);
  for (std::string token; std::getline(tokens, token, ',');) {
    token.erase(0, token.find_first_not_of(" \t"));
    token.erase(token.find_last_not_of(" \t") + 1);
    if (strcasecmp(token.c_str(), accept_any_request) == 0) return true;
  }
  return false;
}

void carry_request(raw_transaction& request, raw_transaction& poll) {
  poll.set_header(header_method, request.method());
  poll.set_header(header_location,
                  request.carried.target.empty() ? request.get_resource() : request.carried.target);
  if (!request.carried.headers.empty()) poll.response_extensions[header_headers] = request.carried.headers;
  request.carried.reply_carried = true;
}

bool take_reply(const raw_transaction& poll, raw_transaction& request) {
  const auto found = poll.request_extensions.find(header_headers);
  if (found == poll.request_extensions.end()) return true;  // no headers to pass on
  std::string error;
  return qelToolsLib::DecodeHeaderBlock(found->second, request.carried.reply_headers, error);
}

}  // namespace funneltunnel
}  // namespace qel
