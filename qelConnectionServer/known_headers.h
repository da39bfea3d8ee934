// known_headers: the only headers copied between HTTP and transactions, in both
// directions, in the order they are read and written. Constant; any thread may read.
#ifndef QEL_FUNNELTUNNEL_KNOWN_HEADERS_H
#define QEL_FUNNELTUNNEL_KNOWN_HEADERS_H

#include <array>

namespace qel {
namespace funneltunnel {

constexpr const char* header_content_type = "Content-Type";
constexpr const char* header_message_id = "X-QEL-Message-Id";
constexpr const char* header_location = "X-QEL-Location";
constexpr const char* header_method = "X-QEL-Method";
constexpr const char* header_status_code = "X-QEL-Status-Code";

constexpr std::array<const char*, 5> known_headers = {
    header_content_type, header_message_id, header_location, header_method,
    header_status_code};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_KNOWN_HEADERS_H
