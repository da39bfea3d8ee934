// Status values the CML library puts into CCmlException. Every value comes from the
// one status table (catalog/status/*.def, generated into qelStatusCodes.h): the
// library's own codes (facility 0x738) as qel::status::CML_*, and the shared codes of
// facility 0x721 under the short names the library's writers use. Constants only.
#ifndef QEL_CML_CODES_H
#define QEL_CML_CODES_H

#include <cstdint>

#include "qelStatusCodes.h"

namespace qel {
namespace cml {
namespace codes {

constexpr std::uint32_t kInsufficientMemory = qel::status::INSUFFICIENT_RESOURCES;
constexpr std::uint32_t kInvalidArgument = qel::status::INVALID_ARGUMENT;
// 0xC7210005: no class factory, or a body element that is not a message. The table
// names the value after its first user (a message text that cannot be produced).
constexpr std::uint32_t kNoFactory = qel::status::NO_MESSAGE_TEXT;
constexpr std::uint32_t kFileOpen = qel::status::CANNOT_OPEN;
constexpr std::uint32_t kFolderCreate = qel::status::CREATE_FOLDER_FAILED;

// Marks an absent status wherever a status code is stored.
constexpr std::uint32_t kStatusAbsent = qel::status::CML_STATUS_ABSENT;

}  // namespace codes
}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_CODES_H
