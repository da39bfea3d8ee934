// extension_headers: the headers of the tunnel's extensions for remote clients that
// declare themselves. A poll that carries "X-QEL-Client" names its client; only then are
// the other extension headers read from it, and only such polls receive any in answer,
// so a client that speaks only the plain protocol never sees one.
//
//   X-QEL-Client    poll: the client's id (1-64 of A-Z a-z 0-9 . _ -), one per process
//   X-QEL-Poll      poll: "presence" (a poll that only says the client is there; never
//                   given a request) or "final" (the client is stopping: take my answer,
//                   give me nothing, release my parked polls)
//   X-QEL-Instance  answer: this host process's marker, on every answer to a declared
//                   poll; poll: the marker of the host that handed out the flow answered
//   X-QEL-Answer    answer: "dropped" when the answer the poll carried reached nobody,
//                   "duplicate" when it was a copy of one delivered before
//   X-QEL-Accept    poll: capabilities, "any-request" (any_request.h)
//   X-QEL-Headers   answer and answering poll: carried headers (any_request.h)
// Constant; any thread may read.
#ifndef QEL_FUNNELTUNNEL_EXTENSION_HEADERS_H
#define QEL_FUNNELTUNNEL_EXTENSION_HEADERS_H

#include <array>
#include <string>

namespace qel {
namespace funneltunnel {

constexpr const char* header_client = "X-QEL-Client";
constexpr const char* header_poll = "X-QEL-Poll";
constexpr const char* header_instance = "X-QEL-Instance";
constexpr const char* header_answer = "X-QEL-Answer";
constexpr const char* header_accept = "X-QEL-Accept";
constexpr const char* header_headers = "X-QEL-Headers";

// Read from a request after "X-QEL-Client", only when that one is present.
constexpr std::array<const char*, 4> declared_client_headers = {header_poll, header_instance,
                                                               header_accept, header_headers};

constexpr const char* poll_presence = "presence";
constexpr const char* poll_final = "final";
constexpr const char* answer_dropped = "dropped";
constexpr const char* answer_duplicate = "duplicate";

bool valid_client_id(const std::string& id);

// This process's marker: 16 hexadecimal digits drawn at random once.
const std::string& host_instance();

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_EXTENSION_HEADERS_H
