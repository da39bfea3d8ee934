// The library's log: formats bounded messages and hands them to the host's mslLogSink.
//
// The sink record is copied by set_sink (SCS_SERVER_Init); until then, and with a null
// sink or log function, nothing is logged. A message is passed only when the sink's
// mask contains its level's bit. Any thread may log; set_sink may run concurrently.
#pragma once

#include <cstdint>
#include <mutex>

#include "mslLogSink.h"

namespace qel::scs {

class Log {
 public:
  void set_sink(const mslLogSink* sink);
  bool wants(std::uint32_t level) const;
  // printf-style; the text is truncated at 1023 bytes. `function` names the caller.
  // Best effort: a sink that throws loses its message, nothing else.
  void write(std::uint32_t level, const char* function, const char* format, ...) const noexcept
      __attribute__((format(printf, 4, 5)));

 private:
  mutable std::mutex mutex_;
  mslLogSink sink_{0, 0, nullptr};
};

// The process-wide log of the library.
Log& log();

}  // namespace qel::scs
