/*
 * qelConnectionServer.h - the C interface of libqelConnectionServer5.so.
 *
 * Contract:
 *  1. Calling order: optionally CS_SetMSLLibPath and CS_SetMSLExtSigFileExtension,
 *     then CS_Init; after a successful CS_Init any number of SetReverseConnection
 *     calls; CS_ShutDown at the end. CS_GetErrorMsg, CS_Allocate and CS_Free may be
 *     called at any time, from any thread.
 *  2. Errors come back as 32-bit status values: 0 is success, 0xC721xxxx an error,
 *     0x4721xxxx a warning. CS_GetErrorMsg turns any of them into text.
 *  3. Ownership: every string argument is copied before CS_Init returns; the
 *     mslLogSink record passed to CS_Init must stay valid until the process ends.
 *     Memory from CS_Allocate is released with CS_Free only.
 *  4. Thread safety: CS_Init must not run concurrently with another CS_Init or with
 *     SetReverseConnection. Log sink callbacks may arrive on any thread.
 *  5. No function lets an exception or a signal escape; null pointers give a status
 *     (or, for functions without one, do nothing).
 */
#ifndef QEL_CONNECTION_SERVER_H
#define QEL_CONNECTION_SERVER_H

#include <stdint.h>

#include "mslLogSink.h"

#if defined(__GNUC__)
#define QEL_EXPORT __attribute__((visibility("default")))
#else
#define QEL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status values produced by the exported interface itself. */
#define CS_STATUS_SUCCESS 0x00000000u
#define CS_STATUS_GENERAL_FAILURE 0x47210047u
#define CS_STATUS_INVALID_ARGUMENT 0xC7210003u
#define CS_STATUS_NO_MESSAGE_TEXT 0xC7210005u

/* Builds the connection server: loads the HTTP service library, opens the listeners
 * and installs the endpoints. Every settings and links argument is a text or the name
 * of a file holding it. Returns 0 or the status of the first failure. */
QEL_EXPORT uint32_t CS_Init(const char* agent_version, const char* listener_settings_1,
                            const char* reserved_settings, const char* listener_settings_2,
                            const char* agent_uuid, const char* agent_name,
                            const char* agent_namespace, const char* dns_name,
                            const char* lmi_links, const mslLogSink* log_sink);

/* Traces and returns 0; the connection server keeps running until the process ends. */
QEL_EXPORT uint32_t CS_ShutDown(void);

/* Nonzero re-creates the reverse tunnel (releasing every waiting caller and poll);
 * zero changes nothing. Fails before a successful CS_Init. */
QEL_EXPORT uint32_t SetReverseConnection(uint8_t enable);

/* Writes the text of `code` into `buffer` (size bytes, at least 2). A text that does
 * not fit leaves an empty string and still returns 0. */
QEL_EXPORT uint32_t CS_GetErrorMsg(uint32_t code, char* buffer, uint32_t size);

/* Allocator matching CS_Free; null when the allocation fails. */
QEL_EXPORT void* CS_Allocate(uint32_t size);
QEL_EXPORT void CS_Free(void* block);

/* Directory of the service libraries and extension of external signature files; a
 * null pointer does nothing. Call before CS_Init. */
QEL_EXPORT void CS_SetMSLLibPath(const char* directory);
QEL_EXPORT void CS_SetMSLExtSigFileExtension(const char* extension);

/* Extensions, bound to the version node QELCS_EXT_1 (the Version_5.0 set above and
 * below stays as it was). A host resolves them with dlvsym or dlsym and works without
 * them when the library is older. */

/* CS_Stop flag: answer everything at once instead of draining. */
#define CS_STOP_NOW 0x1u

/* A graceful stop: the library stops taking callers (and registration), answers callers
 * still queued 503 at once, gives requests out with the remote client the tunnel
 * setting drain_timeout (10 s unless set) to be answered, answers what is left 503 and
 * parked polls with the empty time-out answer, and stops its listeners once the answers
 * have left. Returns when all that is done. CS_STOP_NOW skips the drain; called while
 * another CS_Stop drains (say, on a second signal), it cuts that drain short. A later
 * call does nothing. CS_NOT_INITIALISED (0xC7210060) before a successful CS_Init. */
QEL_EXPORT uint32_t CS_Stop(uint32_t flags);

/* CS_Reload's warning: the rest was applied, some settings need a restart. */
#define CS_STATUS_RESTART_NEEDED 0x47210074u

/* A reload without a restart: reads the three settings arguments again (each a text or
 * the name of a file, as for CS_Init) and applies what can change while serving: what
 * the HTTP service library can reload (certificates and keys, CA files, bearer tokens,
 * log and metrics switches, some limits) and the tunnel settings caller_timeout,
 * max_waiting_callers, poll_timeout, drain_timeout and client_grace. Connections and
 * waiting callers are untouched. What needs a restart (addresses, ports, resources,
 * flow_ids, forward_any_request) is named in one warning through the log sink and kept
 * as it was: the result is then CS_STATUS_RESTART_NEEDED. A value with an error changes
 * nothing and gives its status (logged with the file, line and key).
 * CS_NOT_INITIALISED before a successful CS_Init; 0xC7210075 after CS_Stop. */
QEL_EXPORT uint32_t CS_Reload(const char* listener_settings_1, const char* reserved_settings,
                              const char* listener_settings_2);

/* Fixed entry points kept for older hosts: each returns 1 and does nothing else. */
QEL_EXPORT uint32_t CS_RegisterErrorCallback(void);
QEL_EXPORT uint32_t CS_RegisterAuthenticationCallback(void);
QEL_EXPORT uint32_t CS_LoadLocalSettingsFile(void);
QEL_EXPORT uint32_t CS_LoadCommSettingsFile(void);
QEL_EXPORT uint32_t CS_LoadListenerSettingsFile(void);
QEL_EXPORT uint32_t CS_ResetToPrimaryController(void);
QEL_EXPORT uint32_t CS_SetLanguage(void);

#ifdef __cplusplus
}
#endif

#endif /* QEL_CONNECTION_SERVER_H */
