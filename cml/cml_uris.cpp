#include "cml/cml_uris.h"

namespace qel {
namespace cml {
namespace uri {

std::wstring Join(const std::wstring& path) { return std::wstring(kBase) + path; }

}  // namespace uri
}  // namespace cml
}  // namespace qel
