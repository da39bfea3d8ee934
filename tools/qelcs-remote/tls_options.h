// How a connection is made: TLS files, forward proxy, and optionally a live source of
// both (live_settings, which a reload replaces). A plain value.
//
// Proxies: a connection uses a forward proxy only when its options name one (`proxy`)
// or allow libcurl's *_proxy environment variables (`proxy_from_environment`); by
// default it connects directly whatever the environment says, as the target
// connection must.
#ifndef QELCS_REMOTE_TLS_OPTIONS_H
#define QELCS_REMOTE_TLS_OPTIONS_H

#include <memory>
#include <string>

namespace qelcs_remote {

class live_settings;

struct tls_options {
  std::string cacert;  // CA file that verifies the server; empty: the system's store
  std::string cert;    // client certificate (PEM); empty: none
  std::string key;     // its private key (PEM)
  bool insecure = false;  // skip server verification (off unless asked for)
  // "http://host:port" of a forward proxy that every exchange goes through (the *_proxy
  // and no_proxy variables are then ignored); empty: none.
  std::string proxy;
  // With no `proxy`: follow the *_proxy and no_proxy environment variables.
  // Off: connect directly, whatever they say.
  bool proxy_from_environment = false;
  // When set, replaces every field above (and adds the bearer token) at each exchange.
  std::shared_ptr<const live_settings> live;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_TLS_OPTIONS_H
