// Per-thread history rings and the trace entry points used by the call sites.
#include <pthread.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "udebug/ud_internal.h"

namespace {

pthread_once_t g_key_once = PTHREAD_ONCE_INIT;
pthread_key_t g_ring_key;
bool g_key_ok = false;               // written once inside pthread_once
std::atomic<unsigned long> g_ring_count{0};
// The calling thread's ring, cached: every trace site reaches it, and a plain thread-
// local read is much cheaper than pthread_once plus pthread_getspecific.
thread_local ud_ring* t_ring = nullptr;

// Runs when a thread that traced ends. A trace call made later in the thread's
// exit (another key's destructor) makes a new ring, which the C library hands
// to this function again in its next round.
void free_ring(void* ring) {
  if (t_ring == ring) t_ring = nullptr;  // runs on the exiting thread itself
  delete static_cast<ud_ring*>(ring);
  g_ring_count.fetch_sub(1, std::memory_order_relaxed);
}

void create_key_once() { g_key_ok = pthread_key_create(&g_ring_key, free_ring) == 0; }

uint32_t current_thread_id() { return static_cast<uint32_t>(::gettid()); }

ud_ring* existing_ring() {
  if (t_ring != nullptr) return t_ring;
  ud_create_key();
  return g_key_ok ? static_cast<ud_ring*>(pthread_getspecific(g_ring_key)) : nullptr;
}

ud_ring* make_ring() {
  ud_ring* ring = g_key_ok ? new (std::nothrow) ud_ring() : nullptr;
  if (ring && pthread_setspecific(g_ring_key, ring) != 0) {
    delete ring;
    ring = nullptr;
  }
  if (!ring) {
    ud_message("Cannot allocate udebug circular buffer for thread 0x%x\n", current_thread_id());
    return nullptr;
  }
  ring->thread_id = current_thread_id();
  g_ring_count.fetch_add(1, std::memory_order_relaxed);
  t_ring = ring;
  return ring;
}

double now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// The block id recorded by the last ud_site of this thread, 0 without a ring.
uint32_t site_block(ud_ring* ring) {
  const uint32_t block = ring ? ring->entries[ring->index].block : 0;
  return block < UD_MAX_DEBUG_BLOCKS ? block : 0;
}

// Records the event in the ring and prints it unless printing is off.
void emit(ud_event type, uint32_t block, const char* format, va_list args) {
  ud_ring* ring = existing_ring();
  if (!ring) return;
  ud_ring_entry& entry = ring->entries[ring->index];
  entry.time = now();
  entry.block = block;
  entry.format = format;
  ud_capture_words(format, args, entry.args);
  ring->index = (ring->index + 1) % UD_RING_SIZE;
  if (ud_flag(ud_trace_table.header.print_on_console) == 0) return;
  ud_print_event(*ring, entry, type, args);
}

}  // namespace

void ud_create_key() { pthread_once(&g_key_once, create_key_once); }

const ud_ring* ud_current_ring() noexcept { return existing_ring(); }

unsigned long ud_ring_count() noexcept { return g_ring_count.load(std::memory_order_relaxed); }

int ud_site(int block, const char* file, int line) noexcept {
  ud_ring* ring = existing_ring();
  if (!ring && !(ring = make_ring())) return 0;
  ud_ring_entry& entry = ring->entries[ring->index];
  entry.line = static_cast<uint32_t>(line);
  entry.file = file;
  entry.block = static_cast<uint32_t>(block);
  return 0;
}

int ud_enter(const char* name, const char* format, ...) noexcept {
  uint32_t block = site_block(existing_ring());
  if (block == 0) {
    ud_table_lock lock;
    block = static_cast<uint32_t>(ud_register_block_locked(name));
  }
  if (block == 0) return 0;
  if (ud_flag(ud_trace_table.blocks[block].enter_exit)) {
    va_list args;
    va_start(args, format);
    emit(ud_event::enter, block, format, args);
    va_end(args);
  }
  return static_cast<int>(block);
}

int ud_exit(const char* format, ...) noexcept {
  const uint32_t block = site_block(existing_ring());
  if (block != 0 && ud_flag(ud_trace_table.blocks[block].enter_exit)) {
    va_list args;
    va_start(args, format);
    emit(ud_event::exit, block, format, args);
    va_end(args);
  }
  return 0;
}

int ud_trace(unsigned level, const char* format, ...) noexcept {
  const uint32_t block = site_block(existing_ring());
  if (block != 0 && ud_flag(ud_trace_table.blocks[block].level) >= level) {
    va_list args;
    va_start(args, format);
    emit(ud_event::plain, block, format, args);
    va_end(args);
  }
  return 0;
}
