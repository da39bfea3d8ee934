// The default library path of qelcs-host, relative to the running program.
#include "library_location.h"

#include <limits.h>
#include <unistd.h>

#include "qel_build_info.h"

namespace qelcs_host {

namespace {

const std::string library_file = "libqelConnectionServer5.so";
const std::string installed_relative = std::string(QEL_BIN_TO_LIB_DIR) + "/" + library_file;
const std::string build_tree_relative = "../lib/" + library_file;

// The running program's folder; "." when /proc cannot tell.
std::string program_folder() {
  char buffer[PATH_MAX + 1] = {0};
  const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
  const std::string self = length > 0 ? std::string(buffer, static_cast<size_t>(length)) : "";
  const auto slash = self.rfind('/');
  return slash == std::string::npos ? "." : self.substr(0, slash);
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

std::string default_library_path() {
  const std::string folder = program_folder() + "/";
  const std::string installed = folder + installed_relative;
  if (exists(installed) || installed_relative == build_tree_relative) return installed;
  const std::string build_tree = folder + build_tree_relative;
  return exists(build_tree) ? build_tree : installed;
}

std::string default_library_description() {
  if (installed_relative == build_tree_relative) return installed_relative + " beside this program";
  return installed_relative + " (installed) or " + build_tree_relative + " (build tree) beside this program";
}

}  // namespace qelcs_host
