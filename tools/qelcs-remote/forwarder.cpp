// Forwarding tunnel requests to the target.
#include "forwarder.h"

#include <array>

#include "log_output.h"
#include "qelToolsLib/qelHeaderBlock.h"

namespace qelcs_remote {

namespace {

// Response headers that never travel back (hop-by-hop, framing, carried otherwise, or
// set by the host's own server). A response with nothing else skips the header codec.
constexpr std::array<std::string_view, 13> never_carried = {
    "Connection", "Keep-Alive", "Transfer-Encoding", "Content-Length", "Content-Type",
    "Date", "Server", "TE", "Trailer", "Upgrade", "Proxy-Connection", "Proxy-Authenticate", "Host"};

bool never_travels(std::string_view name) {
  for (const std::string_view known : never_carried)
    if (same_name(name, known)) return true;
  return false;
}

// A request target libcurl or any server would take: no white space or control bytes.
bool sendable(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  return true;
}

bool is_method(std::string_view method) {
  if (method.empty()) return false;
  for (const char c : method)
    if (c < 'A' || c > 'Z') return false;
  return true;
}

}  // namespace

forwarder::forwarder(event_loop& loop, const http_endpoint& target, long timeout_ms, listener& owner)
    : base_(target.url), timeout_ms_(timeout_ms), owner_(owner), connection_(loop, *this) {
  connection_.set_endpoint(target);
  const std::size_t scheme_end = base_.find("://");
  const std::size_t path_at = base_.find('/', scheme_end == std::string::npos ? 0 : scheme_end + 3);
  if (path_at != std::string::npos) base_path_ = base_.substr(path_at);
}

std::string forwarder::target_url(const std::string& location) const {
  if (location.empty()) return base_;
  const bool base_slash = !base_.empty() && base_.back() == '/';
  const bool location_slash = location.front() == '/';
  if (base_slash && location_slash) return base_ + location.substr(1);
  if (!base_slash && !location_slash) return base_ + "/" + location;
  return base_ + location;
}

void forwarder::start(const tunnel_request& request, tunnel_answer& answer, const std::atomic<bool>* abort) {
  request_ = &request;
  answer_ = &answer;
  abort_ = abort;
  answer.flow_id.assign(request.flow_id);
  answer.instance.assign(request.instance);
  answer.target_failed = false;
  // The path on the target: the base's path with the location appended, as target_url.
  path_.assign(base_path_);
  const std::string& location = request.location;
  if (!location.empty()) {
    const bool base_slash = !path_.empty() && path_.back() == '/';
    const bool location_slash = location.front() == '/';
    if (base_slash && location_slash) path_.append(location, 1, std::string::npos);
    else if (!base_slash && !location_slash) path_.append("/").append(location);
    else path_.append(location);
  }
  if (path_.empty()) path_ = "/";
  const std::string_view method = request.method.empty() ? std::string_view("POST") : request.method;
  if (connection_.endpoint().origin.empty()) {
    const std::string error = target_url(location) + ": not an http or https URL";
    qel::tools::log_warning("target " + error + "; answering flow " + request.flow_id + " with 502");
    answer_failure(502, "qelcs-remote: target " + error, true);
    return;
  }
  if (!sendable(path_) || !is_method(method)) {
    answer_failure(502, "qelcs-remote: target " + target_url(location) + ": the request's method or location cannot be sent", false);
    return;
  }
  header_lines_.clear();
  if (!request.content_type.empty()) add_header_line(header_lines_, "Content-Type", request.content_type);
  if (!request.headers.empty()) {
    qelToolsLib::HeaderLines decoded;
    std::string error;
    if (!qelToolsLib::DecodeHeaderBlock(request.headers, decoded, error)) {
      qel::tools::log_warning("flow " + request.flow_id + ": the request's " + headers_header +
                              " cannot be read (" + error + "); answering it with 502");
      answer_failure(502, "qelcs-remote: the request's headers cannot be read: " + error, false);
      return;
    }
    for (const auto& [name, value] : qelToolsLib::EndToEndHeaders(decoded, false))
      add_header_line(header_lines_, name, value);
  }
  connection_.start(method, path_, header_lines_, request.body, timeout_ms_, abort);
}

void forwarder::answer_failure(long status, const std::string& text, bool target_failed) {
  answer_->status = status;
  answer_->content_type.assign("text/plain");
  answer_->headers.clear();
  answer_->body.assign(text).append("\n");
  answer_->target_failed = target_failed;
  owner_.on_forwarded();
}

bool forwarder::carry_response_headers(std::string& why) {
  answer_->headers.clear();
  const response_reader& reader = connection_.reader();
  const std::string& in = connection_.input();
  bool any = false;
  for (std::size_t i = 0; i < reader.header_count() && !any; ++i) any = !never_travels(reader.header_name(in, i));
  if (!any) return true;
  qelToolsLib::HeaderLines all;
  all.reserve(reader.header_count());
  for (std::size_t i = 0; i < reader.header_count(); ++i)
    all.emplace_back(std::string(reader.header_name(in, i)), std::string(reader.header_value(in, i)));
  const qelToolsLib::HeaderLines carried = qelToolsLib::EndToEndHeaders(all, true);
  if (carried.empty()) return true;
  answer_->headers = qelToolsLib::EncodeHeaderBlock(carried, why);
  if (answer_->headers.empty()) return false;
  if (answer_->headers.size() > max_encoded_headers) {
    why = "they take " + std::to_string(answer_->headers.size()) + " bytes encoded, more than " +
          std::to_string(max_encoded_headers);
    return false;
  }
  return true;
}

void forwarder::on_exchange_done(http_connection& connection) {
  if (!connection.ok()) {
    if (abort_ != nullptr && abort_->load()) {
      answer_failure(503, "qelcs-remote: stopping before the target answered", false);
      return;
    }
    qel::tools::log_warning("target " + connection.error() + "; answering flow " + request_->flow_id + " with 502");
    answer_failure(502, "qelcs-remote: target " + connection.error(), true);
    return;
  }
  std::string why;
  if (!carry_response_headers(why)) {
    qel::tools::log_warning("target " + target_url(request_->location) + ": the response headers of flow " +
                            request_->flow_id + " cannot be carried through the tunnel (" + why +
                            "); answering it with 502");
    answer_failure(502, "qelcs-remote: the target's response headers cannot be carried through the tunnel (" +
                            why + ")", false);
    return;
  }
  answer_->status = connection.status();
  answer_->content_type.assign(connection.header("Content-Type"));
  answer_->body.assign(connection.body());
  owner_.on_forwarded();
}

}  // namespace qelcs_remote
