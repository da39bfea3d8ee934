#include "qelConnectionServer/library_state.h"

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "qelToolsLib/qelLibraryFolder.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

library_state::~library_state() { delete current.load(); }

void library_state::init(const server_factory& build) {
  UD_ENTER("library_state::init", "current %p", static_cast<void*>(current.load()));
  if (current.load() != nullptr) {
    UD_EXIT("%s", "already initialised");
    throw funneltunnel_exception("connection server already initialised",
                                 status::CS_ALREADY_INITIALISED);
  }
  std::unique_ptr<connection_server> built = build();
  current.store(built.release());
  UD_EXIT("%p", static_cast<void*>(current.load()));
}

void library_state::set_reverse_connection(bool enable) {
  UD_ENTER("library_state::set_reverse_connection", "enable %d", enable ? 1 : 0);
  connection_server* server = current.load();
  if (server == nullptr) {
    UD_EXIT("%s", "not initialised");
    throw funneltunnel_exception("connection server not initialised",
                                 status::CS_NOT_INITIALISED);
  }
  server->set_reverse_connection(enable);
  UD_EXIT("%s", "");
}

void library_state::stop(bool now) {
  UD_ENTER("library_state::stop", "now %d", now ? 1 : 0);
  connection_server* server = current.load();
  if (server == nullptr) {
    UD_EXIT("%s", "not initialised");
    throw funneltunnel_exception("connection server not initialised",
                                 status::CS_NOT_INITIALISED);
  }
  server->stop(now);
  UD_EXIT("%s", "");
}

uint32_t library_state::reload(const std::string& settings_1, const std::string& reserved,
                               const std::string& settings_2) {
  connection_server* server = current.load();
  if (server == nullptr)
    throw funneltunnel_exception("connection server not initialised", status::CS_NOT_INITIALISED);
  return server->reload(settings_1, reserved, settings_2);
}

library_state& state() {
  static library_state* const instance = new library_state;
  return *instance;
}

std::string own_library_folder() { return qelToolsLib::qelLibraryFolder(); }

}  // namespace funneltunnel
}  // namespace qel
