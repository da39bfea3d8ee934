// qelcs-host --check-config: reads every settings text and every file they name with
// the libraries' own rules (host_settings.h), prints the effective endpoints and the
// tunnel settings to stdout, and returns the exit code: 0 valid, 1 not. Opens no socket
// and loads no library, so it runs beside a serving host; what only a start can tell
// (a port in use, a certificate that does not match its key, the links' XML, the
// open-file limit) is not checked. Main thread.
#ifndef QELCS_HOST_CONFIG_CHECK_H
#define QELCS_HOST_CONFIG_CHECK_H

#include <string>
#include <vector>

#include "host_settings.h"

namespace qelcs_host {

int check_config(const host_options& options);

// The lines describing what `settings` serve: one per endpoint, then the tunnel's.
std::vector<std::string> effective_configuration(const host_settings& settings);

}  // namespace qelcs_host

#endif  // QELCS_HOST_CONFIG_CHECK_H
