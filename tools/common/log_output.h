// The log of the programs (qelcs-host, qelcs-remote): one line per message on stderr,
//
//   2025-01-30T10:15:02.123+01:00 qelcs-host: WARNING the reverse connection ...
//
// or, when stderr is the journal's stream (systemd sets JOURNAL_STREAM to its device
// and inode), "<4>WARNING the reverse connection ..." with the syslog priority in front
// and no time or name: the journal records both itself. Messages below the chosen level
// are dropped. Each line is one write(2), so lines of several threads never mix.
//
// configure() runs once on the main thread before other threads start; the rest may be
// called from any thread.
#ifndef QEL_TOOLS_LOG_OUTPUT_H
#define QEL_TOOLS_LOG_OUTPUT_H

#include <string>

namespace qel {
namespace tools {

enum class log_level { error = 0, warning = 1, info = 2, debug = 3 };

// "error", "warning", "info" or "debug"; false for anything else.
bool parse_log_level(const std::string& text, log_level& level);
const char* log_level_name(log_level level);  // "ERROR", "WARNING", "INFO", "DEBUG"

class log_output {
 public:
  // `program` prefixes every line; `level` is the least severe level written.
  static void configure(const char* program, log_level level);
  static bool enabled(log_level level);
  // Writes `text` (each of its lines, when it has several) at `level`.
  static void write(log_level level, const std::string& text);
};

inline void log_error(const std::string& text) { log_output::write(log_level::error, text); }
inline void log_warning(const std::string& text) { log_output::write(log_level::warning, text); }
inline void log_info(const std::string& text) { log_output::write(log_level::info, text); }
inline void log_debug(const std::string& text) { log_output::write(log_level::debug, text); }

}  // namespace tools
}  // namespace qel

#endif  // QEL_TOOLS_LOG_OUTPUT_H
