#include "cml/cml_mem_buf_input_source.h"

namespace qel {
namespace cml {

namespace {
const char kEmpty[] = "";
}

CCmlMemBufInputSource::CCmlMemBufInputSource(const char* bytes, std::size_t length)
    : xercesc::MemBufInputSource(
          reinterpret_cast<const XMLByte*>(bytes != nullptr ? bytes : kEmpty),
          bytes != nullptr ? length : 0, kMemBufSystemId, false) {}

CCmlMemBufInputSource::~CCmlMemBufInputSource() = default;

}  // namespace cml
}  // namespace qel
