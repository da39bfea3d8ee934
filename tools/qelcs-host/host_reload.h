// SIGHUP on qelcs-host: the configuration is read again (the config file anew, the same
// command line over it) and what can change while serving is applied: through the
// library's CS_Reload the listener settings its service library can reload (TLS files,
// CA files, bearer tokens, log and metrics switches, some limits) and the tunnel
// settings that can change; in the host itself the log level, format and file. What
// needs a restart is named in a WARNING line and kept; a configuration with an error
// changes nothing, and an ERROR line says why. Main thread only.
#ifndef QELCS_HOST_HOST_RELOAD_H
#define QELCS_HOST_HOST_RELOAD_H

#include "cs_library.h"
#include "host_options.h"

namespace qelcs_host {

// `running` becomes the new configuration where it was applied.
void reload_host(int argc, char** argv, host_options& running, cs_library& library);

}  // namespace qelcs_host

#endif  // QELCS_HOST_HOST_RELOAD_H
