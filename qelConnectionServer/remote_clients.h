// remote_clients: the remote clients that declared themselves to a funnel (polls with
// "X-QEL-Client"): how many of their polls are open, when the last one ended, and
// whether they are stopping. A declared client promises to keep a poll open while it
// runs (its presence poll); one without an open poll for the grace time has gone, and
// the funnel answers the requests it held.
//
// Ownership: shared by the funnel (std::shared_ptr; an open poll's token refers to it
// weakly, so a token may outlive it). Each record has a serial that never repeats, which
// caller requests handed to the client carry as their holder (transaction.h).
// Threads: any; one lock, held for one operation. A poll's open token may be let go on
// any thread (the poll is claimed: answered, released or withdrawn).
#ifndef QEL_FUNNELTUNNEL_REMOTE_CLIENTS_H
#define QEL_FUNNELTUNNEL_REMOTE_CLIENTS_H

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qel {
namespace funneltunnel {

class remote_clients : public std::enable_shared_from_this<remote_clients> {
 public:
  using clock = std::chrono::steady_clock;

  struct client {
    std::string id;
    uint64_t serial = 0;
    uint32_t open_polls = 0;
    clock::time_point last_seen;
    bool stopping = false;
  };

  remote_clients() = default;
  remote_clients(const remote_clients&) = delete;
  remote_clients& operator=(const remote_clients&) = delete;

  // A poll of client `id` arrived: the client's serial (a record is made on first sight)
  // and, in `open`, a token that counts the poll as open until it is let go.
  uint64_t arrived(const std::string& id, std::shared_ptr<void>& open);
  // The client said it is stopping: it is given no request from now on.
  void stopping(uint64_t serial);
  bool is_stopping(uint64_t serial) const;
  // The clients without an open poll since `now - grace`; they are forgotten.
  std::vector<uint64_t> gone(clock::time_point now, clock::duration grace);
  std::size_t size() const;

 private:
  friend class open_poll;
  void poll_ended(uint64_t serial);

  mutable std::mutex mutex;
  std::map<std::string, std::shared_ptr<client>> by_id;
  std::map<uint64_t, std::shared_ptr<client>> by_serial;
  uint64_t next_serial = 1;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REMOTE_CLIENTS_H
