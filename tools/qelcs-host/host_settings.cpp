// Reading and checking a host configuration with the libraries' own rules.
#include "host_settings.h"

#include <stdexcept>

#include "log_output.h"
#include "qelConnectionServer/named_file.h"

namespace qelcs_host {

const core_resource core_resources[3] = {
    {"/qel", true}, {"/qel/reverseConnection", true}, {"/qel/sensor_services/management", false}};

host_settings::host_settings(const host_options& options, bool warn) : warn_(warn) {
  std::string file_1, file_2, tunnel_file, links_file;
  const std::string settings_1 = resolve(options, "listener-settings-1", file_1);
  const std::string settings_2 = resolve(options, "listener-settings-2", file_2);
  listeners_ = std::make_unique<qel::scs::ListenerSettings>(
      settings_1.c_str(), settings_2.c_str(), file_1.c_str(), file_2.c_str());
  const std::string reserved = resolve(options, "reserved-settings", tunnel_file);
  std::vector<std::string> ignored;
  const std::string origin =
      tunnel_file.empty() ? "reserved settings" : "reserved settings file '" + tunnel_file + "'";
  tunnel_ = qel::funneltunnel::read_tunnel_text(reserved, origin, ignored);
  for (const std::string& line : ignored)
    if (warn_) qel::tools::log_warning(origin + ", " + line + ": ignored");
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
