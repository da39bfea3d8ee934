// admission: a check an endpoint may offer for requests on its resource before their
// body is read (where the service library can ask: SCS_SERVER_SetAdmission), so a
// request that would be refused anyway costs no body in memory. The check must agree
// with what process() would do; process() still decides, since things change between
// the two.
//
// Ownership: implemented by an endpoint's owner, which outlives the endpoint's tokens.
// Threads: admit() runs on the service library's connection threads, many at once.
#ifndef QEL_FUNNELTUNNEL_ADMISSION_H
#define QEL_FUNNELTUNNEL_ADMISSION_H

#include <cstdint>
#include <string>

#include "qelSessionConfigSvcs.h"

namespace qel {
namespace funneltunnel {

class admission {
 public:
  virtual ~admission() = default;
  // 0 to go on, or the HTTP status to refuse with and a one-line `text`.
  virtual uint32_t admit(std::string& text) = 0;
};

// Registered with the service library for resources whose endpoint has an admission.
uint32_t admission_callback(uint32_t listener_handle, uint32_t token, const SCS_REQUEST* request,
                            char* text, uint32_t text_size) noexcept;

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_ADMISSION_H
