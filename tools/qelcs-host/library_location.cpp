// The default library path of qelcs-host, relative to the running program.
#include "library_location.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

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

bool same_file(const std::string& a, const std::string& b) {
  struct stat one {}, two {};
  return stat(a.c_str(), &one) == 0 && stat(b.c_str(), &two) == 0 && one.st_dev == two.st_dev &&
         one.st_ino == two.st_ino;
}

// The program PATH finds for `name`, or "".
std::string on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

}  // namespace

std::string default_library_path() {
  const std::string folder = program_folder() + "/";
  const std::string installed = folder + installed_relative;
  if (exists(installed) || installed_relative == build_tree_relative) return installed;
  const std::string build_tree = folder + build_tree_relative;
  return exists(build_tree) ? build_tree : installed;
}

std::string remote_client_command() {
  const std::string beside = program_folder() + "/qelcs-remote";
  const std::string found = on_path("qelcs-remote");
  if (!found.empty() && (same_file(found, beside) || !exists(beside))) return "qelcs-remote";
  char cwd[PATH_MAX + 1] = {0};
  char resolved[PATH_MAX + 1] = {0};
  if (getcwd(cwd, PATH_MAX) == nullptr || realpath(beside.c_str(), resolved) == nullptr) return beside;
  const std::string folder = std::string(cwd) + "/", program = resolved;
  return program.rfind(folder, 0) == 0 ? program.substr(folder.size()) : program;
}

std::string default_library_description() {
  if (installed_relative == build_tree_relative) return installed_relative + " beside this program";
  return installed_relative + " (installed) or " + build_tree_relative + " (build tree) beside this program";
}

}  // namespace qelcs_host
