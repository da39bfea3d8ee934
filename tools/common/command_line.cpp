// getopt_long over a table of option specs.
#include "command_line.h"

#include <getopt.h>

namespace qel {
namespace tools {

namespace {

constexpr int long_only_base = 256;  // getopt's value of long-only option i: base + i

std::vector<option> long_table(const std::vector<option_spec>& specs) {
  std::vector<option> table;
  for (size_t i = 0; i < specs.size(); ++i) {
    const int value = specs[i].short_name != '\0' ? specs[i].short_name
                                                  : long_only_base + static_cast<int>(i);
    table.push_back({specs[i].name, specs[i].takes_value ? required_argument : no_argument,
                     nullptr, value});
  }
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

std::string short_string(const std::vector<option_spec>& specs) {
  std::string text;
  for (const option_spec& spec : specs) {
    if (spec.short_name == '\0') continue;
    text += spec.short_name;
    if (spec.takes_value) text += ':';
  }
  return text;
}

const option_spec* spec_for(const std::vector<option_spec>& specs, int value) {
  if (value >= long_only_base && value < long_only_base + static_cast<int>(specs.size()))
    return &specs[static_cast<size_t>(value - long_only_base)];
  for (const option_spec& spec : specs)
    if (spec.short_name != '\0' && spec.short_name == value) return &spec;
  return nullptr;
}

}  // namespace

bool parse_command_line(int argc, char** argv, int first, const char* program,
                        const std::vector<option_spec>& options, const option_handler& handle,
                        std::vector<std::string>* operands, std::string& error) {
  // getopt names the program after argv[0]: give it the program's plain name.
  std::vector<char*> args = {const_cast<char*>(program)};
  for (int i = first; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  const std::vector<option> table = long_table(options);
  const std::string shorts = short_string(options);
  optind = 0;  // start over (GNU: a full reset)
  opterr = 1;
  const int count = static_cast<int>(args.size()) - 1;
  int found;
  while ((found = getopt_long(count, args.data(), shorts.c_str(), table.data(), nullptr)) != -1) {
    const option_spec* spec = spec_for(options, found);
    if (spec == nullptr) return false;  // '?': getopt has printed why
    if (!handle(spec->name, spec->takes_value ? optarg : "", error)) return false;
  }
  for (int i = optind; i < count; ++i) {
    if (operands == nullptr) {
      error = std::string("unexpected argument '") + args[static_cast<size_t>(i)] + "'";
      return false;
    }
    operands->push_back(args[static_cast<size_t>(i)]);
  }
  return true;
}

}  // namespace tools
}  // namespace qel
