// The log of the programs (qelcs-host, qelcs-remote): one line per message, on stderr
// or in a log file,
//
//   2025-01-30T10:15:02.123+01:00 qelcs-host: WARNING the reverse connection ...
//
// or, when stderr is the journal's stream (systemd sets JOURNAL_STREAM to its device
// and inode), "<4>WARNING the reverse connection ..." with the syslog priority in front
// and no time or name: the journal records both itself. In the JSON format each line is
// one object: {"time":...,"level":...,"program":...,"message":..., then the line's own
// fields (such as "function" for the libraries' lines)}. Messages below the chosen level
// are dropped. Each line is one write(2), so lines of several threads never mix.
//
// configure() runs once on the main thread before other threads start. The setters may
// run on any thread while others write (a reload, a SIGUSR1 reopen): the level and format
// are atomics, and the log file's descriptor number never changes once published (a
// reopen puts the new file under the same number with dup2), so a writer never uses a
// closed descriptor. write() may be called from any thread.
#ifndef QEL_TOOLS_LOG_OUTPUT_H
#define QEL_TOOLS_LOG_OUTPUT_H

#include <string>
#include <utility>
#include <vector>

namespace qel {
namespace tools {

enum class log_level { error = 0, warning = 1, info = 2, debug = 3 };
enum class log_format { text = 0, json = 1 };

// "error", "warning", "info" or "debug"; false for anything else.
bool parse_log_level(const std::string& text, log_level& level);
const char* log_level_name(log_level level);  // "ERROR", "WARNING", "INFO", "DEBUG"
// "text" or "json"; false for anything else.
bool parse_log_format(const std::string& text, log_format& format);

// Named values of one line beside its message ("function" = "CS_Init").
using log_fields = std::vector<std::pair<std::string, std::string>>;

class log_output {
 public:
  // `program` prefixes every line; `level` is the least severe level written.
  static void configure(const char* program, log_level level);
  static void set_level(log_level level);
  static void set_format(log_format format);
  // Appends the lines to the file at `path` from now on (created with mode 0640); an
  // empty path goes back to stderr. False with `error` naming the file and the cause,
  // the output unchanged.
  static bool set_file(const std::string& path, std::string& error);
  // Opens the log file again under its name, for logrotate: after a rename the lines go
  // to a new file of that name. True without doing anything while writing to stderr.
  static bool reopen(std::string& error);
  static std::string file();  // the log file's path; empty: stderr
  static log_format format();
  static bool enabled(log_level level);
  // Writes `text` (each of its lines, when it has several; in JSON one object) at `level`.
  // The fields are written in JSON only: a caller whose text lines show them (such as
  // "function: message") passes that text in the text format (see format()).
  static void write(log_level level, const std::string& text, const log_fields& fields = {});
};

// `text` as a JSON string, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string json_string(const std::string& text);

inline void log_error(const std::string& text) { log_output::write(log_level::error, text); }
inline void log_warning(const std::string& text) { log_output::write(log_level::warning, text); }
inline void log_info(const std::string& text) { log_output::write(log_level::info, text); }
inline void log_debug(const std::string& text) { log_output::write(log_level::debug, text); }

}  // namespace tools
}  // namespace qel

#endif  // QEL_TOOLS_LOG_OUTPUT_H
