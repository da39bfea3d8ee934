// Command-line parsing for the programs, over getopt_long: "--name value",
// "--name=value", unambiguous abbreviations ("--verb" for "--verbose"), short options,
// and getopt's own messages for bad input ("qelcs-host: unrecognized option '--bogus'",
// "option '--poll' requires an argument"), printed to stderr under the program's name.
// Stateless between calls; getopt's globals make it a main-thread-only affair.
#ifndef QEL_TOOLS_COMMAND_LINE_H
#define QEL_TOOLS_COMMAND_LINE_H

#include <functional>
#include <string>
#include <vector>

namespace qel {
namespace tools {

struct option_entry {
  const char* name;        // long name without "--"
  bool takes_value;
  char short_name = '\0';  // '\0': long form only
};

// Receives each option in command-line order, by its long name; `value` is empty for an
// option without one. Returns false with `error` set to refuse the value.
using option_handler =
    std::function<bool(const std::string& name, const std::string& value, std::string& error)>;

// Parses argv[first..argc). Arguments that are not options go to `operands`; with a null
// `operands` any of them is an error ("unexpected argument 'x'"). False on any error:
// either getopt printed its message (then `error` is empty) or `error` says what is wrong.
bool parse_command_line(int argc, char** argv, int first, const char* program,
                        const std::vector<option_entry>& options, const option_handler& handle,
                        std::vector<std::string>* operands, std::string& error);

}  // namespace tools
}  // namespace qel

#endif  // QEL_TOOLS_COMMAND_LINE_H
