// tunnel_settings: what a host may ask of the reverse tunnel beyond the plain protocol,
// read from CS_Init's reserved settings text (a text, or the name of a file holding it).
//
// Grammar, as for listener settings: `key = value` lines, blank lines, `#` comments at
// the start of a line or after a blank. Keys:
//   caller_timeout       seconds a caller may wait for its answer (0: no limit) -> 504
//   max_waiting_callers  callers that may wait at once, queued or out (0: no bound) -> 503
//   poll_timeout         seconds after which a parked poll is answered empty (default 28)
//   drain_timeout        seconds a graceful stop waits for requests out (default 10)
//   client_grace         seconds a declared remote client may be without a poll before
//                        the requests it holds are answered 502 (default 5)
//   flow_ids             "sequential" (1, 2, ...; default) or "random" (a random start,
//                        so ids do not repeat across host processes)
//   forward_any_request  "off" (default: POST to "/qel" only) or "on" (any_request.h)
//   answer_later         "off" (default: a caller's or poll's callback waits for its
//                        answer) or "on" (they are answered later, pending_answers.h)
// A known key with a bad value, or given twice, is an error; any other line is reported
// back and ignored, so a host that passes some other text still starts. Plain values;
// CS_Init logs an error and fails with CS_TUNNEL_SETTING_INVALID (connection_server.cpp).
#ifndef QEL_FUNNELTUNNEL_TUNNEL_SETTINGS_H
#define QEL_FUNNELTUNNEL_TUNNEL_SETTINGS_H

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel {
namespace funneltunnel {

struct tunnel_settings {
  uint32_t caller_timeout_s = 0;
  uint32_t max_waiting_callers = 0;
  uint32_t poll_timeout_s = 28;
  uint32_t drain_timeout_s = 10;
  uint32_t client_grace_s = 5;
  bool random_flow_ids = false;
  bool forward_any_request = false;
  bool answer_later = false;
};

// A known key with a bad value, or given twice; what() names where, the key and value.
class tunnel_setting_error : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Throws tunnel_setting_error ("ORIGIN line N: key = value: why"); `origin` says where the
// text came from ("reserved settings", or its file). `ignored` receives one line per line
// that was skipped, saying why. Depends on nothing else of the core: qelcs-host compiles
// it in to check a configuration without starting it.
tunnel_settings read_tunnel_text(const std::string& text, const std::string& origin,
                                 std::vector<std::string>& ignored);
// The same, starting from `base` instead of the plain defaults; `named` receives the keys
// the text sets.
tunnel_settings read_tunnel_text(const std::string& text, const std::string& origin,
                                 std::vector<std::string>& ignored, const tunnel_settings& base,
                                 std::set<std::string>& named);

// The settings as lines of the same grammar, every key once (for --check-config and logs).
std::string describe_tunnel_settings(const tunnel_settings& settings);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TUNNEL_SETTINGS_H
