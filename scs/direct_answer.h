// Answers written straight to a connection's socket (or TLS session), for the moments
// libmicrohttpd 0.9.75 cannot queue one: while a body is being received (it queues
// answers only before the body or after its end), for a client ended for slowness,
// and for the framing errors it would answer twice itself. Every such answer is one
// status line, `Content-Type: text/plain`, `Connection: close`, `Retry-After` for 503,
// and a one-line text; the connection is closed right after.
//
// write_answer() runs on the thread that does the connection's I/O (a connection
// thread of libmicrohttpd inside one of its callbacks); write_plain_answer() may run
// on another thread, for a plain (non-TLS) socket that libmicrohttpd is only reading.
#pragma once

#include <microhttpd.h>

#include <string>

namespace qel::scs {

// Seconds a client is asked to wait before it tries again: for a refusal at a limit
// (a slot frees quickly), and for a server that is stopping.
constexpr unsigned kRetryAfterBusy = 2;
constexpr unsigned kRetryAfterStopping = 5;

// The reason phrase of `status` ("Service Unavailable").
const char* reason_phrase(unsigned status);
// The whole answer: status line, headers and `text` (made one line, ending in "\n").
std::string answer_bytes(unsigned status, const std::string& text, unsigned retry_after);

// Writes the answer on `connection`; false when nothing could be written.
bool write_answer(MHD_Connection* connection, unsigned status, const std::string& text,
                  unsigned retry_after = 0);
// The same on a plain socket.
bool write_plain_answer(int socket, unsigned status, const std::string& text,
                        unsigned retry_after = 0);
// Ends the sending side after a written answer (TLS: close_notify first), so that
// nothing libmicrohttpd queues afterwards reaches the client.
void end_sending(MHD_Connection* connection);

// `text` as one printable line ending in "\n" (control characters dropped, cut at the
// first line break and at 200 bytes), for the one-line answers.
std::string one_line(const std::string& text);

}  // namespace qel::scs
