// Reloading the configuration of qelcs-remote.
#include "reload.h"

#include <cstdio>
#include <vector>

#include "log_output.h"

namespace qelcs_remote {

namespace {

using qel::tools::log_error;
using qel::tools::log_info;
using qel::tools::log_warning;

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string seconds(long ms) { return number(ms / 1000.0); }

// Options that need a restart, each as "name = value" of the running configuration,
// when `fresh` sets them otherwise.
std::vector<std::string> fixed_changes(const remote_options& running, const remote_options& fresh) {
  std::vector<std::string> changed;
  const auto compare = [&](const char* name, const std::string& old_value, const std::string& new_value) {
    if (old_value != new_value) changed.push_back(std::string(name) + " = " + old_value);
  };
  const poll_settings& a = running.poll;
  const poll_settings& b = fresh.poll;
  compare("poll", a.poll_url, b.poll_url);
  compare("target", running.target_url, fresh.target_url);
  compare("pollers", std::to_string(a.pollers), std::to_string(b.pollers));
  compare("poll-timeout", seconds(a.poll_timeout_ms), seconds(b.poll_timeout_ms));
  compare("target-timeout", seconds(running.target_timeout_ms), seconds(fresh.target_timeout_ms));
  compare("max-backoff", seconds(a.max_backoff_ms), seconds(b.max_backoff_ms));
  compare("max-requests", std::to_string(a.max_requests), std::to_string(b.max_requests));
  compare("duration", number(a.duration_s), number(b.duration_s));
  compare("max-auth-failures", std::to_string(a.max_auth_failures), std::to_string(b.max_auth_failures));
  compare("status-interval", number(running.status_interval_s), number(fresh.status_interval_s));
  compare("metrics", running.metrics_address, fresh.metrics_address);
  return changed;
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

live_settings::values live_values(const remote_options& options) {
  live_settings::values values;
  values.connection = options.poll.tls;
  values.connection.live.reset();
  values.token = options.poll.token;
  return values;
}

void reload_configuration(int argc, char** argv, remote_options& running, live_settings& live) {
  remote_options fresh;
  std::string error;
  if (!parse_remote_options(argc, argv, fresh, error) || !read_start_files(fresh, error) ||
      !qel::tools::log_output::set_file(fresh.log_file, error)) {
    log_error("SIGHUP: not reloaded, the running configuration stays in force: " + error);
    return;
  }
  if (fresh.log_file == running.log_file && !qel::tools::log_output::reopen(error))
    log_error("SIGHUP: " + error);  // the old file stays in use
  qel::tools::log_output::set_level(fresh.log_level);
  qel::tools::log_output::set_format(fresh.log_format);
  live.replace(live_values(fresh));
  const std::vector<std::string> fixed = fixed_changes(running, fresh);
  if (!fixed.empty())
    log_warning("SIGHUP: " + joined(fixed) + ": cannot change without a restart; kept as it was");
  // Keep what was applied. running.poll stays untouched: the pollers read it, and the
  // values they may use anew reach them through `live`.
  running.token_file = fresh.token_file;
  running.proxy = fresh.proxy;
  running.log_level = fresh.log_level;
  running.log_format = fresh.log_format;
  running.log_file = fresh.log_file;
  running.config_file = fresh.config_file;
  log_info("SIGHUP: configuration reloaded" +
           (fresh.config_file.empty() ? std::string() : " from " + fresh.config_file) +
           "; token, TLS files and proxy apply to the next polls");
}

}  // namespace qelcs_remote
