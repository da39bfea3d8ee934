// CCmlMemBufInputSource: the input source of a parse from memory: a Xerces
// MemBufInputSource over the caller's bytes, which are neither copied nor adopted (they
// must outlive the parse), with the system id "QEL CML Stream" that error texts name.
// Owned by the parsing call; one thread.
#ifndef QEL_CML_MEM_BUF_INPUT_SOURCE_H
#define QEL_CML_MEM_BUF_INPUT_SOURCE_H

#include <cstddef>

#include <xercesc/framework/MemBufInputSource.hpp>

namespace qel {
namespace cml {

// System id of a parsed memory buffer, as error texts name it.
inline constexpr char kMemBufSystemId[] = "QEL CML Stream";

class CCmlMemBufInputSource : public xercesc::MemBufInputSource {
 public:
  // A null buffer reads as empty input.
  CCmlMemBufInputSource(const char* bytes, std::size_t length);
  CCmlMemBufInputSource(const CCmlMemBufInputSource&) = delete;
  CCmlMemBufInputSource& operator=(const CCmlMemBufInputSource&) = delete;
  ~CCmlMemBufInputSource() override;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_MEM_BUF_INPUT_SOURCE_H
