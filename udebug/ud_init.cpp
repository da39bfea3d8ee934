// Start-up of the trace facility: the output stream, the thread-specific key
// and the initial table values.
#include "udebug/ud_internal.h"

// The table's initial values are filled by the first table lock of the process,
// whoever takes it: a block registered by a trace call made before ud_init keeps
// its id and its settings, so `init_tables` has nothing left to do.
void ud_init(const char* output_dir, int /*init_tables*/) noexcept {
  ud_open_output(output_dir);
  ud_create_key();
  ud_table_lock fill_once;
}

ud_table_t* ud_attach(const char* output_dir) noexcept {
  ud_open_output(output_dir);
  ud_create_key();
  ud_table_lock fill_once;
  return &ud_trace_table;
}
