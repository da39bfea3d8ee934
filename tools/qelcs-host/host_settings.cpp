// Reading and checking a host configuration with the libraries' own rules.
#include "host_settings.h"

#include <set>
#include <sstream>
#include <stdexcept>

#include "log_output.h"
#include "qelConnectionServer/named_file.h"

namespace qelcs_host {

const core_resource core_resources[3] = {
    {"/qel", true}, {"/qel/reverseConnection", true}, {"/qel/sensor_services/management", false}};

namespace {

// "caller_timeout, max_waiting_callers, ..." from the settings' own description.
std::string known_tunnel_keys() {
  std::string keys;
  std::istringstream lines(qel::funneltunnel::describe_tunnel_settings({}));
  for (std::string line; std::getline(lines, line);)
    keys += (keys.empty() ? "" : ", ") + line.substr(0, line.find(' '));
  return keys;
}

}  // namespace

host_tunnel read_host_tunnel(const host_options& options) {
  using namespace qel::funneltunnel;
  std::vector<std::string> ignored;
  std::set<std::string> named;
  const tunnel_settings defaults =
      read_tunnel_text(default_tunnel_settings, "qelcs-host's defaults", ignored, {}, named);
  host_tunnel result;
  result.settings = defaults;
  const auto given = options.init_arguments.find("reserved-settings");
  if (given != options.init_arguments.end()) {
    std::string text = given->second;
    if (read_named_file(given->second, text)) result.file = given->second;
    const std::string origin = result.file.empty() ? "reserved settings"
                                                   : "reserved settings file '" + result.file + "'";
    result.settings = read_tunnel_text(text, origin, ignored, defaults, named);
    if (!ignored.empty())
      throw std::runtime_error(origin + " " + ignored.front() + " (the keys are " + known_tunnel_keys() + ")");
  }
  result.text = describe_tunnel_settings(result.settings);
  return result;
}

host_settings::host_settings(const host_options& options, bool warn) : warn_(warn) {
  std::string file_1, file_2, tunnel_file, links_file;
  const std::string settings_1 = resolve(options, "listener-settings-1", file_1);
  const std::string settings_2 = resolve(options, "listener-settings-2", file_2);
  listeners_ = std::make_unique<qel::scs::ListenerSettings>(
      settings_1.c_str(), settings_2.c_str(), file_1.c_str(), file_2.c_str());
  resolve(options, "reserved-settings", tunnel_file);  // a missing file is warned about
  tunnel_ = read_host_tunnel(options).settings;
  resolve(options, "lmi-links", links_file);  // its XML is checked by CS_Init only
  check_workers();
}

std::string host_settings::resolve(const host_options& options, const char* option,
                                   std::string& file) {
  const std::string value = init_argument(options, option);
  std::string contents;
  if (qel::funneltunnel::read_named_file(value, contents)) {
    file = value;
    setting_files_.push_back({option, value});
    return contents;
  }
  if (warn_ && qel::funneltunnel::names_missing_file(value))
    qel::tools::log_warning(std::string(option) + ": no file named '" + value + "' exists; read as " +
                     (std::string(option) == "lmi-links" ? "links" : "settings") + " text");
  return value;
}

// The service library refuses to start an endpoint with workers for a resource whose
// callback may wait; say so now rather than at start.
void host_settings::check_workers() const {
  if (tunnel_.answer_later) return;  // callers and polls then hold no worker
  for (const core_resource& resource : core_resources) {
    if (!resource.may_wait) continue;
    for (const qel::scs::EndpointConfig* e : listeners_->serving(resource.path)) {
      if (e->workers == 0) continue;
      throw std::runtime_error(std::string("endpoint '") + e->label() + "' runs " +
                               std::to_string(e->workers) + " workers, but " + resource.path +
                               " may wait: serve it on an endpoint without 'workers'");
    }
  }
}

std::vector<named_file> host_settings::files() const {
  std::vector<named_file> files = setting_files_;
  for (const qel::scs::EndpointConfig& e : listeners_->endpoints()) {
    const std::string where = "endpoint '" + std::string(e.label()) + "' ";
    for (const auto& [key, path] : {std::pair<const char*, const std::string&>{"tls_cert_file", e.tls_cert_file},
                                    {"tls_key_file", e.tls_key_file},
                                    {"tls_client_ca_file", e.tls_client_ca_file},
                                    {"bearer_token_file", e.bearer_token_file}})
      if (!path.empty()) files.push_back({where + key, path});
  }
  return files;
}

const qel::scs::EndpointConfig* host_settings::endpoint(const std::string& name) const {
  for (const qel::scs::EndpointConfig& e : listeners_->endpoints())
    if (name == e.label()) return &e;
  return nullptr;
}

}  // namespace qelcs_host
