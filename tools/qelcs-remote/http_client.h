// One HTTP exchange at a time over a reusable libcurl handle (keep-alive connections
// are reused between calls). The client owns its handle; one thread uses it at a time.
// curl_global_init must have run before the first client is made.
//
// Proxies: a client uses a forward proxy only when its options name one (`proxy`) or
// allow libcurl's *_proxy environment variables (`proxy_from_environment`); by default
// it connects directly whatever the environment says, as the target connection must.
// With `live` set, the connection options and the bearer token are read from that
// shared source at each exchange, so a reload applies to the next exchange: the
// client then replaces any Authorization header of the request with the live token,
// and opens new connections once the source has changed (the old ones, idle between
// exchanges, are closed).
#ifndef QELCS_REMOTE_HTTP_CLIENT_H
#define QELCS_REMOTE_HTTP_CLIENT_H

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

typedef void CURL;

namespace qelcs_remote {

class live_settings;

// How a client connects: TLS files, forward proxy, and optionally a live source of both.
struct tls_options {
  std::string cacert;  // CA file that verifies the server; empty: the system's store
  std::string cert;    // client certificate (PEM); empty: none
  std::string key;     // its private key (PEM)
  bool insecure = false;  // skip server verification (off unless asked for)
  // "http://host:port" of a forward proxy that every exchange goes through (the *_proxy
  // and no_proxy variables are then ignored); empty: none.
  std::string proxy;
  // With no `proxy`: follow libcurl's *_proxy and no_proxy environment variables.
  // Off: connect directly, whatever they say.
  bool proxy_from_environment = false;
  // When set, replaces every field above (and adds the bearer token) at each exchange.
  std::shared_ptr<const live_settings> live;
};

struct http_request {
  std::string url;
  std::string method = "POST";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  long timeout_ms = 0;  // whole exchange; 0: no limit
  long connect_timeout_ms = 10000;
};

struct http_response {
  long status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  // Value of a header (any case), empty when absent.
  std::string header(const std::string& name) const;
};

class http_client {
 public:
  explicit http_client(tls_options tls = {});
  ~http_client();
  http_client(const http_client&) = delete;
  http_client& operator=(const http_client&) = delete;

  // Sends the request and reads the whole response. False with `error` naming the URL
  // and the cause when no response arrived. Setting `*abort` ends a running exchange
  // once its request has been sent in full.
  bool perform(const http_request& request, http_response& response, std::string& error,
               const std::atomic<bool>* abort = nullptr);
  // After a failed perform(): whether the request may have reached the server (false
  // when the name did not resolve or the connection or TLS handshake failed).
  bool may_have_reached_server() const { return reached_; }

 private:
  // The options for this exchange; renews the handle when the live source has changed.
  tls_options current_options(std::string& token, bool& live);

  CURL* curl_;
  tls_options tls_;
  unsigned generation_ = 0;  // of the live source, when the handle was made
  bool reached_ = false;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_HTTP_CLIENT_H
