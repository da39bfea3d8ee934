// The catalog text of a status value as CML writes it into "status-text"
// attributes. Any thread.
#ifndef QEL_CML_STATUS_TEXT_H
#define QEL_CML_STATUS_TEXT_H

#include <cstdint>
#include <string>

namespace qel {
namespace cml {

std::wstring StatusText(std::uint32_t code);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_STATUS_TEXT_H
