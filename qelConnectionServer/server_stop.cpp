#include "qelConnectionServer/server_stop.h"

#include <thread>

#include "mslLoader/mslLoaderLog.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/listener.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
namespace {

constexpr std::chrono::milliseconds check_every{20};
// How long the last answers may take to leave before the listeners stop.
constexpr std::chrono::seconds answers_out{5};

}  // namespace

void server_stop::run(connection_server& server, std::chrono::milliseconds drain, bool now) {
  UD_ENTER("server_stop::run", "drain %lld ms now %d", static_cast<long long>(drain.count()),
           now ? 1 : 0);
  if (now) cut.store(true);
  std::lock_guard<std::mutex> guard(running);
  if (done.load()) {
    UD_EXIT("%s", "stopped already");
    return;
  }
  stop_taking_callers(server);
  if (!cut.load() && drain.count() > 0) drain_requests_out(server, drain);
  std::size_t unanswered = 0;
  if (reverse_funnel* funnel = server.funnel()) unanswered = funnel->finish_stop();
  QEL_LOG_LONG_AS("CS_Stop", MSL_LOG_INFO,
                  "stopped: %zu requests out with the remote client were answered 503", unanswered);
  stop_listeners(server);
  done.store(true);
  UD_EXIT("%zu unanswered", unanswered);
}

void server_stop::stop_taking_callers(connection_server& server) {
  server.get_listener(2).quiesce();
  server.get_listener(4).quiesce();
  std::size_t refused = 0;
  if (reverse_funnel* funnel = server.funnel()) refused = funnel->begin_stop();
  QEL_LOG_LONG_AS("CS_Stop", MSL_LOG_INFO,
                  "stopping: %zu queued callers answered 503; %zu requests out with the remote "
                  "client",
                  refused, server.funnel() ? server.funnel()->flow_table().size() : 0);
}

// Polls go on being served, so the remote client can deliver its answers.
void server_stop::drain_requests_out(connection_server& server, std::chrono::milliseconds drain) {
  reverse_funnel* funnel = server.funnel();
  if (funnel == nullptr) return;
  const auto until = std::chrono::steady_clock::now() + drain;
  while (funnel->flow_table().size() != 0 && !cut.load() &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(check_every);
  }
}

// Every transaction has been completed; the callbacks return and their answers leave
// before the listeners stop (stopping closes the connections at once).
void server_stop::stop_listeners(connection_server& server) {
  server.get_listener(3).quiesce();
  const auto until = std::chrono::steady_clock::now() + answers_out;
  while (requests_in_progress() != 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(check_every);
  for (int number : {2, 3, 4}) server.get_listener(number).stop();
}

}  // namespace funneltunnel
}  // namespace qel
