#include "scs/reload_plan.h"

#include <algorithm>

namespace qel::scs {
namespace {

std::string endpoint_name(const EndpointConfig& e) {
  return std::string("endpoint '") + e.label() + "'";
}

std::string list(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());  // the order of a list serves nothing
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
  return text.empty() ? "(none)" : text;
}

std::string limit_text(unsigned limit) { return limit == 0 ? "default" : std::to_string(limit); }

}  // namespace

ReloadPlan::ReloadPlan(const ListenerSettings& running, const ListenerSettings& wanted,
                       const LimitCheck& takes_limit) {
  for (const EndpointConfig& e : running.endpoints()) {
    const EndpointConfig* next = wanted.find(e.name);
    endpoints_.push_back(e);
    if (next == nullptr) {
      restart_.push_back(endpoint_name(e) + " removed");
    } else {
      compare(e, *next, takes_limit);
    }
  }
  for (const EndpointConfig& e : wanted.endpoints()) {
    if (running.find(e.name) == nullptr) restart_.push_back(endpoint_name(e) + " added");
  }
}

void ReloadPlan::compare(const EndpointConfig& running, const EndpointConfig& wanted,
                         const LimitCheck& takes_limit) {
  EndpointConfig& merged = endpoints_.back();
  copy_reloadable(wanted, merged);
  differs(running, "address", running.address, wanted.address);
  differs(running, "port", std::to_string(running.port), std::to_string(wanted.port));
  differs(running, "resources", list(running.resources), list(wanted.resources));
  differs(running, "TLS", running.tls() ? "on" : "off", wanted.tls() ? "on" : "off");
  differs(running, "workers", std::to_string(running.workers), std::to_string(wanted.workers));
  differs(running, "nonblocking_workers", std::to_string(running.nonblocking_workers),
          std::to_string(wanted.nonblocking_workers));
  differs(running, "thread_stack_size", std::to_string(running.thread_stack_size),
          std::to_string(wanted.thread_stack_size));
  differs(running, "connection_timeout", std::to_string(running.connection_timeout),
          std::to_string(wanted.connection_timeout));
  if (wanted.connection_limit != running.connection_limit && !takes_limit(running, wanted)) {
    merged.connection_limit = running.connection_limit;
    restart_.push_back(endpoint_name(running) + " connection_limit " +
                       limit_text(running.connection_limit) + " -> " +
                       limit_text(wanted.connection_limit) +
                       " (above the limit its server started with)");
  }
}

void ReloadPlan::differs(const EndpointConfig& e, const std::string& key, const std::string& was,
                         const std::string& wanted) {
  if (was != wanted) restart_.push_back(endpoint_name(e) + " " + key + " " + was + " -> " + wanted);
}

void ReloadPlan::copy_reloadable(const EndpointConfig& from, EndpointConfig& to) {
  if (from.tls() && to.tls()) {
    to.tls_cert_file = from.tls_cert_file;
    to.tls_key_file = from.tls_key_file;
    to.tls_cert_pem = from.tls_cert_pem;
    to.tls_key_pem = from.tls_key_pem;
    to.tls_client_ca_file = from.tls_client_ca_file;
    to.tls_client_ca_pem = from.tls_client_ca_pem;
  }
  to.bearer_token_file = from.bearer_token_file;
  to.bearer_token = from.bearer_token;
  to.connection_limit = from.connection_limit;
  to.per_ip_limit = from.per_ip_limit;
  to.max_body_size = from.max_body_size;
  to.header_timeout = from.header_timeout;
  to.body_min_rate = from.body_min_rate;
  to.body_budget = from.body_budget;
  to.metrics = from.metrics;
  to.access_log = from.access_log;
}

}  // namespace qel::scs
