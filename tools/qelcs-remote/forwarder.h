// Sends a request received through the tunnel to the target base URL and turns the
// target's response into the tunnel answer. A target that cannot be reached, or does
// not answer in time, gives the caller 502 with a short text saying why.
//
// Owns one HTTP client; used by the poll loop's thread only.
#ifndef QELCS_REMOTE_FORWARDER_H
#define QELCS_REMOTE_FORWARDER_H

#include <atomic>
#include <string>

#include "http_client.h"
#include "tunnel_messages.h"

namespace qelcs_remote {

class forwarder {
 public:
  forwarder(std::string target_base, long timeout_ms);

  // Never fails: a target failure becomes a 502 answer with target_failed set. Setting
  // `*abort` ends the exchange (a stop that cannot wait any longer): 503 then.
  tunnel_answer forward(const tunnel_request& request, const std::atomic<bool>* abort = nullptr);

  // The target base URL with the request's location appended ("/a/" + "/b" = "/a/b").
  std::string target_url(const std::string& location) const;

 private:
  std::string base_;
  long timeout_ms_;
  http_client client_;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_FORWARDER_H
