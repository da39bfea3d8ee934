// Start-up of the trace facility: the output stream, the thread-specific key
// and the initial table values.
#include <atomic>

#include "udebug/ud_internal.h"

namespace {

std::atomic<bool> g_initialised{false};   // the first ud_init has run

}  // namespace

void ud_init(const char* output_dir, int init_tables) noexcept {
  ud_open_output(output_dir);
  std::lock_guard<std::mutex> lock(ud_table_mutex());
  if (g_initialised.load(std::memory_order_relaxed)) return;
  ud_create_key();
  if (init_tables) ud_init_tables_locked();
  g_initialised.store(true, std::memory_order_relaxed);
}

ud_table_t* ud_attach(const char* output_dir) noexcept {
  ud_open_output(output_dir);
  ud_create_key();
  std::lock_guard<std::mutex> lock(ud_table_mutex());
  if (!g_initialised.load(std::memory_order_relaxed)) ud_trace_table.header.num_used_blocks = 1;
  return &ud_trace_table;
}
