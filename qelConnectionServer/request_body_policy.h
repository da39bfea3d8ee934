// request_body_policy: whether a POST body that names a readable file is replaced by
// that file's contents. Off by default: network input is never taken as a file name.
// An operator turns it on only by setting the environment variable
// QEL_CS_REQUEST_BODY_FILES=1 before CS_Init (read when the connection server is
// built). Any thread may read; set only on the thread that builds the server.
#ifndef QEL_FUNNELTUNNEL_REQUEST_BODY_POLICY_H
#define QEL_FUNNELTUNNEL_REQUEST_BODY_POLICY_H

namespace qel {
namespace funneltunnel {

constexpr const char* request_body_files_variable = "QEL_CS_REQUEST_BODY_FILES";

bool request_bodies_may_name_files() noexcept;
void set_request_bodies_may_name_files(bool enabled) noexcept;
// Sets the policy from the environment variable: on only for the exact value "1".
void load_request_body_policy() noexcept;

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REQUEST_BODY_POLICY_H
