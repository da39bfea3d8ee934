#include "qelConnectionServer/declared_clients.h"

#include "qelConnectionServer/any_request.h"
#include "qelConnectionServer/extension_headers.h"
#include "qelConnectionServer/tunnel_counters.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

tunnel_counters& counters() {
  static tunnel_counters* const all = new tunnel_counters;  // never destroyed: threads may outlive main
  return *all;
}

bool answer_empty(post_transaction& poll) {
  if (!poll.claim()) return false;
  poll.set_status_code(200);
  poll.complete();
  return true;
}

uint64_t declared_clients::admit(post_transaction& poll) {
  const auto named = poll.request_extensions.find(header_client);
  if (named == poll.request_extensions.end() || !valid_client_id(named->second)) return 0;
  std::shared_ptr<void> open;
  const uint64_t serial = registry->arrived(named->second, open);
  poll.hold_until_claimed(std::move(open));
  poll.set_holder(serial);
  poll.response_extensions[header_instance] = host_instance();
  poll.carried.accepts_any = declares_any_request(poll);
  return serial;
}

declared_clients::poll_kind declared_clients::kind_of(const post_transaction& poll) {
  const auto kind = poll.request_extensions.find(header_poll);
  if (kind == poll.request_extensions.end()) return poll_kind::ordinary;
  if (kind->second == poll_presence) return poll_kind::presence;
  if (kind->second == poll_final) return poll_kind::final;
  return poll_kind::ordinary;
}

void declared_clients::park_presence(const post_handle& poll) {
  poll->parked_at = std::time(nullptr);
  presence.enqueue(poll);
  if (presence.size() >= 64) presence.remove_if([](const post_handle& p) { return p->claimed(); });
}

int declared_clients::release_presence(std::time_t now, std::time_t timeout_s) {
  const auto expired = [&](const post_handle& p) {
    return p->claimed() || now > p->parked_at + timeout_s;
  };
  int released = 0;
  post_handle poll;
  while (presence.dequeue_if(expired, poll)) released += answer_empty(*poll) ? 1 : 0;
  return released;
}

void declared_clients::release_presence_of(uint64_t serial) {
  auto mine = presence.remove_if(
      [&](const post_handle& p) { return serial == 0 || p->holder() == serial; });
  for (auto& poll : mine) answer_empty(*poll);
}

}  // namespace funneltunnel
}  // namespace qel
