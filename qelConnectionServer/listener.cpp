#include "qelConnectionServer/listener.h"

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/admission.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/pending_answers.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

listener::listener(const std::string& first, const std::string& second)
    : settings_1(first), settings_2(second) {
  UD_ENTER("listener::listener", "%p", static_cast<void*>(this));
  // Texts read from files are added with their file names, so that an error names the
  // file and line; a service library without that extension gets the plain call.
  uint32_t rc = SCS_STATUS_NOT_SUPPORTED;
  if (!settings_1.file_name.empty() || !settings_2.file_name.empty()) {
    rc = g_qelSessionConfigSvcs.SCS_SERVER_AddListenerFrom(
        settings_1.text.c_str(), settings_1.file_name.c_str(), settings_2.text.c_str(),
        settings_2.file_name.c_str(), &listener_handle);
  }
  if (rc == SCS_STATUS_NOT_SUPPORTED) {
    rc = g_qelSessionConfigSvcs.SCS_SERVER_AddListener(settings_1.text.c_str(),
                                                       settings_2.text.c_str(), &listener_handle);
  }
  if (rc != 0) {
    UD_EXIT("rc %x", rc);
    throw funneltunnel_exception("SCS_SERVER_AddListener failed", rc);
  }
  UD_EXIT("listener_handle %u", listener_handle);
}

listener::~listener() {
  UD_ENTER("listener:~listener", "listener_handle %u", listener_handle);
  // Stop and remove are attempted separately and a failure is only traced: a
  // destructor that throws would end the process during the unwinding of a failed
  // start-up, and the connection server only relies on the listener being gone.
  uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_StopServer(listener_handle);
  if (rc != 0) UD_TRACE(40000, "SCS_SERVER_StopServer failed %x", rc);
  rc = g_qelSessionConfigSvcs.SCS_SERVER_RemoveListener(listener_handle);
  if (rc != 0) UD_TRACE(40000, "SCS_SERVER_RemoveListener failed %x", rc);
  UD_EXIT("%s", "");
}

void listener::add_POST_resource(const std::string& resource, uint32_t registration_token,
                                 uint32_t extension_modes) {
  UD_ENTER("listener::add_POST_resource", "resource %s registration_token %x",
           resource.c_str(), registration_token);
  UD_TRACE(40000, "listener_handle %u", listener_handle);
  const auto register_with = [&](uint32_t mode) {
    // A request answered later needs the callback that does not wait for it.
    const SCS_POST_CALLBACK callback = (mode & SCS_POST_COMPLETES_LATER) != 0
                                           ? &POST_request_callback_later
                                           : &POST_request_callback;
    return g_qelSessionConfigSvcs.SCS_SERVER_RegisterOnPostData(
        listener_handle, resource.c_str(), registration_token, callback, mode);
  };
  // The extension flag goes only to a service library of this family; one that refuses
  // it anyway, whatever its status, gets the standard mode (2), which serves as well.
  const uint32_t flags = QelSessionConfigSvcsExtended() ? extension_modes : 0;
  uint32_t rc = register_with(SCS_POST_MODE_BUFFERED | flags);
  if (rc != 0 && flags != 0) rc = register_with(SCS_POST_MODE_BUFFERED);
  if (rc != 0) {
    UD_EXIT("rc %x", rc);
    throw funneltunnel_exception("SCS_SERVER_RegisterOnPostData failed", rc);
  }
  start();
  UD_EXIT("%s", "");
}

void listener::add_GET_resource(const std::string& resource, uint32_t registration_token) {
  UD_ENTER("listener::add_GET_resource", "resource %s registration_token %x",
           resource.c_str(), registration_token);
  UD_EXIT("%s", "unsupported");
  throw funneltunnel_exception("SCS_SERVER_RegisterOnGetData unsupported",
                               status::GENERAL_FAILURE);
}

void listener::start() {
  UD_ENTER("listener:start", "listener_handle %u", listener_handle);
  const uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_StartServer(listener_handle);
  if (rc != 0) {
    UD_EXIT("rc %x", rc);
    throw funneltunnel_exception("SCS_SERVER_StartServer failed", rc);
  }
  UD_EXIT("%s", "");
}

void listener::remove() {
  UD_ENTER("listener::remove", "listener_handle %u", listener_handle);
  uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_StopServer(listener_handle);
  if (rc != 0) {
    UD_EXIT("rc %x", rc);
    throw funneltunnel_exception("SCS_SERVER_StopServer failed", rc);
  }
  rc = g_qelSessionConfigSvcs.SCS_SERVER_RemoveListener(listener_handle);
  if (rc != 0) {
    UD_EXIT("rc %x", rc);
    throw funneltunnel_exception("SCS_SERVER_RemoveListener failed", rc);
  }
  UD_EXIT("%s", "");
}

void listener::set_admission(const std::string& resource) {
  UD_ENTER("listener::set_admission", "resource %s", resource.c_str());
  const uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_SetAdmission(listener_handle, resource.c_str(),
                                                                     &admission_callback);
  UD_EXIT("rc %x", rc);
}

uint32_t listener::quiesce() {
  UD_ENTER("listener::quiesce", "listener_handle %u", listener_handle);
  const uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_QuiesceServer(listener_handle);
  UD_EXIT("rc %x", rc);
  return rc;
}

uint32_t listener::stop() {
  UD_ENTER("listener::stop", "listener_handle %u", listener_handle);
  const uint32_t rc = g_qelSessionConfigSvcs.SCS_SERVER_StopServer(listener_handle);
  UD_EXIT("rc %x", rc);
  return rc;
}

}  // namespace funneltunnel
}  // namespace qel
