// trace_text: bounded views of bodies for trace lines. Bodies come from the network
// and may be long or hold zero bytes, so they are printed with "%.*s" and at most
// trace_body_cap bytes. Pure functions; any thread.
#ifndef QEL_FUNNELTUNNEL_TRACE_TEXT_H
#define QEL_FUNNELTUNNEL_TRACE_TEXT_H

#include <cstddef>
#include <string>

namespace qel {
namespace funneltunnel {

constexpr std::size_t trace_body_cap = 256;

// Precision argument for "%.*s": the length, capped.
inline int trace_len(std::size_t length) {
  return static_cast<int>(length < trace_body_cap ? length : trace_body_cap);
}
inline int trace_len(const std::string& text) { return trace_len(text.size()); }

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TRACE_TEXT_H
