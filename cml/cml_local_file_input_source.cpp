#include "cml/cml_local_file_input_source.h"

#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

// Xerces' memory manager is passed on purpose: it initialises Xerces, so a source made
// before any parser works.
CCmlLocalFileInputSource::CCmlLocalFileInputSource(const std::wstring& path)
    : xercesc::LocalFileInputSource(ToXml(path).c_str(), XercesMemoryManager()) {}

CCmlLocalFileInputSource::CCmlLocalFileInputSource(const std::string& utf8Path)
    : CCmlLocalFileInputSource(FromUtf8(utf8Path)) {}

CCmlLocalFileInputSource::~CCmlLocalFileInputSource() = default;

}  // namespace cml
}  // namespace qel
