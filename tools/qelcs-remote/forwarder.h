// Sends a request received through the tunnel to the target and turns the target's
// response into the tunnel answer: the caller's method to the target base URL with the
// request's location appended, with its Content-Type, its end-to-end headers and body;
// back come the status, Content-Type, the target's end-to-end headers (encoded) and
// body exactly as they were (no redirect followed, nothing decompressed, no header
// added that the caller did not send). A target that cannot be reached, or does not
// answer in time, gives the caller 502 with a short text saying why, and so does a
// response whose headers cannot be carried back.
//
// Owned by one poller, over one target connection of its own; the loop's thread only.
#ifndef QELCS_REMOTE_FORWARDER_H
#define QELCS_REMOTE_FORWARDER_H

#include <atomic>
#include <string>

#include "event_loop.h"
#include "http_connection.h"
#include "tunnel_messages.h"

namespace qelcs_remote {

// The largest X-QEL-Headers value an answer may carry: what the host's header limits
// leave room for.
constexpr std::size_t max_encoded_headers = 24 * 1024;

class forwarder : private http_connection::listener {
 public:
  class listener {
   public:
    // The answer is ready (the one start() was given).
    virtual void on_forwarded() = 0;

   protected:
    ~listener() = default;
  };

  forwarder(event_loop& loop, const http_endpoint& target, long timeout_ms, listener& owner);

  // Starts forwarding; `answer` is filled before the owner is told. `request` must stay
  // unchanged until then. Setting `*abort` and calling check_abort() ends the exchange
  // (a stop that cannot wait any longer): 503 then.
  void start(const tunnel_request& request, tunnel_answer& answer, const std::atomic<bool>* abort);
  void check_abort() { connection_.check_abort(); }
  void close() { connection_.close(); }

  // The target base URL with the request's location appended ("/a/" + "/b" = "/a/b").
  std::string target_url(const std::string& location) const;

 private:
  void on_exchange_done(http_connection& connection) override;
  void answer_failure(long status, const std::string& text, bool target_failed);
  // The target's end-to-end response headers into answer_->headers; false with `why`
  // when they cannot be carried.
  bool carry_response_headers(std::string& why);

  const std::string base_;  // as given
  std::string base_path_;   // its path, "" when it has none
  const long timeout_ms_;
  listener& owner_;
  http_connection connection_;
  tunnel_answer* answer_ = nullptr;
  const tunnel_request* request_ = nullptr;
  const std::atomic<bool>* abort_ = nullptr;
  std::string path_;          // the request target of the current request
  std::string header_lines_;  // its headers
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_FORWARDER_H
