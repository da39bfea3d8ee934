// The exception type inside the HTTP service library: a status value of
// catalog/status/scs.def and a detail text for the log. Thrown by settings parsing,
// listener and daemon operations; caught at the exported C functions (api_guard.h),
// which log the detail and return the status. Never crosses the C boundary.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qel::scs {

class ScsError : public std::runtime_error {
 public:
  ScsError(std::uint32_t code, const std::string& detail)
      : std::runtime_error(detail), code_(code) {}
  std::uint32_t code() const noexcept { return code_; }

 private:
  std::uint32_t code_;
};

}  // namespace qel::scs
