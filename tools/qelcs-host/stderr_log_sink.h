// The log interface qelcs-host hands to CS_Init: each line the libraries log goes to
// stderr as "qelcs-host: LEVEL function: message".
//
// The record is static (the library keeps its address until the process ends); the
// callback may run on any thread and writes each line with one fprintf call, which
// stdio serialises.
#ifndef QELCS_HOST_STDERR_LOG_SINK_H
#define QELCS_HOST_STDERR_LOG_SINK_H

#include <string>

#include "qelConnectionServer.h"

namespace qelcs_host {

// Errors and warnings always; information and entry lines with `verbose`.
const mslLogSink* stderr_log_sink(bool verbose);

// "ERROR", "WARNING", "INFO", "ENTRY" or "LEVEL 0x..." for other values.
std::string level_name(uint32_t level);

}  // namespace qelcs_host

#endif  // QELCS_HOST_STDERR_LOG_SINK_H
