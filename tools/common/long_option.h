// long_option: splits one "--name=value" or "--name value" command-line option, the
// form every option of the programs here takes. Header-only; no state.
#ifndef QEL_TOOLS_LONG_OPTION_H
#define QEL_TOOLS_LONG_OPTION_H

#include <string>

namespace qel {
namespace tools {

// argv[i] must begin with "--". On success `name` holds the option without its dashes
// and `value` its value; `i` has moved past a value given as the next argument.
inline bool take_long_option(int argc, char** argv, int& i, std::string& name,
                             std::string& value, std::string& error) {
  name = std::string(argv[i]).substr(2);
  value.clear();
  const auto equals = name.find('=');
  if (equals != std::string::npos) {
    value = name.substr(equals + 1);
    name.resize(equals);
    return true;
  }
  if (i + 1 < argc) {
    value = argv[++i];
    return true;
  }
  error = "option '--" + name + "' needs a value";
  return false;
}

}  // namespace tools
}  // namespace qel

#endif  // QEL_TOOLS_LONG_OPTION_H
