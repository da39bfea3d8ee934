/* Measures how deep threads go into their stacks, to size the connection threads'
 * stacks by what the code needs. Preloaded into a process (LD_PRELOAD), it wraps
 * pthread_create: a new thread's stack is mapped fresh and zero (or reused from the C
 * library's cache of stacks, holding what earlier threads left, which can only add
 * depth), so when the thread's function returns, the lowest byte that is not zero marks
 * the deepest point any thread on that stack reached. Each thread is measured as it
 * ends (a thread-specific key's destructor, which also runs for pthread_exit); the
 * threads still running are measured when the process exits, which then appends one
 * line per stack size to the file STACK_DEPTH_OUT: "stack_size max_depth threads".
 * Not part of any shipped program.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_SIZES 16
#define MAX_LIVE 65536

struct start { void* (*routine)(void*); void* argument; };
struct usage { size_t stack_size, max_depth, threads; };

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct usage usages[MAX_SIZES];
static struct { char* low; size_t size; } live[MAX_LIVE];

static size_t depth_of(const char* low, size_t size) {
  const uint64_t* word = (const uint64_t*)low;
  const uint64_t* end = (const uint64_t*)(low + size);
  while (word < end && *word == 0) ++word;
  return (size_t)((const char*)end - (const char*)word);
}

static void note(size_t size, size_t depth) {
  for (int i = 0; i < MAX_SIZES; ++i) {
    if (usages[i].stack_size != size && usages[i].stack_size != 0) continue;
    usages[i].stack_size = size;
    if (depth > usages[i].max_depth) usages[i].max_depth = depth;
    ++usages[i].threads;
    return;
  }
}

static pthread_key_t ending;
static pthread_once_t ending_once = PTHREAD_ONCE_INIT;

/* Runs on the ending thread (its function returned or it called pthread_exit), while
 * its stack is still its own. */
static void measure(void* slot_plus_one) {
  const int slot = (int)(intptr_t)slot_plus_one - 1;
  pthread_mutex_lock(&lock);
  if (live[slot].low != NULL) note(live[slot].size, depth_of(live[slot].low, live[slot].size));
  live[slot].low = NULL;
  pthread_mutex_unlock(&lock);
}

static void make_key(void) { pthread_key_create(&ending, measure); }

static void* run(void* argument) {
  struct start s = *(struct start*)argument;
  free(argument);
  pthread_attr_t attributes;
  void* low = NULL;
  size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    int slot = -1;
    pthread_mutex_lock(&lock);
    for (int i = 0; i < MAX_LIVE && slot < 0; ++i) {
      if (live[i].low == NULL) slot = i;
    }
    if (slot >= 0) { live[slot].low = low; live[slot].size = size; }
    pthread_mutex_unlock(&lock);
    pthread_once(&ending_once, make_key);
    if (slot >= 0) pthread_setspecific(ending, (void*)(intptr_t)(slot + 1));
  }
  return s.routine(s.argument);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                   void* (*routine)(void*), void* argument) {
  static int (*real)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  if (real == NULL) real = dlsym(RTLD_NEXT, "pthread_create");
  struct start* s = malloc(sizeof *s);
  if (s == NULL) return real(thread, attributes, routine, argument);
  s->routine = routine;
  s->argument = argument;
  const int failed = real(thread, attributes, run, s);
  if (failed != 0) free(s);
  return failed;
}

__attribute__((destructor)) static void report(void) {
  const char* path = getenv("STACK_DEPTH_OUT");
  if (path == NULL) return;
  pthread_mutex_lock(&lock);
  for (int i = 0; i < MAX_LIVE; ++i) {
    if (live[i].low != NULL) note(live[i].size, depth_of(live[i].low, live[i].size));
  }
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  for (int i = 0; fd >= 0 && i < MAX_SIZES && usages[i].stack_size != 0; ++i) {
    char line[96];
    const int n = snprintf(line, sizeof line, "%zu %zu %zu\n", usages[i].stack_size,
                           usages[i].max_depth, usages[i].threads);
    if (n > 0) (void)!write(fd, line, (size_t)n);
  }
  if (fd >= 0) close(fd);
  pthread_mutex_unlock(&lock);
}
