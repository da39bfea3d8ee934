/* The host's log interface, shared by the connection server, its HTTP service library
 * and the service library loader: each takes a pointer to a record the host owns and
 * calls its function, from any thread, with the messages whose level the mask wants.
 * A sink must not throw; the libraries log best effort and go on if one does. */
#ifndef QEL_MSL_LOG_SINK_H
#define QEL_MSL_LOG_SINK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Log levels; a message of level L is passed when the sink's mask contains L's bit. */
#define MSL_LOG_ENTRY 0x80000000u
#define MSL_LOG_ERROR 0x00000001u
#define MSL_LOG_WARNING 0x00000002u
#define MSL_LOG_INFO 0x00000008u

typedef void (*mslLogFunction)(uintptr_t context, uint32_t level, const char* message,
                               const char* function);

/* The host's log interface, owned by the host. */
typedef struct mslLogSink {
  uintptr_t context;  /* passed back unchanged as the first argument of each call */
  uint32_t mask;      /* which levels are wanted */
  mslLogFunction log; /* may be null: nothing is logged */
} mslLogSink;

#ifdef __cplusplus
}
#endif

#endif /* QEL_MSL_LOG_SINK_H */
