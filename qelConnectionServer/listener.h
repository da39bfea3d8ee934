// listener: one listener of the HTTP service library, and the POST callback through
// which every request enters the core.
//
// Ownership: a listener is owned by value by the connection server; it is neither
// copied nor moved; its destructor stops and removes it. Threads: the listener
// operations run on the thread that builds the connection server; POST_request_callback
// runs on the service library's request threads, many at once, and blocks until its
// transaction is complete (POST_request_callback_later, pending_answers.h, does not).
#ifndef QEL_FUNNELTUNNEL_LISTENER_H
#define QEL_FUNNELTUNNEL_LISTENER_H

#include <cstdint>
#include <memory>
#include <string>

#include "qelConnectionServer/filestring.h"
#include "qelConnectionServer/post_transaction.h"
#include "qelSessionConfigSvcs.h"

namespace qel {
namespace funneltunnel {

class listener {
 public:
  // Each settings value is a text or the name of a file holding it. Throws
  // funneltunnel_exception "SCS_SERVER_AddListener failed".
  listener(const std::string& settings_1, const std::string& settings_2);
  // Stops and removes the listener; failures are traced, never thrown.
  ~listener();
  listener(const listener&) = delete;
  listener& operator=(const listener&) = delete;

  // Registers the resource with POST_request_callback and starts the listener.
  // `extension_modes`: SCS_POST_NEVER_BLOCKS (the processor always completes inside
  // process(), so the service library may serve it from a worker pool),
  // SCS_POST_ANY_REQUEST (any method, paths below the resource) and
  // SCS_POST_COMPLETES_LATER (registered with POST_request_callback_later); passed only
  // to a service library of this family, and dropped when it refuses them.
  void add_POST_resource(const std::string& resource, uint32_t registration_token,
                         uint32_t extension_modes = 0);
  // Asks the service library to run the resource's admission check before a body is
  // read (admission_callback). A library without the extension just reads bodies
  // first: the check then happens in process(). Never throws.
  void set_admission(const std::string& resource);
  // GET resources are not served: always throws.
  void add_GET_resource(const std::string& resource, uint32_t registration_token);
  void start();
  void remove();
  // For a graceful stop: the service library answers this listener's requests 503 from
  // now on (quiesce), or stops serving it (stop). Each returns the library's status and
  // never throws; a library without the quiescing extension answers "not supported".
  uint32_t quiesce();
  uint32_t stop();

  uint32_t handle() const { return listener_handle; }

 private:
  filestring settings_1;
  filestring settings_2;
  uint32_t listener_handle = 0;
};

// The transaction for one request: resource and the known headers it carries.
std::shared_ptr<post_transaction> create_transaction(const SCS_REQUEST& request);

// How many POST_request_callback calls are running now (any listener, any thread).
uint32_t requests_in_progress();

// Registered with the service library for every POST resource; returns 0 or a status.
uint32_t POST_request_callback(uint32_t listener_handle, uint32_t registration_token,
                               const uint8_t* posted_data, uint32_t posted_data_length,
                               uint8_t** response_data, uint32_t* response_data_length,
                               const SCS_REQUEST* request) noexcept;

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_LISTENER_H
