// The connection server library as qelcs-host uses it: opened with dlopen and its
// exported functions resolved under the version node "Version_5.0", the extensions
// under theirs when the library has them.
//
// The handle is never closed: once CS_Init has run, the library's threads and
// listeners live until the process ends, so unloading it would pull code from under
// them. One object per process, used from the main thread.
#ifndef QELCS_HOST_CS_LIBRARY_H
#define QELCS_HOST_CS_LIBRARY_H

#include <string>

#include "qelConnectionServer.h"

namespace qelcs_host {

class cs_library {
 public:
  // Opens `path` and resolves the functions; false with `error` naming the cause.
  bool open(const std::string& path, std::string& error);

  // The folder that holds the opened library file (resolved through dladdr).
  const std::string& folder() const { return folder_; }

  // Status text from CS_GetErrorMsg, or a placeholder when it has none.
  std::string error_text(uint32_t status) const;

  decltype(&::CS_Init) init = nullptr;
  decltype(&::CS_ShutDown) shut_down = nullptr;
  decltype(&::CS_GetErrorMsg) get_error_msg = nullptr;
  decltype(&::CS_SetMSLLibPath) set_msl_lib_path = nullptr;
  decltype(&::CS_SetMSLExtSigFileExtension) set_sig_ext = nullptr;
  // Extensions (version node QELCS_EXT_1): null when the library is older.
  decltype(&::CS_Stop) stop = nullptr;
  decltype(&::CS_Reload) reload = nullptr;

 private:
  void* handle_ = nullptr;
  std::string folder_;
};

}  // namespace qelcs_host

#endif  // QELCS_HOST_CS_LIBRARY_H
