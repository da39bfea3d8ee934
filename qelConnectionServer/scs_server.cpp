#include "qelConnectionServer/scs_server.h"

#include "mslLoader/mslLoader.h"
#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

scs_server::scs_server(const std::string& agent_version, const std::string& agent_uuid,
                       const std::string& agent_name, const mslLogSink* log_sink,
                       scs_library_loader load) {
  UD_ENTER("scs_server::scs_server", "version %s uuid %s name %s", agent_version.c_str(),
           agent_uuid.c_str(), agent_name.c_str());
  SetLoaderLogSink(log_sink);
  if (load == nullptr) load = &LoadQelSessionConfigSvcs;
  uint32_t rc = load("libqelSessionConfigSvcs5.so");
  if (rc != 0) {
    UD_EXIT("load rc %x", rc);
    throw funneltunnel_exception("failed to load SCS library", rc);
  }
  rc = g_qelSessionConfigSvcs.SCS_SERVER_Init(agent_version.c_str(), agent_uuid.c_str(),
                                              agent_name.c_str(), log_sink);
  if (rc != 0) {
    UD_EXIT("init rc %x", rc);
    throw funneltunnel_exception("SCS_SERVER_Init failed", rc);
  }
  UD_EXIT("%s", "");
}

}  // namespace funneltunnel
}  // namespace qel
