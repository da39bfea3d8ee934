// Reloading qelcs-host's configuration on SIGHUP.
#include "host_reload.h"

#include <vector>

#include "host_settings.h"
#include "log_output.h"

namespace qelcs_host {
namespace {

using qel::tools::log_error;
using qel::tools::log_info;
using qel::tools::log_warning;

// The options that need a restart, when `fresh` sets them otherwise than `running`.
std::vector<std::string> fixed_changes(const host_options& running, const host_options& fresh) {
  std::vector<std::string> changed;
  const auto compare = [&](const std::string& name, const std::string& a, const std::string& b) {
    if (a != b) changed.push_back(name);
  };
  for (const char* name : {"agent-version", "agent-uuid", "agent-name", "agent-namespace", "dns-name", "lmi-links"})
    compare(name, init_argument(running, name), init_argument(fresh, name));
  compare("library", running.library, fresh.library);
  compare("msl-lib-path", running.msl_lib_path, fresh.msl_lib_path);
  compare("sig-ext", running.sig_ext, fresh.sig_ext);
  return changed;
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// The log options of `fresh`; false (nothing changed) when its file cannot be opened.
bool apply_log_options(const host_options& running, const host_options& fresh, std::string& error) {
  if (fresh.log_file != running.log_file) {
    if (!qel::tools::log_output::set_file(fresh.log_file, error)) return false;
  } else if (!qel::tools::log_output::reopen(error)) {
    log_error("SIGHUP: " + error + "; the log goes on to the file in use");
  }
  qel::tools::log_output::set_level(fresh.log_level);
  qel::tools::log_output::set_format(fresh.log_format);
  return true;
}

}  // namespace

void reload_host(int argc, char** argv, host_options& running, cs_library& library) {
  log_info("SIGHUP received: reading the configuration again");
  host_options fresh;
  std::string error;
  std::string tunnel;
  try {
    if (!parse_host_options(argc, argv, fresh, error)) throw std::runtime_error(error);
    tunnel = read_host_tunnel(fresh).text;
  } catch (const std::exception& e) {
    log_error(std::string("SIGHUP: not reloaded, the running configuration stays in force: ") + e.what());
    return;
  }
  if (library.reload == nullptr) {
    log_warning("SIGHUP: this connection server library cannot reload; restart qelcs-host to apply new settings");
    return;
  }
  const uint32_t status = library.reload(init_argument(fresh, "listener-settings-1").c_str(), tunnel.c_str(),
                                         init_argument(fresh, "listener-settings-2").c_str());
  if (status != 0 && status != CS_STATUS_RESTART_NEEDED) {
    log_error("SIGHUP: not reloaded, the running configuration stays in force: " + library.error_text(status));
    return;
  }
  if (!apply_log_options(running, fresh, error)) log_error("SIGHUP: " + error + "; the log options stay as they were");
  const std::vector<std::string> fixed = fixed_changes(running, fresh);
  if (!fixed.empty())
    log_warning("SIGHUP: " + joined(fixed) + ": cannot change without a restart; kept as it was");
  running.init_arguments = fresh.init_arguments;
  running.log_level = fresh.log_level;
  running.log_format = fresh.log_format;
  running.log_file = fresh.log_file;
  log_info("SIGHUP: reloaded");
}

}  // namespace qelcs_host
