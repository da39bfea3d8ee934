// The configuration check of qelcs-remote.
#include "remote_check.h"

#include <cstdio>
#include <vector>

#include "log_output.h"
#include "user_access.h"

namespace qelcs_remote {

namespace {

struct named_file {
  const char* key;
  std::string path;
};

std::vector<named_file> named_files(const remote_options& options) {
  std::vector<named_file> files;
  const auto add = [&](const char* key, const std::string& path) {
    if (!path.empty()) files.push_back({key, path});
  };
  add("config", options.config_file);
  add("cacert", options.poll.tls.cacert);
  add("cert", options.poll.tls.cert);
  add("key", options.poll.tls.key);
  add("token", options.token_file);
  return files;
}

// Problems with the files, each naming where the file was set.
std::vector<std::string> file_problems(const remote_options& options, const qel::tools::run_user& user) {
  const std::vector<named_file> files = named_files(options);
  std::vector<std::string> paths;
  for (const named_file& file : files) paths.push_back(file.path);
  std::string note;
  const std::vector<std::string> failures = qel::tools::read_failures(paths, user, note);
  if (!note.empty()) qel::tools::log_warning(note);
  std::vector<std::string> problems;
  for (size_t i = 0; i < files.size(); ++i) {
    if (failures[i].empty()) continue;
    const std::string where = files[i].key == std::string("config") ? "option '--config'"
                                                                    : options.where(files[i].key);
    problems.push_back(where + ": user '" + user.name + "' cannot read '" + files[i].path + "': " +
                       failures[i]);
  }
  if (!problems.empty()) return problems;
  remote_options copy = options;  // the token's contents, as the start reads them
  std::string error;
  if (!read_start_files(copy, error)) problems.push_back(options.where("token") + ": " + error);
  return problems;
}

std::vector<std::string> effective(const remote_options& o, const qel::tools::run_user& user) {
  std::vector<std::string> lines;
  const std::string route = !o.proxy.empty() && o.proxy != "none" ? "through the proxy " + o.proxy
                            : o.proxy == "none" ? "directly"
                                                : "as the *_proxy variables say";
  lines.push_back("poll " + o.poll.poll_url + " with " + std::to_string(o.poll.pollers) + " poller(s), " + route);
  lines.push_back("target " + o.target_url + " (directly)");
  std::string credentials;
  const auto add = [&](const std::string& what, const std::string& path) {
    if (!path.empty()) credentials += (credentials.empty() ? "" : "; ") + what + " " + path;
  };
  add("CA", o.poll.tls.cacert);
  add("client certificate", o.poll.tls.cert);
  add("key", o.poll.tls.key);
  add("bearer token from", o.token_file);
  if (o.poll.tls.insecure) credentials += std::string(credentials.empty() ? "" : "; ") + "server not verified";
  lines.push_back("credentials: " + (credentials.empty() ? std::string("none") : credentials) +
                  " (readable by user '" + user.name + "')");
  lines.push_back(std::string("log: ") + qel::tools::log_level_name(o.log_level) + " and above, " +
                  (o.log_format == qel::tools::log_format::json ? "JSON" : "text") + ", to " +
                  (o.log_file.empty() ? std::string("stderr") : o.log_file));
  if (!o.metrics_address.empty()) lines.push_back("metrics at http://" + o.metrics_address + "/metrics");
  return lines;
}

}  // namespace

int check_remote_config(const remote_options& options) {
  qel::tools::run_user user = qel::tools::current_user();
  std::string error;
  if (!options.user.empty() && !qel::tools::find_user(options.user, user, error)) {
    qel::tools::log_error(options.where("user") + ": " + error);
    qel::tools::log_error("the configuration is not valid");
    return exit_usage;
  }
  const std::vector<std::string> problems = file_problems(options, user);
  for (const std::string& problem : problems) qel::tools::log_error(problem);
  if (!problems.empty()) {
    qel::tools::log_error("the configuration is not valid");
    return exit_usage;
  }
  std::printf("qelcs-remote: the configuration is valid\n");
  for (const std::string& line : effective(options, user)) std::printf("  %s\n", line.c_str());
  return exit_ran;
}

}  // namespace qelcs_remote
