// funneltunnel_exception: the one exception type the connection server core throws.
// It carries the status value that the exported functions and the POST callback return
// when they catch it; what() is the message.
#ifndef QEL_FUNNELTUNNEL_EXCEPTION_H
#define QEL_FUNNELTUNNEL_EXCEPTION_H

#include <cstdint>
#include <stdexcept>

namespace qel {
namespace funneltunnel {

class funneltunnel_exception : public std::runtime_error {
 public:
  // Traces the message and code, so every failure of the core shows in the trace.
  funneltunnel_exception(const char* message, uint32_t code);

  uint32_t code;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_EXCEPTION_H
