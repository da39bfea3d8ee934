// The exported C interface of libqelConnectionServer5.so. Every function that can fail
// runs its work through guarded_call, so no exception reaches the host.
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "mslLoader/mslLoader.h"
#include "mslLoader/mslLoaderLog.h"
#include "qelConnectionServer.h"
#include "qelConnectionServer/boundary.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/named_file.h"
#include "qelConnectionServer/library_state.h"
#include "qelStatusCodes.h"
#include "qelToolsLib/qelError.h"
#include "qelToolsLib/qelErrorMsg.h"
#include "udebug/udebug.h"

// The public header spells a few codes of the status table for C hosts: they must
// stay the table's.
static_assert(CS_STATUS_GENERAL_FAILURE == qel::status::GENERAL_FAILURE, "status table");
static_assert(CS_STATUS_INVALID_ARGUMENT == qel::status::INVALID_ARGUMENT, "status table");
static_assert(CS_STATUS_NO_MESSAGE_TEXT == qel::status::NO_MESSAGE_TEXT, "status table");

namespace qel {
namespace funneltunnel {
namespace {

void trace_boundary_failure(uint32_t code, const char* text) {
  UD_ENTER("exported function boundary", "%s", "");
  UD_TRACE(40000, "caught exception rc %x %s", code, text);
  UD_EXIT("%s", "");
}

// The boundary of every exported function that returns a status.
template <class Body>
uint32_t exported(Body&& body) noexcept {
  return guarded_call(std::forward<Body>(body), [](uint32_t code, const char* text, bool) {
    trace_boundary_failure(code, text);
  });
}

const char* printable(const char* text) { return text != nullptr ? text : "(null)"; }

// The nine text arguments of CS_Init, in parameter order.
enum init_text { version, settings_1, reserved, settings_2, uuid, name, agent_ns, dns, links };

// A host-supplied text that reads like a file name but names no file is read as a text
// and then fails as one ("expected key = value"): say what happened first.
void warn_of_missing_files(const std::string (&s)[9]) {
  const std::pair<init_text, const char*> host_texts[] = {
      {settings_1, "listener settings 1"}, {reserved, "reserved settings"},
      {settings_2, "listener settings 2"}, {links, "LMI links"}};
  for (const auto& [index, what] : host_texts) {
    if (!names_missing_file(s[index])) continue;
    QEL_LOG_LONG_AS("CS_Init", MSL_LOG_WARNING, "%s: no file named '%.512s' exists; read as %s text",
                    what, s[index].c_str(), index == links ? "links" : "settings");
  }
}

uint32_t build_server(const char* const (&texts)[9], const mslLogSink* log_sink) {
  for (const char* text : texts) {
    if (text == nullptr)
      throw funneltunnel_exception("CS_Init: null argument", status::GENERAL_FAILURE);
  }
  std::string s[9];
  for (int i = 0; i < 9; ++i) s[i] = texts[i];
  SetLoaderLogSink(log_sink);  // the host's log, for the warnings below (set again later)
  warn_of_missing_files(s);
  if (!state().host_chose_library_path()) SetMSLLoaderLibPath(own_library_folder().c_str());
  state().init([&] {
    checked_links_text(s[links]);  // fail clearly before anything is built
    return std::make_unique<connection_server>(s[version], s[settings_1], s[reserved],
                                               s[settings_2], s[uuid], s[name], s[agent_ns],
                                               s[dns], s[links], log_sink, true);
  });
  return 0;
}

}  // namespace
}  // namespace funneltunnel
}  // namespace qel

using qel::funneltunnel::exported;

extern "C" {

uint32_t CS_Init(const char* agent_version, const char* listener_settings_1,
                 const char* reserved_settings, const char* listener_settings_2,
                 const char* agent_uuid, const char* agent_name, const char* agent_namespace,
                 const char* dns_name, const char* lmi_links, const mslLogSink* log_sink) {
  return exported([&]() -> uint32_t {
    ud_init(".", 1);
    ud_load_config(".");
    UD_ENTER("CS_Init", "agent_version %s agent_name %s",
             qel::funneltunnel::printable(agent_version), qel::funneltunnel::printable(agent_name));
    const char* const texts[9] = {agent_version, listener_settings_1, reserved_settings,
                                  listener_settings_2, agent_uuid, agent_name,
                                  agent_namespace, dns_name, lmi_links};
    const uint32_t rc = qel::funneltunnel::guarded_call(
        [&] { return qel::funneltunnel::build_server(texts, log_sink); },
        [](uint32_t code, const char* text, bool) {  // under the CS_Init block
          UD_TRACE(40000, "caught exception rc %x %s", code, text);
        });
    UD_EXIT("rc %x", rc);
    return rc;
  });
}

uint32_t CS_ShutDown(void) {
  return exported([]() -> uint32_t {
    UD_ENTER("CS_ShutDown", "%s", "");
    UD_EXIT("rc %x", 0u);
    return 0;
  });
}

uint32_t SetReverseConnection(uint8_t enable) {
  return exported([&]() -> uint32_t {
    UD_ENTER("SetReverseConnection", "enable %u", static_cast<unsigned>(enable));
    const uint32_t rc = qel::funneltunnel::guarded_call(
        [&]() -> uint32_t {
          qel::funneltunnel::state().set_reverse_connection(enable != 0);
          return 0;
        },
        [](uint32_t code, const char* text, bool) {  // under the SetReverseConnection block
          UD_TRACE(40000, "caught exception rc %x %s", code, text);
        });
    UD_EXIT("rc %x", rc);
    return rc;
  });
}

uint32_t CS_Stop(uint32_t flags) {
  return exported([&]() -> uint32_t {
    UD_ENTER("CS_Stop", "flags %x", flags);
    const uint32_t rc = qel::funneltunnel::guarded_call(
        [&]() -> uint32_t {
          if ((flags & ~static_cast<uint32_t>(CS_STOP_NOW)) != 0)
            throw qel::funneltunnel::funneltunnel_exception("CS_Stop: unknown flags",
                                                            qel::status::INVALID_ARGUMENT);
          qel::funneltunnel::state().stop((flags & CS_STOP_NOW) != 0);
          return 0;
        },
        [](uint32_t code, const char* text, bool) {
          UD_TRACE(40000, "caught exception rc %x %s", code, text);
        });
    UD_EXIT("rc %x", rc);
    return rc;
  });
}

uint32_t CS_Reload(const char* listener_settings_1, const char* reserved_settings,
                   const char* listener_settings_2) {
  return exported([&]() -> uint32_t {
    UD_ENTER("CS_Reload", "%s", "");
    const uint32_t rc = qel::funneltunnel::guarded_call(
        [&]() -> uint32_t {
          if (listener_settings_1 == nullptr || reserved_settings == nullptr || listener_settings_2 == nullptr)
            throw qel::funneltunnel::funneltunnel_exception("CS_Reload: null argument",
                                                            qel::status::INVALID_ARGUMENT);
          return qel::funneltunnel::state().reload(listener_settings_1, reserved_settings,
                                                    listener_settings_2);
        },
        [](uint32_t code, const char* text, bool) {
          UD_TRACE(40000, "caught exception rc %x %s", code, text);
        });
    UD_EXIT("rc %x", rc);
    return rc;
  });
}

uint32_t CS_GetErrorMsg(uint32_t code, char* buffer, uint32_t size) {
  // The loader opens the catalog when CS_Init sets it up; a host may ask for a text
  // before that, or after a CS_Init that failed first. No locale: the host's stays.
  qelToolsLib::QELError::openCatalog(nullptr, "qel-MgmtSvcs.cat", nullptr);
  return qelGetErrorMsg(code, buffer, size);
}

void* CS_Allocate(uint32_t size) { return new (std::nothrow) uint8_t[size]; }

void CS_Free(void* block) { delete[] static_cast<uint8_t*>(block); }

void CS_SetMSLLibPath(const char* directory) {
  if (directory == nullptr) return;
  exported([&]() -> uint32_t {
    qel::funneltunnel::state().host_set_library_path();
    SetMSLLoaderLibPath(directory);
    return 0;
  });
}

void CS_SetMSLExtSigFileExtension(const char* extension) {
  if (extension == nullptr) return;
  exported([&]() -> uint32_t {
    SetMSLLoaderExtSigFileExtension(extension);
    return 0;
  });
}

uint32_t CS_RegisterErrorCallback(void) { return 1; }
uint32_t CS_RegisterAuthenticationCallback(void) { return 1; }
uint32_t CS_LoadLocalSettingsFile(void) { return 1; }
uint32_t CS_LoadCommSettingsFile(void) { return 1; }
uint32_t CS_LoadListenerSettingsFile(void) { return 1; }
uint32_t CS_ResetToPrimaryController(void) { return 1; }
uint32_t CS_SetLanguage(void) { return 1; }

}  // extern "C"
