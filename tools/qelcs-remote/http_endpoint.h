// http_endpoint: where the exchanges of one connection go and how they reach it. The
// poll URL or the target base URL taken apart once (scheme, authority for the Host
// header, path), the TLS files, and the route: directly, through a CONNECT tunnel of a
// proxy (https URLs; the request then looks as without the proxy), or to a plain HTTP
// forward proxy (http URLs), which takes the request with the absolute URL and the
// proxy's credentials.
//
// libcurl makes the connections (name resolution, TCP, TLS, proxy tunnel, client
// certificate); this decides the proxy itself for http URLs, so that libcurl and the
// request line always agree. Plain values, built on any thread, then read-only.
#ifndef QELCS_REMOTE_HTTP_ENDPOINT_H
#define QELCS_REMOTE_HTTP_ENDPOINT_H

#include <string>

#include "tls_options.h"

namespace qelcs_remote {

struct http_endpoint {
  std::string url;        // as given, e.g. "https://h:8443/qel/reverseConnection"
  std::string origin;     // "scheme://host[:port]", the part before the path
  std::string authority;  // the Host header: "host[:port]"
  std::string path;       // path and query of `url`; "/" when it has none
  bool tls = false;       // an https URL
  tls_options options;    // TLS files (https) and proxy settings; `live` unused
  // The proxy libcurl is told to use: "" for none; not set: libcurl follows the
  // *_proxy variables itself (https URLs only, which always tunnel).
  bool proxy_decided = true;
  std::string proxy;
  // Requests go to a plain HTTP forward proxy: absolute URL in the request line.
  bool absolute_form = false;
  std::string proxy_authorization;  // "Basic ..." from the proxy URL's user, or ""
};

// The endpoint for `url` with `options`; false with `error` when the URL cannot be
// used (not http or https, no host).
bool make_endpoint(const std::string& url, const tls_options& options, http_endpoint& endpoint,
                   std::string& error);

// The proxy URL the environment names for an http request to `host` ("" for none):
// http_proxy (lower case only), else all_proxy or ALL_PROXY, unless no_proxy or NO_PROXY
// lists the host ("*", a name or a domain suffix, an address or an address range).
std::string environment_proxy_for_http(const std::string& host);

// True when a no_proxy list names `host`.
bool no_proxy_matches(const std::string& list, const std::string& host);

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_HTTP_ENDPOINT_H
