#include "qelConnectionServer/any_request.h"

#include <strings.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>

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

}  // namespace

uint32_t read_carried_request(post_transaction& request, std::string& text) {
  const uint32_t handle = request.request_handle();
  std::string target = take_block(g_qelSessionConfigSvcs.SCS_SERVER_GetRequestTarget, handle);
  request.carried.target = target.empty() ? request.get_resource() : target;
  // The callback read every header already where the service library could hand them
  // over at once; else they are asked for now.
  const qelToolsLib::HeaderLines all =
      request.carried.have_all_headers
          ? std::move(request.carried.all_headers)
          : qelToolsLib::ParseHeaderLines(take_block(g_qelSessionConfigSvcs.SCS_SERVER_GetRequestHeaders, handle));
  request.carried.all_headers.clear();
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

bool declares_any_request(const raw_transaction& poll) {
  if (poll.holder() == 0) return false;  // read only from polls that name their client
  const auto found = poll.request_extensions.find(header_accept);
  if (found == poll.request_extensions.end()) return false;
  const std::string& tokens = found->second;
  for (std::size_t at = 0; at <= tokens.size();) {
    const std::size_t comma = std::min(tokens.find(',', at), tokens.size());
    std::size_t first = at, last = comma;
    while (first < last && (tokens[first] == ' ' || tokens[first] == '\t')) ++first;
    while (last > first && (tokens[last - 1] == ' ' || tokens[last - 1] == '\t')) --last;
    if (last - first == std::strlen(accept_any_request) &&
        strncasecmp(tokens.data() + first, accept_any_request, last - first) == 0)
      return true;
    at = comma + 1;
  }
  return false;
}

bool accepts_any_request(const raw_transaction& poll) { return poll.carried.accepts_any; }

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
