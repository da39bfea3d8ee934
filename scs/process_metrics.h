// The figures every Prometheus exporter shows about its process (process_* families:
// CPU time, resident and virtual memory, open and allowed descriptors, start time,
// threads) and the build's version as qelcs_build_info{version="..."} 1, in the text
// exposition format 0.0.4. Read from /proc at each call; any thread.
//
// Compiled into the HTTP service library (its /metrics page) and into qelcs-remote
// (the client's page), so both pages show the same families.
#pragma once

#include <string>

namespace qel::scs {

std::string process_metrics_text(const std::string& version);

}  // namespace qel::scs
