// any_request: the tunnel's extension that carries any HTTP request (the tunnel setting
// forward_any_request, asked for by a host): GET, HEAD, POST, PUT, PATCH, DELETE and
// OPTIONS on "/qel" and below it, with the caller's end-to-end headers, and the target's
// end-to-end headers back. Only polls that declare "X-QEL-Accept: any-request" (and name
// their client) receive such requests or any carried header; a POST to exactly "/qel"
// may still go to a plain poll, in the plain protocol's form.
//
// Wire: X-QEL-Method and X-QEL-Location carry the caller's method and request-target;
// X-QEL-Headers carries headers as a header block (qelToolsLib/qelHeaderBlock.h), on
// the poll's answer for the request and on the answering poll for the reply.
//
// Plain functions on the transactions of one exchange; the thread that holds them.
#ifndef QEL_FUNNELTUNNEL_ANY_REQUEST_H
#define QEL_FUNNELTUNNEL_ANY_REQUEST_H

#include <cstdint>
#include <string>

#include "qelConnectionServer/post_transaction.h"

namespace qel {
namespace funneltunnel {

constexpr const char* accept_any_request = "any-request";
// The largest header block a caller's request may need (a line of it must fit the
// remote client's and any proxy's header limits).
constexpr std::size_t max_header_block = 24 * 1024;

// Reads what a caller's request carries beyond the plain protocol (request-target, end-
// to-end headers) during its callback. 0, or a status (431) and a one-line text when its
// headers cannot be carried. The plain POST to "/qel" stays fit for a plain poll.
uint32_t read_carried_request(post_transaction& request, std::string& text);

// The request may go only to a poll that declared it understands carried requests.
bool needs_capable_poll(const raw_transaction& request);
// The poll declared "X-QEL-Accept: any-request": read from its headers once, when it is
// admitted (declares_any_request), and kept on the poll (accepts_any_request).
bool declares_any_request(const raw_transaction& poll);
bool accepts_any_request(const raw_transaction& poll);

// Fills a capable poll's answer with the request's method, target and headers; the
// request's reply will then be the remote side's headers, not the plain echo.
void carry_request(raw_transaction& request, raw_transaction& poll);

// Takes the reply headers of an answering poll into the request it answers (carried
// requests only). False when the poll's X-QEL-Headers cannot be read.
bool take_reply(const raw_transaction& poll, raw_transaction& request);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_ANY_REQUEST_H
