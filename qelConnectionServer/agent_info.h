// agent_info: who the host agent is, as the host passed it to CS_Init (UTF-8 texts).
// A plain value, copied wherever it is kept.
#ifndef QEL_FUNNELTUNNEL_AGENT_INFO_H
#define QEL_FUNNELTUNNEL_AGENT_INFO_H

#include <string>

namespace qel {
namespace funneltunnel {

struct agent_info {
  std::string name;
  std::string uuid;
  std::string agent_namespace;
  std::string version;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_AGENT_INFO_H
