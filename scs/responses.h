// Building and queuing answers on a libmicrohttpd connection, on its thread: the short
// plain-text answers of the library itself (400, 401, 403, 404, 405, 413, 500) and the
// answer a callback produced (its body block, headers and status).
#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <cstdint>

#include "scs/request_exchange.h"

namespace qel::scs {

// Queues `status` with a one-line text body; 401 carries WWW-Authenticate: Bearer when
// `bearer` is set, 405 carries Allow: POST.
MHD_Result queue_plain(MHD_Connection* connection, unsigned status, bool bearer = false);

// The size of the one-line body queue_plain sends with `status`.
std::size_t plain_body_size(unsigned status);

// Queues the callback's answer; takes ownership of `body` (an SCS_Allocate block or
// null) in every case. Falls back to 500 when the status cannot be sent. `status`
// receives the status queued.
MHD_Result queue_answer(MHD_Connection* connection, const RequestExchange& exchange,
                        std::uint8_t* body, std::uint32_t length, unsigned& status);

}  // namespace qel::scs
