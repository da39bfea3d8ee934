// Where the host listens, read from the two listener settings texts for the start-up
// message: the default endpoint's and each "[endpoint NAME]" section's address and
// port. Only a summary for people: the HTTP service library is the authority on the
// settings and reports their errors itself. Pure functions, any thread.
#ifndef QELCS_HOST_LISTEN_SUMMARY_H
#define QELCS_HOST_LISTEN_SUMMARY_H

#include <string>
#include <vector>

namespace qelcs_host {

struct endpoint_summary {
  std::string name;  // empty for the default endpoint
  std::string address = "127.0.0.1";
  std::string port;
  std::string resources;  // empty: every resource not listed elsewhere
  bool tls = false;
  bool client_auth = false;  // client certificates or a bearer token are required
};

// The default endpoint (port 18080 unless set) and the named endpoints that have a
// port, from both texts (the second overrides the first). Each
// text may be the name of a readable file, as the library treats it.
std::vector<endpoint_summary> summarize_listeners(const std::string& settings_1,
                                                  const std::string& settings_2);

// "http://127.0.0.1:18080" (https when the endpoint has TLS keys).
std::string base_url(const endpoint_summary& endpoint);

// Base URL of the endpoint that serves `resource`: the one listing it, else the default
// endpoint. Empty when neither has a port.
std::string url_serving(const std::vector<endpoint_summary>& endpoints, const std::string& resource);

// A warning when the reverse connection resource is served on an address other than
// loopback without TLS or without client authentication (anybody who reaches it could
// take the callers' requests); empty otherwise.
std::string remote_side_warning(const std::vector<endpoint_summary>& endpoints);

}  // namespace qelcs_host

#endif  // QELCS_HOST_LISTEN_SUMMARY_H
