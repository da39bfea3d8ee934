// dlopen/dlvsym of the connection server library.
#include "cs_library.h"

#include <dlfcn.h>
#include <stdlib.h>

namespace qelcs_host {

namespace {

const char* const version_node = "Version_5.0";
const char* const extension_node = "QELCS_EXT_1";

std::string folder_of(const std::string& file) {
  const auto slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

template <typename Function>
bool resolve(void* handle, const char* name, Function& out, std::string& error) {
  void* symbol = dlvsym(handle, name, version_node);
  if (symbol == nullptr) {
    const char* cause = dlerror();
    error = std::string("symbol ") + name + "@" + version_node + " not found" +
            (cause != nullptr ? std::string(": ") + cause : std::string());
    return false;
  }
  out = reinterpret_cast<Function>(symbol);
  return true;
}

}  // namespace

bool cs_library::open(const std::string& path, std::string& error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* cause = dlerror();
    // dlerror's text names the file already.
    error = std::string("cannot load the connection server library: ") +
            (cause != nullptr ? cause : path + ": unknown error");
    return false;
  }
  if (!resolve(handle_, "CS_Init", init, error) ||
      !resolve(handle_, "CS_ShutDown", shut_down, error) ||
      !resolve(handle_, "CS_GetErrorMsg", get_error_msg, error) ||
      !resolve(handle_, "CS_SetMSLLibPath", set_msl_lib_path, error) ||
      !resolve(handle_, "CS_SetMSLExtSigFileExtension", set_sig_ext, error)) {
    error = path + ": " + error;
    return false;
  }
  stop = reinterpret_cast<decltype(stop)>(dlvsym(handle_, "CS_Stop", extension_node));
  reload = reinterpret_cast<decltype(reload)>(dlvsym(handle_, "CS_Reload", extension_node));
  Dl_info info{};
  std::string file = path;
  if (dladdr(reinterpret_cast<void*>(init), &info) != 0 && info.dli_fname != nullptr)
    file = info.dli_fname;
  char* real = realpath(file.c_str(), nullptr);
  if (real != nullptr) {
    file = real;
    free(real);
  }
  folder_ = folder_of(file);
  return true;
}

std::string cs_library::error_text(uint32_t status) const {
  char text[1024] = {0};
  if (get_error_msg == nullptr || get_error_msg(status, text, sizeof text) != 0 || text[0] == '\0')
    return "(no text for this status)";
  return text;
}

}  // namespace qelcs_host
