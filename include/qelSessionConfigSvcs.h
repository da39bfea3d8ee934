/*
 * qelSessionConfigSvcs.h - the C interface of libqelSessionConfigSvcs5.so, the HTTP
 * service library that the connection server loads at run time.
 *
 * Contract:
 *  1. Calling order: SCS_SERVER_Init, then SCS_SERVER_AddListener for each listener,
 *     SCS_SERVER_RegisterOnPostData for each resource, SCS_SERVER_StartServer after
 *     each registration (starting a running listener again is allowed and serves the
 *     resources registered since). SCS_SERVER_StopServer and SCS_SERVER_RemoveListener
 *     end a listener.
 *  2. Every function returns a 32-bit status (0 success) unless noted. Functions of the
 *     table that the connection server never calls return SCS_STATUS_NOT_SUPPORTED.
 *  3. Ownership: settings and names are copied. A header value from
 *     SCS_SERVER_GetRequestHeader and a response body handed back by a callback are
 *     blocks from SCS_Allocate; the caller frees the first with SCS_Free, the library
 *     takes ownership of the second.
 *  4. Threads: callbacks run on the library's connection threads, many at once, and may
 *     block until their answer is ready. A request handle is valid only during its
 *     callback.
 */
#ifndef QEL_SESSION_CONFIG_SVCS_H
#define QEL_SESSION_CONFIG_SVCS_H

#include <stddef.h>
#include <stdint.h>

#include "mslLogSink.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SCS_STATUS_NOT_SUPPORTED 0xC7210100u

/* Mode argument of SCS_SERVER_RegisterOnPostData used by the connection server. */
#define SCS_POST_MODE_BUFFERED 2u
/* Extension, or-ed into the mode: the resource's callback never waits for anything but
 * its own work, so an endpoint with a worker pool ("workers" setting) may serve it, and
 * an endpoint with "nonblocking_workers" serves connections that start with it from its
 * pool. A library that does not know the flag refuses the mode; register again without
 * it. */
#define SCS_POST_NEVER_BLOCKS 0x100u
/* Extension, or-ed into the mode: the resource takes any request, not only a POST: GET,
 * HEAD, POST, PUT, PATCH, DELETE and OPTIONS, on the resource itself and on every path
 * below "<resource>/" (an exact registration of a longer path wins). CONNECT and
 * requests carrying Upgrade are answered 501 by the library, other methods 405. The
 * callback's SCS_REQUEST.method is the request's method and .resource its path without
 * the query; SCS_SERVER_GetRequestTarget gives the target as received. A library that
 * does not know the flag refuses the mode; register again without it. */
#define SCS_POST_ANY_REQUEST 0x200u
/* Extension, or-ed into the mode: the callback may return SCS_STATUS_PENDING, leaving
 * `response` untouched, and answer later with one call of SCS_SERVER_CompleteRequest
 * from any thread. Until then the request handle serves the header, status and watch
 * calls as during a callback, and no thread of the library waits for it: on an endpoint
 * with a worker pool the connection is set aside and the worker serves its others. The
 * callback itself must not wait, as with SCS_POST_NEVER_BLOCKS, which this flag implies.
 * A library that does not know the flag refuses the mode; register again without it. */
#define SCS_POST_COMPLETES_LATER 0x400u
#define SCS_STATUS_PENDING 0x4721011Bu

/* The request record handed to a callback. Only `resource` (offset 16) and
 * `request_handle` (offset 32) are part of the contract; the rest is informational. */
typedef struct SCS_REQUEST {
  uint32_t struct_size;      /* sizeof(SCS_REQUEST) */
  uint32_t listener_handle;  /* the listener that received the request */
  uint64_t content_length;   /* body length in bytes */
  const char* resource;      /* NUL-terminated path, offset 16 */
  const char* method;        /* "POST" (any-request resources: the request's), offset 24 */
  uint32_t request_handle;   /* for the header and status calls, offset 32 */
  uint32_t reserved;
} SCS_REQUEST;

#ifdef __cplusplus
static_assert(offsetof(SCS_REQUEST, resource) == 16, "request record layout");
static_assert(offsetof(SCS_REQUEST, request_handle) == 32, "request record layout");
#else
_Static_assert(offsetof(SCS_REQUEST, resource) == 16, "request record layout");
_Static_assert(offsetof(SCS_REQUEST, request_handle) == 32, "request record layout");
#endif

/* A POST callback: returns 0, or a status that is answered with HTTP 500. The
 * response body is a block from SCS_Allocate (or null) whose ownership passes to the
 * library. */
typedef uint32_t (*SCS_POST_CALLBACK)(uint32_t listener_handle, uint32_t token,
                                      const uint8_t* posted_data, uint32_t posted_length,
                                      uint8_t** response, uint32_t* response_length,
                                      const SCS_REQUEST* request);

void* SCS_Allocate(uint32_t size);
void SCS_Free(void* block);
void SCS_SetMSLLibPath(const char* directory);
void SCS_SetMSLExtSigFileExtension(const char* extension);

uint32_t SCS_SERVER_Init(const char* agent_version, const char* agent_uuid,
                         const char* agent_name, const mslLogSink* log_sink);
/* Stops and removes every listener, releasing nothing a callback still holds. */
uint32_t SCS_SERVER_ShutDown(void);
uint32_t SCS_SERVER_AddListener(const char* settings_1, const char* settings_2,
                                uint32_t* listener_handle);
uint32_t SCS_SERVER_RegisterOnPostData(uint32_t listener_handle, const char* resource,
                                       uint32_t token, SCS_POST_CALLBACK callback,
                                       uint32_t mode);
uint32_t SCS_SERVER_StartServer(uint32_t listener_handle);
uint32_t SCS_SERVER_StopServer(uint32_t listener_handle);
uint32_t SCS_SERVER_RemoveListener(uint32_t listener_handle);
uint32_t SCS_SERVER_GetRequestHeader(uint32_t request_handle, const char* name,
                                     uint32_t flags, char** value);
uint32_t SCS_SERVER_AddResponseHeader(uint32_t request_handle, const char* name,
                                      const char* value);
uint32_t SCS_SERVER_SetHttpStatus(uint32_t request_handle, uint16_t status);
uint32_t SCS_GetErrorMsg(uint32_t code, char* buffer, uint32_t size);
uint32_t SCS_SERVER_GetErrorMsg(uint32_t code, char* buffer, uint32_t size);

/* Extensions beyond the loader's table. The connection server resolves them when the
 * library has them and works as before without them.
 *
 * SCS_HEADER_SINGLE, as the flags of SCS_SERVER_GetRequestHeader: a request that carries
 * the header more than once fails with SCS_STATUS_DUPLICATE_HEADER instead of giving the
 * first value, so a header that decides where an answer goes cannot be read two ways. */
#define SCS_HEADER_SINGLE 0x1u
#define SCS_STATUS_DUPLICATE_HEADER 0xC7210117u

/* Called at most once, on a thread of the library, when the client of a watched
 * request closes its connection while the request's callback still runs. It must
 * return quickly and must not call back into the library for that request. */
typedef void (*SCS_GONE_CALLBACK)(void* context);

/* Only during the callback of `request_handle`: call `gone(context)` if the client goes
 * away before the callback returns (at once if it has gone already). A second call
 * replaces the first watch. A client that shuts down its sending side counts as gone. */
uint32_t SCS_SERVER_WatchRequest(uint32_t request_handle, SCS_GONE_CALLBACK gone,
                                 void* context);
/* Ends the watch: when this returns, `gone` is not running and will not be called, so
 * the context may be freed. The library also ends a watch when its callback returns. */
uint32_t SCS_SERVER_UnwatchRequest(uint32_t request_handle);

/* SCS_SERVER_AddListener, with the names of the files the two settings texts were read
 * from (either may be null: a text given as it is). Errors in a text then name its file
 * and line instead of "listener settings text N". */
uint32_t SCS_SERVER_AddListenerFrom(const char* settings_1, const char* source_1,
                                    const char* settings_2, const char* source_2,
                                    uint32_t* listener_handle);

/* Admission before the body. Called on the connection thread once a request for the
 * resource is routed, authenticated and has passed the method and length checks, before
 * any body byte is read: request->content_length is the declared length (0 for a
 * chunked body), request->request_handle serves SCS_SERVER_GetRequestHeader during the
 * call. Returns 0 to go on, or an HTTP status 400-599 to refuse: the library answers that
 * status with the one line the callback wrote into text[text_size] (NUL-terminated; the
 * status's reason phrase when empty), Retry-After for 503, Connection: close, and neither
 * reads the body nor calls the POST callback. Any other value is answered 500 and logged.
 * It runs on many connection threads at once and must not block for long. */
typedef uint32_t (*SCS_ADMIT_CALLBACK)(uint32_t listener_handle, uint32_t token,
                                       const SCS_REQUEST* request, char* text,
                                       uint32_t text_size);

/* Sets (or with null removes) the admission callback of a resource registered on the
 * listener; it takes effect at once on a running listener. Registering the resource
 * again removes it: set it after each SCS_SERVER_RegisterOnPostData. Fails with
 * SCS_STATUS_NOT_REGISTERED when the resource is not registered on the listener. */
uint32_t SCS_SERVER_SetAdmission(uint32_t listener_handle, const char* resource,
                                 SCS_ADMIT_CALLBACK admit);
#define SCS_STATUS_NOT_REGISTERED 0xC7210119u

/* Quiesce for a graceful stop: from now on requests for the listener's resources are
 * answered 503 ("the server is stopping", Retry-After, Connection: close) before their
 * body is read; callbacks already running are untouched and their answers go out with
 * Connection: close. When every listener an HTTP server serves is quiesced, the server
 * stops accepting connections and keeps the open ones. SCS_SERVER_StopServer and
 * SCS_SERVER_RemoveListener work afterwards as before; a stopped listener starts again
 * unquiesced. Quiescing twice is harmless. */
uint32_t SCS_SERVER_QuiesceServer(uint32_t listener_handle);

/* Only during the callback of `request_handle`: the request-target as the client sent
 * it, path and query, not decoded ("/qel/api/x?y=1&z=%20"), as an SCS_Allocate block
 * the caller frees with SCS_Free. */
uint32_t SCS_SERVER_GetRequestTarget(uint32_t request_handle, char** target);

/* Only during the callback of `request_handle`: every request header in the order
 * received, names as received (case kept), a repeated header as lines of its own, as
 * one NUL-terminated SCS_Allocate block of lines "Name: value\r\n" (empty when the
 * request has none). The caller frees it with SCS_Free. */
uint32_t SCS_SERVER_GetRequestHeaders(uint32_t request_handle, char** block);

/* Reload without a restart: parses the two settings texts as SCS_SERVER_AddListenerFrom
 * does (source_N: the file a text was read from, may be null) and applies to the
 * listener, and to the HTTP servers it runs, what changes without dropping anything:
 * TLS certificate and key, client CA file, bearer token file (files are read again even
 * when the text is unchanged), access_log, metrics, per_ip_limit, header_timeout,
 * body_min_rate, max_body_size, body_budget, and connection_limit up to the value the
 * server started with. New connections and requests see the new values at once; open
 * connections and running callbacks are untouched. What needs a restart (address,
 * port, resources, endpoints added or removed, TLS turned on or off, workers,
 * thread_stack_size, connection_timeout, a higher connection_limit) is not applied:
 * the call logs one warning naming each key and endpoint and returns
 * SCS_STATUS_RESTART_NEEDED, having applied the rest. A text or file with an error
 * applies nothing and returns the error's status. Listeners that share an HTTP server
 * (identical endpoints) share what is reloaded on it. */
uint32_t SCS_SERVER_ReloadListener(uint32_t listener_handle, const char* settings_1,
                                   const char* source_1, const char* settings_2,
                                   const char* source_2);
#define SCS_STATUS_RESTART_NEEDED 0x4721011Au

/* More families for the /metrics page: the library calls `render(context)` each time it
 * makes the page, on the thread that serves it, and appends the text it returns (complete
 * families in the Prometheus text format 0.0.4, a block from SCS_Allocate that the
 * library frees; null adds nothing). A second call with the same `render` replaces its
 * context; a null `render` does nothing. The source stays until the process ends. */
typedef char* (*SCS_METRICS_SOURCE)(void* context);
uint32_t SCS_SERVER_AddMetricsSource(SCS_METRICS_SOURCE render, void* context);

/* Answers a request whose callback returned SCS_STATUS_PENDING, as the callback would
 * have: `status` 0 sends `response` (a block from SCS_Allocate, or null) with the status
 * and headers set through the handle, any other status is answered 500. The library
 * takes `response` in every case. Once per request: afterwards the handle names nothing.
 * Fails with SCS_STATUS_UNKNOWN_REQUEST when the handle names no pending request (already
 * completed, or ended by a stop of its listener, whose pending requests are answered 503). */
#define SCS_STATUS_UNKNOWN_REQUEST 0xC7210104u
uint32_t SCS_SERVER_CompleteRequest(uint32_t request_handle, uint32_t status,
                                    uint8_t* response, uint32_t response_length);

/* The extensions, each round under a symbol version node of its own beside the
 * table's Version_5.0: QELSCS_EXT_1, QELSCS_EXT_2 and QELSCS_EXT_3.
 * SCS_EXTENSION_FUNCTIONS lists them all. */
#define SCS_EXTENSION_FUNCTIONS_1(X)                                                    \
  X(SCS_SERVER_WatchRequest) X(SCS_SERVER_UnwatchRequest) X(SCS_SERVER_AddListenerFrom) \
  X(SCS_SERVER_SetAdmission) X(SCS_SERVER_QuiesceServer)

#define SCS_EXTENSION_FUNCTIONS_2(X)                                                    \
  X(SCS_SERVER_GetRequestTarget) X(SCS_SERVER_GetRequestHeaders) X(SCS_SERVER_ReloadListener) \
  X(SCS_SERVER_AddMetricsSource)

#define SCS_EXTENSION_FUNCTIONS_3(X) X(SCS_SERVER_CompleteRequest)

#define SCS_EXTENSION_FUNCTIONS(X) \
  SCS_EXTENSION_FUNCTIONS_1(X) SCS_EXTENSION_FUNCTIONS_2(X) SCS_EXTENSION_FUNCTIONS_3(X)

/* The rest of the table: present for the loader, not supported. */
#define SCS_UNSUPPORTED_FUNCTIONS(X)                                                      \
  X(SCS_LoadLocalSettingsFile) X(SCS_RetrieveLocalSettingsValue) X(SCS_Init)             \
  X(SCS_ShutDown) X(SCS_RegisterSettingsChanged) X(SCS_UnregisterSettingsChanged)        \
  X(SCS_LoadServers) X(SCS_GetAgentId) X(SCS_SetAgentId) X(SCS_SetLastGoodAgentId)       \
  X(SCS_GetServerCount) X(SCS_GetServerInfo) X(SCS_AddServer) X(SCS_DeleteServer)        \
  X(SCS_SetGroupnameHint) X(SCS_AddDestinationFiles) X(SCS_AddDestination)               \
  X(SCS_GetDestinationCount) X(SCS_GetDestinations) X(SCS_RemoveDestination)             \
  X(SCS_RemoveDestinations) X(SCS_LoadLocalSettings) X(SCS_GetCommSettingsInfo)          \
  X(SCS_SaveCommSettings) X(SCS_LoadCommSettings) X(SCS_LoadCommSettingsFile)            \
  X(SCS_TestCommSettings) X(SCS_TestCommSettingsFile) X(SCS_PostData) X(SCS_HttpPostData) \
  X(SCS_PostDataFile) X(SCS_HttpPostDataFile) X(SCS_SetLanguage) X(SCS_VerifySignedFileEx) \
  X(SCS_VerifySignedFile) X(SCS_SERVER_SetAgentId) X(SCS_SERVER_SetLastGoodAgentId)      \
  X(SCS_SERVER_LoadLocalSettingsFile) X(SCS_SERVER_RegisterSettingsChanged)              \
  X(SCS_SERVER_UnregisterSettingsChanged) X(SCS_SERVER_AddListenerFiles)                 \
  X(SCS_SERVER_GetListenerCount) X(SCS_SERVER_GetListeners) X(SCS_SERVER_RemoveListeners) \
  X(SCS_SERVER_LoadLocalSettings) X(SCS_SERVER_RetrieveLocalSettingsValue)               \
  X(SCS_SERVER_GetListenerSettingsInfo) X(SCS_SERVER_LoadListenerSettings)               \
  X(SCS_SERVER_LoadListenerSettingsFile) X(SCS_SERVER_RegisterOnGetFile)                 \
  X(SCS_HttpHeadersNew) X(SCS_HttpHeadersFree) X(SCS_HttpHeadersClear)                   \
  X(SCS_HttpHeadersAdd) X(SCS_HttpHeadersAddLine) X(SCS_HttpHeadersGet)                  \
  X(SCS_HttpHeadersIterationBegin) X(SCS_HttpHeadersIterationEnd)                        \
  X(SCS_HttpHeadersIterationNext) X(SCS_HttpHeadersIterationGet) X(SCS_HttpHeadersCopy)

#define SCS_DECLARE_UNSUPPORTED(name) uint32_t name(void);
SCS_UNSUPPORTED_FUNCTIONS(SCS_DECLARE_UNSUPPORTED)
#undef SCS_DECLARE_UNSUPPORTED

/* The loader's table: all 77 functions, in resolution order. */
#define SCS_FUNCTION_TABLE(X)                                                             \
  X(SCS_Allocate) X(SCS_Free) X(SCS_LoadLocalSettingsFile) X(SCS_RetrieveLocalSettingsValue) \
  X(SCS_Init) X(SCS_ShutDown) X(SCS_RegisterSettingsChanged) X(SCS_UnregisterSettingsChanged) \
  X(SCS_LoadServers) X(SCS_GetAgentId) X(SCS_SetAgentId) X(SCS_SetLastGoodAgentId)       \
  X(SCS_GetServerCount) X(SCS_GetServerInfo) X(SCS_AddServer) X(SCS_DeleteServer)        \
  X(SCS_SetGroupnameHint) X(SCS_AddDestinationFiles) X(SCS_AddDestination)               \
  X(SCS_GetDestinationCount) X(SCS_GetDestinations) X(SCS_RemoveDestination)             \
  X(SCS_RemoveDestinations) X(SCS_LoadLocalSettings) X(SCS_GetCommSettingsInfo)          \
  X(SCS_SaveCommSettings) X(SCS_LoadCommSettings) X(SCS_LoadCommSettingsFile)            \
  X(SCS_TestCommSettings) X(SCS_TestCommSettingsFile) X(SCS_PostData) X(SCS_HttpPostData) \
  X(SCS_PostDataFile) X(SCS_HttpPostDataFile) X(SCS_SetLanguage) X(SCS_VerifySignedFileEx) \
  X(SCS_VerifySignedFile) X(SCS_GetErrorMsg) X(SCS_SERVER_Init) X(SCS_SERVER_ShutDown)   \
  X(SCS_SERVER_SetAgentId) X(SCS_SERVER_SetLastGoodAgentId)                              \
  X(SCS_SERVER_LoadLocalSettingsFile) X(SCS_SERVER_RegisterSettingsChanged)              \
  X(SCS_SERVER_UnregisterSettingsChanged) X(SCS_SERVER_StartServer)                      \
  X(SCS_SERVER_AddListenerFiles) X(SCS_SERVER_AddListener) X(SCS_SERVER_GetListenerCount) \
  X(SCS_SERVER_GetListeners) X(SCS_SERVER_RemoveListener) X(SCS_SERVER_RemoveListeners)  \
  X(SCS_SERVER_LoadLocalSettings) X(SCS_SERVER_RetrieveLocalSettingsValue)               \
  X(SCS_SERVER_GetListenerSettingsInfo) X(SCS_SERVER_LoadListenerSettings)               \
  X(SCS_SERVER_LoadListenerSettingsFile) X(SCS_SERVER_RegisterOnPostData)                \
  X(SCS_SERVER_RegisterOnGetFile) X(SCS_SERVER_GetRequestHeader)                         \
  X(SCS_SERVER_AddResponseHeader) X(SCS_SERVER_SetHttpStatus) X(SCS_SERVER_StopServer)   \
  X(SCS_SERVER_GetErrorMsg) X(SCS_SetMSLLibPath) X(SCS_SetMSLExtSigFileExtension)        \
  X(SCS_HttpHeadersNew) X(SCS_HttpHeadersFree) X(SCS_HttpHeadersClear)                   \
  X(SCS_HttpHeadersAdd) X(SCS_HttpHeadersAddLine) X(SCS_HttpHeadersGet)                  \
  X(SCS_HttpHeadersIterationBegin) X(SCS_HttpHeadersIterationEnd)                        \
  X(SCS_HttpHeadersIterationNext) X(SCS_HttpHeadersIterationGet) X(SCS_HttpHeadersCopy)

#ifdef __cplusplus
}
#endif

#endif /* QEL_SESSION_CONFIG_SVCS_H */
