#include "qelToolsLib/qelLibraryFolder.h"

#include <dlfcn.h>

namespace qelToolsLib {

std::string qelLibraryFolder() {
  static const char anchor = 0;  // any address inside this object will do
  Dl_info info{};
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return ".";
  const std::string path(info.dli_fname);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace qelToolsLib
