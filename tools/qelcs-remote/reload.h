// SIGHUP on qelcs-remote: the configuration is read again (the config file anew, the
// same command line over it) and what can change while polls run is applied: the bearer
// token (its file is read again), the TLS files, the proxy (the next polls use them,
// over new connections) and the log level, format and file. The rest (poll URL, target,
// pollers, time-outs and limits, metrics address) is kept; a change there is named in a
// WARNING line. A configuration with an error is not applied at all, and the ERROR line
// says why. Main thread; the pollers read the new values through live_settings.
#ifndef QELCS_REMOTE_RELOAD_H
#define QELCS_REMOTE_RELOAD_H

#include "live_settings.h"
#include "remote_options.h"

namespace qelcs_remote {

// `running` is the configuration in force; it takes the applied values.
void reload_configuration(int argc, char** argv, remote_options& running, live_settings& live);

// The values a reload applies, as the pollers read them.
live_settings::values live_values(const remote_options& options);

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_RELOAD_H
