// Forwarding tunnel requests to the target.
#include "forwarder.h"

#include "log_output.h"

namespace qelcs_remote {

forwarder::forwarder(std::string target_base, long timeout_ms)
    : base_(std::move(target_base)), timeout_ms_(timeout_ms) {}

std::string forwarder::target_url(const std::string& location) const {
  if (location.empty()) return base_;
  const bool base_slash = !base_.empty() && base_.back() == '/';
  const bool location_slash = location.front() == '/';
  if (base_slash && location_slash) return base_ + location.substr(1);
  if (!base_slash && !location_slash) return base_ + "/" + location;
  return base_ + location;
}

tunnel_answer forwarder::forward(const tunnel_request& request, const std::atomic<bool>* abort) {
  http_request out;
  out.url = target_url(request.location);
  out.method = request.method.empty() ? "POST" : request.method;
  if (!request.content_type.empty()) out.headers.emplace_back("Content-Type", request.content_type);
  out.body = request.body;
  out.timeout_ms = timeout_ms_;

  tunnel_answer answer;
  answer.flow_id = request.flow_id;
  answer.instance = request.instance;
  http_response response;
  std::string error;
  if (!client_.perform(out, response, error, abort)) {
    if (abort != nullptr && abort->load()) {
      answer.status = 503;
      answer.content_type = "text/plain";
      answer.body = "qelcs-remote: stopping before the target answered\n";
      return answer;
    }
    qel::tools::log_warning("target " + error + "; answering flow " + request.flow_id + " with 502");
    answer.status = 502;
    answer.content_type = "text/plain";
    answer.body = "qelcs-remote: target " + error + "\n";
    answer.target_failed = true;
    return answer;
  }
  answer.status = response.status;
  answer.content_type = response.header("Content-Type");
  answer.body = std::move(response.body);
  return answer;
}

}  // namespace qelcs_remote
