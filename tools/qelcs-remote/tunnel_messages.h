// The two messages that cross the tunnel as qelcs-remote sees them: a request carried
// by a poll response, and the answer returned in the next poll. Plain values, kept by
// their poller from one request to the next (assigning keeps their capacity).
#ifndef QELCS_REMOTE_TUNNEL_MESSAGES_H
#define QELCS_REMOTE_TUNNEL_MESSAGES_H

#include <string>

namespace qelcs_remote {

// Header names of the tunnel's wire format.
constexpr const char* message_id_header = "X-QEL-Message-Id";
constexpr const char* status_code_header = "X-QEL-Status-Code";
constexpr const char* location_header = "X-QEL-Location";
constexpr const char* method_header = "X-QEL-Method";
// Extensions of hosts that know declared clients (the host's docs/core.md).
constexpr const char* client_header = "X-QEL-Client";
constexpr const char* poll_header = "X-QEL-Poll";
constexpr const char* instance_header = "X-QEL-Instance";
constexpr const char* answer_header = "X-QEL-Answer";
// The extension that carries any request (docs/remote.md): the poll declares it, and
// requests and answers carry their end-to-end headers as one encoded header block.
constexpr const char* accept_header = "X-QEL-Accept";
constexpr const char* accept_any_request = "any-request";
constexpr const char* headers_header = "X-QEL-Headers";

struct tunnel_request {
  std::string flow_id;       // X-QEL-Message-Id: the answer must name it
  std::string location;      // X-QEL-Location: resource path the caller used
  std::string method;        // X-QEL-Method, "POST" when absent
  std::string content_type;  // the caller's Content-Type, may be empty
  std::string body;
  std::string instance;      // X-QEL-Instance: the host process that handed it out
  std::string headers;       // X-QEL-Headers: the caller's end-to-end headers, encoded
};

struct tunnel_answer {
  std::string flow_id;
  std::string instance;      // echoed, so that no other host process takes the answer
  long status = 502;
  std::string content_type;
  std::string headers;       // X-QEL-Headers: the target's end-to-end headers, encoded
  std::string body;
  bool target_failed = false;  // the target could not be reached or did not answer
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_TUNNEL_MESSAGES_H
