// udebug: the process-wide diagnostic trace facility.
//
// Tracing is organised by blocks (one per traced function or module name,
// registered on first use) and groups (named sets of blocks and groups). A
// command file (".udrc") or the console switches entry/exit tracing, activation
// and the trace level per block or group. Every event is also kept in a
// 32-entry history ring of the calling thread, printed or not.
//
// Ownership: the trace table and the output stream are owned by the facility and
// live until the process ends. A thread's ring is freed when the thread ends.
// Threads: any thread may trace. Registration, lookup and commands take the
// table mutex; printing an event takes the output mutex, so lines of different
// threads never interleave. The flags tested by the call-site macros are read
// without a lock (relaxed atomic loads): a disabled site costs one table read.
#ifndef QEL_UDEBUG_UDEBUG_H
#define QEL_UDEBUG_UDEBUG_H

#include <atomic>
#include <cstdint>
#include <cstdio>

inline constexpr int UD_MAX_DEBUG_BLOCKS = 256;
inline constexpr int UD_MAX_DEBUG_GROUPS = 64;
inline constexpr int MAX_BLOCKS_IN_GROUP = 256;
inline constexpr int UD_NAME_SIZE = 128;   // names keep at most 127 characters
inline constexpr int UD_RING_SIZE = 32;
inline constexpr unsigned UD_RING_ARG_WORDS = 4;

// Action codes of the command interpreter (0 = unknown action).
enum ud_action : int {
  UD_ACTION_UNKNOWN = 0,
  UD_ACTION_ACTIVATE = 1,
  UD_ACTION_BUF_CRASH = 2,
  UD_ACTION_DISPLAY = 3,
  UD_ACTION_ENTER_EXIT = 4,
  UD_ACTION_GROUP = 5,
  UD_ACTION_HELP = 6,
  UD_ACTION_LEVEL = 7,
  UD_ACTION_PRINT = 8,
  UD_ACTION_QUIT = 9,
  UD_ACTION_REMOVEGROUP = 10,
  UD_ACTION_STATE = 11,
};

struct ud_header {
  char last_file[UD_NAME_SIZE];    // last printed file name
  char last_block[UD_NAME_SIZE];   // last printed block name
  uint32_t last_line;              // last printed line number
  uint32_t default_enter_exit;
  uint32_t default_active;
  uint32_t default_level;
  uint32_t print_on_console;       // 0 suppresses printing; rings still fill
  uint32_t num_used_blocks;
  uint32_t num_used_groups;
};

struct ud_block {
  uint32_t active;
  uint32_t level;
  uint32_t enter_exit;
  char name[UD_NAME_SIZE];
};

// A member slot holds 0 (free), a block id (1..255) or 256 + a group index.
struct ud_group {
  uint32_t active;
  uint32_t level;
  uint32_t enter_exit;
  char name[UD_NAME_SIZE];
  uint32_t members[MAX_BLOCKS_IN_GROUP];
};

struct ud_table_t {
  ud_header header;
  ud_block blocks[UD_MAX_DEBUG_BLOCKS];   // entry 0: "Undefined", all flags 0
  ud_group groups[UD_MAX_DEBUG_GROUPS];   // entry 0: "Undefined"
};

// One recorded event. The argument words are the first four 32-bit words of
// the variable arguments; 64-bit values (pointers, long, double) take two
// words, low word first. The file and format pointers are the caller's.
struct ud_ring_entry {
  double time;        // seconds since the epoch, microsecond resolution
  uint32_t line;
  const char* file;
  uint32_t block;
  const char* format;
  uint32_t args[UD_RING_ARG_WORDS];
};

// The history ring of one thread, allocated at its first trace call and freed
// when the thread ends (a host serving each connection on a new thread would
// otherwise keep one ring per connection it ever served).
struct ud_ring {
  uint32_t index;       // entry of the next event; advances modulo 32
  uint32_t thread_id;   // kernel thread id
  ud_ring_entry entries[UD_RING_SIZE];
};

// The one trace table; zero until the facility's first use fills it.
extern ud_table_t ud_trace_table;

// Lock-free flag read used by the call-site macros and the emitters.
inline uint32_t ud_flag(const uint32_t& field) {
  return __atomic_load_n(&field, __ATOMIC_RELAXED);
}

// None of these functions throws; they may be called from destructors.
//
// Opens the output stream "<output_dir>/.udout" (stdout when output_dir is
// null) unless one is set, and creates the thread-specific key. The header,
// block 0 and group 0 get their initial values at the facility's first use,
// once, whatever init_tables says; they are never reset afterwards. The file
// is created with mode 0600 and never through a symbolic link.
void ud_init(const char* output_dir, int init_tables) noexcept;
// Runs the command interpreter on ".udrc" of the working directory when path
// names a directory, on stdin when path is null; otherwise does nothing.
// ".udrc" is read only when it is a regular file (opened without blocking, so
// a FIFO or device of that name cannot stall the caller).
void ud_load_config(const char* path) noexcept;
// Reads commands from `in` until its end or "quit", then closes it.
void ud_debug_input(FILE* in) noexcept;
// Code of the first action whose word begins with `word`; 0 if none.
int ud_find_action(const char* word) noexcept;
// Prints the state dump to the output stream.
void ud_state() noexcept;
// Sets the output stream like ud_init and returns the table for an inspector.
ud_table_t* ud_attach(const char* output_dir) noexcept;

// Records the call site in the calling thread's ring. Always returns 0.
int ud_site(int block, const char* file, int line) noexcept;
// Emits ENTER for the block of the current site (registered by `name` when the
// site's block is 0); returns the block id, 0 if it cannot be registered.
__attribute__((format(printf, 2, 3)))
int ud_enter(const char* name, const char* format, ...) noexcept;
// Emits EXIT when the current site's block has enter/exit on. Returns 0.
__attribute__((format(printf, 1, 2)))
int ud_exit(const char* format, ...) noexcept;
// Emits a plain line when the current site's block level is >= level. Returns 0.
__attribute__((format(printf, 2, 3)))
int ud_trace(unsigned level, const char* format, ...) noexcept;
// The calling thread's ring, or null before its first trace call.
const ud_ring* ud_current_ring() noexcept;
// How many rings exist: one per thread that traced and has not ended yet.
unsigned long ud_ring_count() noexcept;

// Call-site pattern. UD_ENTER is the first statement of a traced function and
// declares its cached block id; UD_TRACE and UD_EXIT may follow any number of
// times. Arguments are evaluated only when the site is enabled. The cached id
// is published with release/acquire so that a thread reading a nonzero id also
// sees the block entry written before it (a plain load on x86).
// An empty format ("") is accepted (void functions often exit with nothing).
#define UD_FORMAT_PUSH_ \
  _Pragma("GCC diagnostic push") \
  _Pragma("GCC diagnostic ignored \"-Wformat-zero-length\"")
#define UD_FORMAT_POP_ _Pragma("GCC diagnostic pop")

#define UD_ENTER(name, fmt, ...)                                                \
  static ::std::atomic<int> ud_site_block_{0};                                  \
  do {                                                                          \
    const int ud_b_ = ud_site_block_.load(::std::memory_order_acquire);         \
    if (ud_b_ == 0 || ::ud_flag(::ud_trace_table.blocks[ud_b_].enter_exit)) {   \
      ::ud_site(ud_b_, __FILE__, __LINE__);                                     \
      UD_FORMAT_PUSH_                                                           \
      ud_site_block_.store(::ud_enter(name, fmt, ##__VA_ARGS__),                \
                           ::std::memory_order_release);                        \
      UD_FORMAT_POP_                                                            \
    }                                                                           \
  } while (0)

#define UD_TRACE(level, fmt, ...)                                               \
  do {                                                                          \
    const int ud_b_ = ud_site_block_.load(::std::memory_order_acquire);         \
    if (::ud_flag(::ud_trace_table.blocks[ud_b_].active)) {                     \
      ::ud_site(ud_b_, __FILE__, __LINE__);                                     \
      UD_FORMAT_PUSH_                                                           \
      ::ud_trace(level, fmt, ##__VA_ARGS__);                                    \
      UD_FORMAT_POP_                                                            \
    }                                                                           \
  } while (0)

#define UD_EXIT(fmt, ...)                                                       \
  do {                                                                          \
    const int ud_b_ = ud_site_block_.load(::std::memory_order_acquire);         \
    if (::ud_flag(::ud_trace_table.blocks[ud_b_].enter_exit)) {                 \
      ::ud_site(ud_b_, __FILE__, __LINE__);                                     \
      UD_FORMAT_PUSH_                                                           \
      ::ud_exit(fmt, ##__VA_ARGS__);                                            \
      UD_FORMAT_POP_                                                            \
    }                                                                           \
  } while (0)

// Sharing a block with helpers. A function split into helpers keeps its detail
// lines under its own block: it passes UD_BLOCK (its cached block id, declared
// by its UD_ENTER; also usable in lambdas defined inside it) to a helper that
// takes a `ud_block_ref` parameter and whose first statement is
// UD_USE_BLOCK(that parameter). The helper then writes UD_TRACE lines under
// the caller's block. It must not use UD_ENTER, and UD_EXIT only when it ends
// the caller's block on the caller's behalf.
using ud_block_ref = ::std::atomic<int>&;
#define UD_BLOCK ud_site_block_
#define UD_USE_BLOCK(ref) ::std::atomic<int>& ud_site_block_ = (ref)

#endif  // QEL_UDEBUG_UDEBUG_H
