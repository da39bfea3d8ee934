#include "cml/cml_files.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
bool MakeOne(const std::string& folder) {
  if (folder.empty()) return true;
  if (::mkdir(folder.c_str(), 0755) == 0) return true;
  struct stat st;
  return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

void CreateFolderFor(const std::string& path, const std::wstring& operation) {
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return;
  std::string folder = path.substr(0, cut);
  for (std::size_t pos = folder.find_first_of("/\\", 1); ;
       pos = folder.find_first_of("/\\", pos + 1)) {
    std::string part = folder.substr(0, pos);
    if (!MakeOne(part)) {
      throw CCmlException(operation,
                          L"Unable to create folder; path = '" + FromUtf8(folder) + L"'",
                          codes::kFolderCreate);
    }
    if (pos == std::string::npos) break;
  }
}

}  // namespace cml
}  // namespace qel
