// Status values the CML library puts into CCmlException. The library's own codes
// (facility 0x738) come from the status table (qel::status::CML_*); the shared codes
// of facility 0x721 that the library also uses are named here.
#ifndef QEL_CML_CODES_H
#define QEL_CML_CODES_H

#include <cstdint>

#include "qelStatusCodes.h"

namespace qel {
namespace cml {
namespace codes {

constexpr std::uint32_t kInsufficientMemory = 0xC7210001u;
constexpr std::uint32_t kInvalidArgument = 0xC7210003u;
constexpr std::uint32_t kNoFactory = 0xC7210005u;
constexpr std::uint32_t kFileOpen = 0xC7210021u;
constexpr std::uint32_t kFolderCreate = 0xC7210037u;

// Marks an absent status wherever a status code is stored.
constexpr std::uint32_t kStatusAbsent = qel::status::CML_STATUS_ABSENT;

}  // namespace codes
}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_CODES_H
