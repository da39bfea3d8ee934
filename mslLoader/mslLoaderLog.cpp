// The loader's reporting through the host's log interface.
#include "mslLoader/mslLoaderLog.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "qelToolsLib/qelError.h"

namespace qel {
namespace loader {
namespace {

std::atomic<const mslLogSink*> g_sink{nullptr};

// The widest text the toolkit produces without wrapping.
constexpr unsigned kUnwrapped = 255;

}  // namespace

void SetSink(const mslLogSink* sink) { g_sink.store(sink, std::memory_order_release); }

const mslLogSink* Sink() { return g_sink.load(std::memory_order_acquire); }

void Log(std::size_t capacity, std::uint32_t level, const char* function, const char* format,
         ...) noexcept {
  const mslLogSink* sink = Sink();
  if (sink == nullptr || sink->log == nullptr || (sink->mask & level) == 0) return;
  char buffer[kLongMessage];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, std::min(capacity, sizeof buffer), format, args);
  va_end(args);
  try {
    sink->log(sink->context, level, buffer, function);
  } catch (...) {
    // Logging is best effort: a sink that throws loses its message, nothing else.
  }
}

std::string StatusText(std::uint32_t code) {
  qelToolsLib::QELError error(code);
  const char* text = error.getText(kUnwrapped);
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace loader
}  // namespace qel
