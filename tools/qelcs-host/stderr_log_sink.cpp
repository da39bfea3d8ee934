// Log sink printing the libraries' log lines with level names.
#include "stderr_log_sink.h"

#include <cstdio>

namespace qelcs_host {

namespace {

void print_line(uintptr_t, uint32_t level, const char* message, const char* function) {
  std::fprintf(stderr, "qelcs-host: %s %s: %s\n", level_name(level).c_str(),
               function != nullptr ? function : "-", message != nullptr ? message : "");
}

mslLogSink quiet_sink{0, MSL_LOG_ERROR | MSL_LOG_WARNING, print_line};
mslLogSink verbose_sink{0, MSL_LOG_ERROR | MSL_LOG_WARNING | MSL_LOG_INFO | MSL_LOG_ENTRY,
                        print_line};

}  // namespace

const mslLogSink* stderr_log_sink(bool verbose) { return verbose ? &verbose_sink : &quiet_sink; }

std::string level_name(uint32_t level) {
  switch (level) {
    case MSL_LOG_ERROR: return "ERROR";
    case MSL_LOG_WARNING: return "WARNING";
    case MSL_LOG_INFO: return "INFO";
    case MSL_LOG_ENTRY: return "ENTRY";
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "LEVEL 0x%x", level);
      return text;
    }
  }
}

}  // namespace qelcs_host
