// fake_scs: an in-memory stand-in for the HTTP service library, installed into the
// loader's function table, so the core's listeners, callback and endpoints run
// without sockets. Records every call; post() plays one HTTP POST through the callback
// registered for its token and returns what the library would have sent, waiting for
// the completion of a request whose callback answers later.
// Thread-safe: post() may run on many threads at once.
#ifndef QEL_TESTS_FAKE_SCS_H
#define QEL_TESTS_FAKE_SCS_H

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "qelSessionConfigSvcs.h"

namespace fake_scs {

struct registration {
  uint32_t listener;
  std::string resource;
  uint32_t token;
  SCS_POST_CALLBACK callback;
  uint32_t mode;
};

struct response {
  uint32_t rc = 0;        // the callback's result
  int status = -1;        // -1: never set
  std::map<std::string, std::string> headers;
  std::string body;
  bool body_set = false;  // the response pointer was written
};

struct state {
  std::mutex mutex;
  uint32_t next_listener = 1;
  uint32_t fail_add_listener_at = 0;  // 1-based call number that fails; 0 never
  uint32_t add_listener_calls = 0;
  bool fail_allocate = false;
  // A library of another family: it takes only the standard mode (2) and header flags
  // (0) and refuses anything else with a status of its own.
  bool strict = false;
  // Takes SCS_POST_COMPLETES_LATER (with `extended`): callers and polls answer later.
  bool completes_later = false;
  std::vector<uint32_t> header_flags;  // the flags of every header read, in order
  std::string fail_register;                    // registrations of this resource fail
  std::vector<std::string> listener_settings;   // "settings_1|settings_2" per listener
  std::vector<registration> registrations;
  std::map<uint32_t, int> starts;               // listener -> StartServer calls
  std::vector<uint32_t> stopped;
  std::vector<uint32_t> removed;
  std::vector<uint32_t> quiesced;
  int init_calls = 0;
  int frees = 0;
};

// Installs the fakes into g_qelSessionConfigSvcs and clears the recorded state.
// `extended`: the loader reports a library of this family (extension values allowed).
void install(bool extended = true);
state& get();

// A loader for connection_server that "loads" the fakes.
uint32_t load(const char* library);

// The registration for `resource` made last (the one a real library would serve).
registration last_registration(const std::string& resource);

// Requests answered later: the handles whose completion post() waits for now, and
// whether the connection watch watches each.
std::vector<uint32_t> pending_handles(bool watched_only = false);
// The client of pending request `handle` leaves: the watch's notice, if it is watched.
void client_leaves(uint32_t handle);
// A stop of the listener: every pending request is answered 503 by the library, and a
// later completion of it finds nothing.
void listener_answers_pending();
// The handle the next post() gets (handles are reused after a wrap).
void set_next_request(uint32_t handle);

// Plays one POST through the callback registered under `token`.
response post(uint32_t token, const std::string& resource,
              const std::map<std::string, std::string>& headers, const std::string* body);
inline response post(uint32_t token, const std::string& resource,
                     const std::map<std::string, std::string>& headers, const std::string& body) {
  return post(token, resource, headers, &body);
}

}  // namespace fake_scs

#endif  // QEL_TESTS_FAKE_SCS_H
