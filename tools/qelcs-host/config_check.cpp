// The configuration check of qelcs-host.
#include "config_check.h"

#include <cstdio>
#include <exception>

#include "log_output.h"

namespace qelcs_host {

namespace {

std::string endpoint_url(const qel::scs::EndpointConfig& e) {
  const std::string host = e.ipv6 ? "[" + e.address + "]" : e.address;
  return std::string(e.tls() ? "https://" : "http://") + host + ":" + std::to_string(e.port);
}

std::string served_by(const host_settings& settings, const qel::scs::EndpointConfig& e) {
  std::string resources;
  for (const core_resource& r : core_resources) {
    for (const qel::scs::EndpointConfig* serving : settings.listeners().serving(r.path))
      if (serving == &e) resources += (resources.empty() ? "" : ", ") + std::string(r.path);
  }
  return resources.empty() ? "nothing (not opened)" : resources;
}

std::string properties(const qel::scs::EndpointConfig& e) {
  std::string text;
  const auto add = [&](const std::string& item) { text += (text.empty() ? "" : "; ") + item; };
  if (!e.tls_client_ca_file.empty()) add("client certificates from " + e.tls_client_ca_file);
  if (!e.bearer_token_file.empty()) add("bearer token from " + e.bearer_token_file);
  if (e.workers > 0) add(std::to_string(e.workers) + " workers");
  if (e.metrics) add("/metrics and /healthz");
  if (e.access_log) add("access log");
  if (e.port == 0) add("port chosen at start");
  return text.empty() ? "" : " (" + text + ")";
}

}  // namespace

std::vector<std::string> effective_configuration(const host_settings& settings) {
  std::vector<std::string> lines;
  for (const qel::scs::EndpointConfig& e : settings.listeners().endpoints())
    lines.push_back("endpoint '" + std::string(e.label()) + "' at " + endpoint_url(e) +
                    " serves " + served_by(settings, e) + properties(e));
  const auto& t = settings.tunnel();
  lines.push_back("tunnel: caller_timeout = " + std::to_string(t.caller_timeout_s) +
                  ", max_waiting_callers = " + std::to_string(t.max_waiting_callers) +
                  ", poll_timeout = " + std::to_string(t.poll_timeout_s));
  return lines;
}

int check_config(const host_options& options) {
  try {
    const host_settings settings(options, true);
    std::printf("qelcs-host: the configuration is valid\n");
    for (const std::string& line : effective_configuration(settings))
      std::printf("  %s\n", line.c_str());
    return 0;
  } catch (const std::exception& e) {
    qel::tools::log_error(e.what());
    qel::tools::log_error("the configuration is not valid");
    return 1;
  }
}

}  // namespace qelcs_host
