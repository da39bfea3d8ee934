// The loader's reporting: messages go to the log interface that the host supplies
// (an mslLogSink record it owns), never to the trace facility.
//
// The sink pointer is set by SetLoaderLogSink (mslLoader.h) and read by every log
// call from any thread. A message is formatted only when the sink's mask holds its
// level, into a bounded buffer (256 or 4352 bytes), truncated there.
#ifndef QEL_MSLLOADER_MSLLOADERLOG_H
#define QEL_MSLLOADER_MSLLOADERLOG_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "mslLogSink.h"

namespace qel {
namespace loader {

constexpr std::size_t kShortMessage = 256;
constexpr std::size_t kLongMessage = 4352;

void SetSink(const mslLogSink* sink);
const mslLogSink* Sink();

// Formats into a buffer of `capacity` bytes (kShortMessage or kLongMessage) and
// passes the text with `function` to the sink when `level` is wanted. A sink that
// throws loses its message and nothing else.
void Log(std::size_t capacity, std::uint32_t level, const char* function, const char* format,
         ...) noexcept __attribute__((format(printf, 4, 5)));

// The catalog text of a status, without wrapping, for "...: %s" lines.
std::string StatusText(std::uint32_t code);

}  // namespace loader
}  // namespace qel

// Log under the calling function's name, or under `function` (helpers report as the
// operation the host called).
#define QEL_LOG_SHORT_AS(function, level, ...) \
  ::qel::loader::Log(::qel::loader::kShortMessage, level, function, __VA_ARGS__)
#define QEL_LOG_LONG_AS(function, level, ...) \
  ::qel::loader::Log(::qel::loader::kLongMessage, level, function, __VA_ARGS__)
#define QEL_LOG_SHORT(level, ...) QEL_LOG_SHORT_AS(__func__, level, __VA_ARGS__)
#define QEL_LOG_LONG(level, ...) QEL_LOG_LONG_AS(__func__, level, __VA_ARGS__)

#endif  // QEL_MSLLOADER_MSLLOADERLOG_H
