// A host configuration read as the libraries will read it, without starting anything:
// each CS_Init value resolved by the connection server's file rule (named_file.h), the
// listener settings parsed by the HTTP service library's own parser and the tunnel
// settings by the core's reader, both compiled into the host from the same sources.
// Used by --check-config, and at start for the hints that need file names (TLS, token).
//
// Plain values, built and used on the main thread.
#ifndef QELCS_HOST_HOST_SETTINGS_H
#define QELCS_HOST_HOST_SETTINGS_H

#include <memory>
#include <string>
#include <vector>

#include "host_options.h"
#include "qelConnectionServer/tunnel_settings.h"
#include "scs/listener_settings.h"

namespace qelcs_host {

// The resources the connection server registers, and whether each may wait.
struct core_resource {
  const char* path;
  bool may_wait;  // a callback that waits cannot be served by an endpoint with workers
};
extern const core_resource core_resources[3];

// A file the configuration names, and where: "listener-settings-1", or "endpoint
// 'remote' tls_key_file".
struct named_file {
  std::string where;
  std::string path;
};

// The tunnel settings qelcs-host passes to CS_Init: its own defaults with each key the
// operator names (--reserved-settings, or the config file) in place of its default, as a
// text with every key once. Stricter than the library: a line the library would only
// warn about and ignore (an unknown key, a section, words) is an error here, since a
// typo would otherwise leave a default in force unseen.
struct host_tunnel {
  std::string text;                               // for CS_Init
  qel::funneltunnel::tunnel_settings settings;
  std::string file;                               // the file the operator named, if any
};
// Throws std::runtime_error naming the source (option or file), line and key.
host_tunnel read_host_tunnel(const host_options& options);

class host_settings {
 public:
  // Reads every text and the files they name; throws std::runtime_error whose what()
  // names the source (option, file and line) and the cause. With `warn`, things worth a
  // warning that would not stop CS_Init are logged as they are found: a value that reads
  // like a file name but names none, tunnel settings lines that are ignored.
  host_settings(const host_options& options, bool warn);

  const qel::scs::ListenerSettings& listeners() const { return *listeners_; }
  const qel::funneltunnel::tunnel_settings& tunnel() const { return tunnel_; }
  // The endpoint named `name` ("default" for the default one), or null.
  const qel::scs::EndpointConfig* endpoint(const std::string& name) const;
  // Every file the settings name: the settings files and each endpoint's TLS, CA and
  // token files.
  std::vector<named_file> files() const;

 private:
  std::string resolve(const host_options& options, const char* option, std::string& file);
  void check_workers() const;

  std::unique_ptr<qel::scs::ListenerSettings> listeners_;
  std::vector<named_file> setting_files_;  // values of options that named a file
  qel::funneltunnel::tunnel_settings tunnel_;
  const bool warn_;
};

}  // namespace qelcs_host

#endif  // QELCS_HOST_HOST_SETTINGS_H
