#include "qelConnectionServer/reverse_funnel.h"

#include <array>
#include <exception>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/known_headers.h"
#include "qelConnectionServer/listener.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

void complete_all(std::deque<reverse_funnel::post_handle> transactions, uint32_t status) {
  UD_ENTER("complete_all", "%zu transactions status %u", transactions.size(), status);
  std::exception_ptr first;
  for (auto& t : transactions) {
    try {
      t->set_status_code(status);
      t->complete();
    } catch (const funneltunnel_exception&) {
      if (!first) first = std::current_exception();
    }
  }
  UD_EXIT("%s", "");
  if (first) std::rethrow_exception(first);
}

reverse_funnel::reverse_funnel(listener& on, flow_generator& table)
    : reverse_funnel(on, table, timing()) {}

reverse_funnel::reverse_funnel(listener& on, flow_generator& table, timing when)
    : jsThread("reverse_funnel timeouts", 2), on(on), table(table), when(when) {
  UD_ENTER("reverse_funnel::reverse_funnel", "%p", static_cast<void*>(&on));
  connection_endpoint.install_processors(on, reverse_connection_resource);
  if (start() != 1) UD_TRACE(40000, "%s", "reverse_funnel thread could not be started");
  UD_EXIT("%s", "");
}

reverse_funnel::~reverse_funnel() {
  UD_ENTER("reverse_funnel::~reverse_funnel", "%p", static_cast<void*>(this));
  stop(10000, true);  // the sleep ends at once on a stop request
  forwarder_endpoint.revoke_tokens();
  connection_endpoint.revoke_tokens();
  try {
    complete_all(tunnel_queue.drain(), 200);
    complete_all(outstanding_queue.drain(), 503);
  } catch (const funneltunnel_exception& e) {
    UD_TRACE(40000, "releasing waiting transactions failed %x %s", e.code, e.what());
  }
  UD_EXIT("%s", "");
}

void reverse_funnel::tunnel_transaction(const post_handle& request, const post_handle& poll) {
  UD_ENTER("reverse_funnel::tunnel_transaction", "request %p poll %p",
           static_cast<void*>(request.get()), static_cast<void*>(poll.get()));
  // Read the request before it becomes visible in the flow table: from then on an
  // answer naming its id may complete it on another thread.
  std::array<std::string, known_headers.size()> values;
  for (std::size_t i = 0; i < known_headers.size(); ++i)
    values[i] = request->find_header(known_headers[i]);
  const std::string location = request->get_resource();
  filestring body = request->request_data;
  const std::string flow_id = table.save_transaction(request);
  for (std::size_t i = 0; i < known_headers.size(); ++i) poll->set_header(known_headers[i], values[i]);
  poll->set_header(header_message_id, flow_id);
  poll->set_header(header_location, location);
  poll->set_header(header_method, "POST");
  poll->response_data = std::move(body);
  poll->set_status_code(200);
  UD_TRACE(40000, "%s", "completing reverse transaction");
  poll->complete();
  UD_EXIT("flow %s", flow_id.c_str());
}

void reverse_funnel::forward_request(const post_handle& request) {
  UD_ENTER("reverse_funnel::forward_request", "%p", static_cast<void*>(request.get()));
  forward_request(UD_BLOCK, request);
  UD_EXIT("%s", "");
}

void reverse_funnel::forward_request(ud_block_ref block, const post_handle& request) {
  UD_USE_BLOCK(block);
  post_handle poll;
  {
    jsFastLock guard(pairing);
    try {
      poll = tunnel_queue.dequeue();
    } catch (const empty_queue&) {
      UD_TRACE(40000, "%s", "No tunneling transaction currently available");
      UD_TRACE(40000, "%s", "queueing transaction");
      outstanding_queue.enqueue(request);
    }
  }
  if (poll) tunnel_transaction(request, poll);
}

void reverse_funnel::serve_poll(const post_handle& poll) {
  UD_ENTER("reverse_funnel::serve_poll", "%p", static_cast<void*>(poll.get()));
  serve_poll(UD_BLOCK, poll);
  UD_EXIT("%s", "");
}

void reverse_funnel::serve_poll(ud_block_ref block, const post_handle& poll) {
  UD_USE_BLOCK(block);
  post_handle request;
  {
    jsFastLock guard(pairing);
    try {
      request = outstanding_queue.dequeue();
    } catch (const empty_queue&) {
      UD_TRACE(40000, "%s", "No outstanding transaction to forward -- queueing tunnel transaction");
      tunnel_queue.enqueue(poll);
    }
  }
  if (request) tunnel_transaction(request, poll);
}

void reverse_funnel::reset_tunnel() {
  UD_ENTER("reverse_funnel::reset_tunnel", "%s", "");
  table.reset();
  std::deque<post_handle> dropped;
  {
    jsFastLock guard(pairing);
    dropped = tunnel_queue.drain();
  }
  UD_TRACE(40000, "answering %zu dropped polls", dropped.size());
  complete_all(std::move(dropped), 200);  // the time-out answer: nothing for you
  UD_EXIT("%s", "");
}

bool reverse_funnel::time_out_poll(std::time_t now) {
  UD_ENTER("reverse_funnel::time_out_poll", "now %ld", static_cast<long>(now));
  const bool released = time_out_poll(UD_BLOCK, now);
  UD_EXIT("%d", released ? 1 : 0);
  return released;
}

bool reverse_funnel::time_out_poll(ud_block_ref block, std::time_t now) {
  UD_USE_BLOCK(block);
  const std::time_t last = tunnel_queue.last_enqueue_time();
  UD_TRACE(40000, "last_enqueue_time %ld now %ld", static_cast<long>(last), static_cast<long>(now));
  if (!(now > last + when.timeout_s)) return false;  // a poll was parked recently
  post_handle poll;
  try {
    poll = tunnel_queue.dequeue();
  } catch (const empty_queue&) {
    UD_TRACE(42000, "%s", "empty queue -- no reverse tunnel transaction to timeout");
    return false;
  }
  poll->set_status_code(200);
  poll->complete();
  return true;
}

unsigned long reverse_funnel::run() {
  UD_ENTER("reverse_funnel::_doWork", "%p", static_cast<void*>(this));
  const unsigned seconds = when.sleep_ms / 1000;
  UD_TRACE(40000, "sleep_time %u", seconds);
  waitForStop(0);  // the stop event starts signalled: consume that, so the first pass sleeps
  while (!stopRequested()) {
    UD_TRACE(40000, "sleeping %u seconds", seconds);
    waitForStop(when.sleep_ms);
    UD_TRACE(40000, "awake from %u seconds", seconds);
    time_out_poll(UD_BLOCK, std::time(nullptr));
  }
  UD_EXIT("%u", 0u);
  return 0;
}

}  // namespace funneltunnel
}  // namespace qel
