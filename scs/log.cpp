#include "scs/log.h"

#include <cstdarg>
#include <cstdio>

namespace qel::scs {

void Log::set_sink(const mslLogSink* sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = sink != nullptr ? *sink : mslLogSink{0, 0, nullptr};
}

bool Log::wants(std::uint32_t level) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sink_.log != nullptr && (sink_.mask & level) != 0;
}

void Log::write(std::uint32_t level, const char* function, const char* format,
                ...) const noexcept {
  try {
    mslLogSink sink;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sink = sink_;
    }
    if (sink.log == nullptr || (sink.mask & level) == 0) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // The sink is called without our lock: it may log from several threads at once.
    sink.log(sink.context, level, text, function);
  } catch (...) {
    // Nothing to tell: the log itself is what failed.
  }
}

Log& log() {
  static Log instance;
  return instance;
}

}  // namespace qel::scs
