// getopt_long over a table of option entries.
#include "command_line.h"

#include <getopt.h>

namespace qel {
namespace tools {

namespace {

constexpr int long_only_base = 256;  // getopt's value of long-only option i: base + i

std::vector<option> long_table(const std::vector<option_entry>& entries) {
  std::vector<option> table;
  for (size_t i = 0; i < entries.size(); ++i) {
    const int value = entries[i].short_name != '\0' ? entries[i].short_name
                                                    : long_only_base + static_cast<int>(i);
    table.push_back({entries[i].name, entries[i].takes_value ? required_argument : no_argument,
                     nullptr, value});
  }
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

std::string short_string(const std::vector<option_entry>& entries) {
  std::string text;
  for (const option_entry& entry : entries) {
    if (entry.short_name == '\0') continue;
    text += entry.short_name;
    if (entry.takes_value) text += ':';
  }
  return text;
}

const option_entry* entry_for(const std::vector<option_entry>& entries, int value) {
  if (value >= long_only_base && value < long_only_base + static_cast<int>(entries.size()))
    return &entries[static_cast<size_t>(value - long_only_base)];
  for (const option_entry& entry : entries)
    if (entry.short_name != '\0' && entry.short_name == value) return &entry;
  return nullptr;
}

}  // namespace

bool parse_command_line(int argc, char** argv, int first, const char* program,
                        const std::vector<option_entry>& options, const option_handler& handle,
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
    const option_entry* entry = entry_for(options, found);
    if (entry == nullptr) return false;  // '?': getopt has printed why
    if (!handle(entry->name, entry->takes_value ? optarg : "", error)) return false;
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
