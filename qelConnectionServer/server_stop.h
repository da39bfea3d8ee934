// server_stop: the graceful stop of a connection server (the exported CS_Stop), an
// extension a host asks for when it ends. In order: the callers' and registration
// listeners stop taking requests (the service library answers 503 there), callers still
// queued are answered 503 at once, requests out with the remote client get the drain
// time to be answered, then what is left is answered 503, parked polls get the empty
// answer, the poll listener stops taking requests, and every listener is stopped once
// the answers have gone out. Polls keep being served during the drain, so the remote
// client can still deliver its answers.
//
// A stop asked for with `now` while another runs cuts that one's drain short; a second
// stop after one finished does nothing. Ownership: a member of the connection server.
// Threads: run() from any host thread, concurrently with another run().
#ifndef QEL_FUNNELTUNNEL_SERVER_STOP_H
#define QEL_FUNNELTUNNEL_SERVER_STOP_H

#include <atomic>
#include <chrono>
#include <mutex>

namespace qel {
namespace funneltunnel {

class connection_server;

class server_stop {
 public:
  server_stop() = default;
  server_stop(const server_stop&) = delete;
  server_stop& operator=(const server_stop&) = delete;

  // Runs the stop (or waits for the one running). `drain` bounds the wait for requests
  // out; `now` skips it.
  void run(connection_server& server, std::chrono::milliseconds drain, bool now);
  bool finished() const { return done.load(); }

 private:
  void stop_taking_callers(connection_server& server);
  void drain_requests_out(connection_server& server, std::chrono::milliseconds drain);
  void stop_listeners(connection_server& server);

  std::mutex running;           // one stop runs at a time
  std::atomic<bool> cut{false};  // a stop asked for `now` while one runs
  std::atomic<bool> done{false};
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_SERVER_STOP_H
