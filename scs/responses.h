// Building and queuing answers on a libmicrohttpd connection, on its thread: the short
// plain-text answers of the library itself (400, 401, 403, 404, 405, 413, 500), the
// refusals that close the connection (503 with Retry-After, an admission's status and
// text) and the answer a callback produced (its body block, headers and status).
#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "scs/request_exchange.h"

namespace qel::scs {

// Queues `status` with a one-line text body; 401 carries WWW-Authenticate: Bearer when
// `bearer` is set, 405 carries Allow: POST.
MHD_Result queue_plain(MHD_Connection* connection, unsigned status, bool bearer = false);

// The size of the one-line body queue_plain sends with `status`.
std::size_t plain_body_size(unsigned status);

// Queues `status` with the one-line `text` (see one_line()), `Connection: close`, and
// `Retry-After` when `retry_after` is nonzero; returns the queued body's size in `size`.
MHD_Result queue_refusal(MHD_Connection* connection, unsigned status, const std::string& text,
                         unsigned retry_after, std::size_t& size);

// Queues the callback's answer; takes ownership of `body` (an SCS_Allocate block or
// null) in every case. Falls back to 500 when the status cannot be sent. `status`
// receives the status queued. `close` adds `Connection: close` (a stopping server).
MHD_Result queue_answer(MHD_Connection* connection, const RequestExchange& exchange,
                        std::uint8_t* body, std::uint32_t length, unsigned& status,
                        bool close = false);

}  // namespace qel::scs
