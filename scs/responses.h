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
// `bearer` is set, 405 carries Allow: `allow`.
MHD_Result queue_plain(MHD_Connection* connection, unsigned status, bool bearer = false,
                       const char* allow = "POST");

// The size of the one-line body queue_plain sends with `status`.
std::size_t plain_body_size(unsigned status);

// Queues `status` with the one-line `text` (see one_line()), `Connection: close`, and
// `Retry-After` when `retry_after` is nonzero; returns the queued body's size in `size`.
MHD_Result queue_refusal(MHD_Connection* connection, unsigned status, const std::string& text,
                         unsigned retry_after, std::size_t& size);

// How an answer goes out besides its status, headers and body.
struct AnswerFraming {
  bool head = false;   // a HEAD request: the body is not sent (its length is)
  bool close = false;  // adds `Connection: close` (a stopping server)
};

// Queues the callback's answer; takes ownership of `body` (an SCS_Allocate block or
// null) in every case. Falls back to 500 when the status cannot be sent. `status`
// receives the status queued, `sent` the body bytes that go out: none for HEAD, 204
// and 304. A 204 or 304 carries no Content-Length either; libmicrohttpd 0.9.75 writes
// one for a 304 (and a chunked frame for one of unknown length), so a 304 is sent with
// HTTP/1.0 framing, which ends its connection.
MHD_Result queue_answer(MHD_Connection* connection, RequestExchange& exchange,
                        std::uint8_t* body, std::uint32_t length, const AnswerFraming& framing,
                        unsigned& status, std::size_t& sent);

}  // namespace qel::scs
