// The configuration check of qelcs-host.
#include "config_check.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

#include "library_location.h"
#include "log_output.h"
#include "user_access.h"

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
  if (e.nonblocking_workers > 0) {
    add("nonblocking_workers = " + std::to_string(e.nonblocking_workers));
  }
  if (e.metrics) add("/metrics and /healthz");
  if (e.access_log) add("access log");
  if (e.port == 0) add("port chosen at start");
  return text.empty() ? "" : " (" + text + ")";
}

// Every file the host will read, checked as the user it will run as: a check run as
// root must not pass a key that only root can read. Empty when all are readable.
std::vector<std::string> unreadable_files(const host_options& options, const host_settings& settings,
                                          const qel::tools::run_user& user) {
  std::vector<named_file> files = settings.files();
  if (!options.config_file.empty()) files.insert(files.begin(), {"config", options.config_file});
  files.push_back({"library", options.library.empty() ? default_library_path() : options.library});
  std::vector<std::string> paths;
  for (const named_file& file : files) paths.push_back(file.path);
  std::string note;
  const std::vector<std::string> failures = qel::tools::read_failures(paths, user, note);
  if (!note.empty()) qel::tools::log_warning(note);
  std::vector<std::string> problems;
  for (size_t i = 0; i < files.size(); ++i)
    if (!failures[i].empty())
      problems.push_back(files[i].where + ": user '" + user.name + "' cannot read '" + files[i].path +
                         "': " + failures[i]);
  return problems;
}

}  // namespace

std::vector<std::string> effective_configuration(const host_settings& settings) {
  std::vector<std::string> lines;
  for (const qel::scs::EndpointConfig& e : settings.listeners().endpoints())
    lines.push_back("endpoint '" + std::string(e.label()) + "' at " + endpoint_url(e) +
                    " serves " + served_by(settings, e) + properties(e));
  std::string tunnel = qel::funneltunnel::describe_tunnel_settings(settings.tunnel());
  tunnel.pop_back();  // the last line break
  for (std::size_t at = tunnel.find('\n'); at != std::string::npos; at = tunnel.find('\n', at))
    tunnel.replace(at, 1, ", ");
  lines.push_back("tunnel: " + tunnel);
  return lines;
}

int check_config(const host_options& options) {
  try {
    qel::tools::run_user user = qel::tools::current_user();
    std::string error;
    if (!options.user.empty() && !qel::tools::find_user(options.user, user, error))
      throw std::runtime_error("user: " + error);
    const host_settings settings(options, true);
    const std::vector<std::string> problems = unreadable_files(options, settings, user);
    for (size_t i = 0; i + 1 < problems.size(); ++i) qel::tools::log_error(problems[i]);
    if (!problems.empty()) throw std::runtime_error(problems.back());
    std::printf("qelcs-host: the configuration is valid\n");
    for (const std::string& line : effective_configuration(settings))
      std::printf("  %s\n", line.c_str());
    std::printf("  every file it names is readable by user '%s'\n", user.name.c_str());
    return 0;
  } catch (const std::exception& e) {
    qel::tools::log_error(e.what());
    qel::tools::log_error("the configuration is not valid");
    return 1;
  }
}

}  // namespace qelcs_host
