#include "cml/cml_mem_buf_input_source.h"

#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
const char kEmpty[] = "";
}

// Xerces' memory manager is passed on purpose: it initialises Xerces, so a source made
// before any parser works.
CCmlMemBufInputSource::CCmlMemBufInputSource(const char* bytes, std::size_t length)
    : xercesc::MemBufInputSource(
          reinterpret_cast<const XMLByte*>(bytes != nullptr ? bytes : kEmpty),
          bytes != nullptr ? length : 0, kMemBufSystemId, false, XercesMemoryManager()) {}

CCmlMemBufInputSource::~CCmlMemBufInputSource() = default;

}  // namespace cml
}  // namespace qel
