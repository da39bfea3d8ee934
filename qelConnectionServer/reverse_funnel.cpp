#include "qelConnectionServer/reverse_funnel.h"

#include <array>
#include <chrono>
#include <exception>
#include <vector>

#include "mslLoader/mslLoaderLog.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/any_request.h"
#include "qelConnectionServer/extension_headers.h"
#include "qelConnectionServer/known_headers.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/tunnel_counters.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
namespace {

// Dead entries (claimed by a caller or poll that gave up) are swept from a queue once
// it holds at least this many elements, so a queue nobody drains cannot grow without end.
constexpr uint32_t sweep_at = 64;

bool is_claimed(const reverse_funnel::post_handle& t) { return t->claimed(); }

const char* const stopping_text = "qel: the host is stopping; try again later\n";
const char* const stopped_text = "qel: the host stopped before the remote client answered\n";
const char* const vanished_text = "qel: the remote client that took this request went away\n";

// Claims and completes each transaction with `status` and a one-line text; the number
// completed. A failure to complete one does not keep the others from being completed.
template <class Transactions>
std::size_t answer_all(Transactions transactions, uint32_t status, const std::string& text) {
  std::size_t answered = 0;
  for (auto& t : transactions) {
    if (!t->claim()) continue;
    t->set_status_code(status);
    t->set_header(header_content_type, "text/plain");
    t->response_data = filestring::literal(text);
    try {
      t->complete();
      ++answered;
    } catch (const funneltunnel_exception&) {
      // a failed semaphore post: that waiter is lost, the others are still answered
    }
  }
  return answered;
}

}  // namespace

void complete_all(std::deque<reverse_funnel::post_handle> transactions, uint32_t status) {
  UD_ENTER("complete_all", "%zu transactions status %u", transactions.size(), status);
  std::exception_ptr first;
  for (auto& t : transactions) {
    if (!t->claim()) continue;  // given up by its client, or settled elsewhere
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

reverse_funnel::options reverse_funnel::options::from(const tunnel_settings& settings,
                                                      std::shared_ptr<waiting_callers> waiting) {
  options result;
  result.when.sleep_ms = settings.poll_timeout_s * 1000;
  result.when.timeout_s = settings.poll_timeout_s;
  result.caller_timeout_s = settings.caller_timeout_s;
  result.max_waiting_callers = settings.max_waiting_callers;
  result.client_grace_s = settings.client_grace_s;
  result.forward_any_request = settings.forward_any_request;
  result.answer_later = settings.answer_later;
  if (waiting) result.waiting = std::move(waiting);
  return result;
}

reverse_funnel::reverse_funnel(listener& on, flow_generator& table)
    : reverse_funnel(on, table, options()) {}

reverse_funnel::reverse_funnel(listener& on, flow_generator& table, timing when)
    : reverse_funnel(on, table, [&] {
        options o;
        o.when = when;
        return o;
      }()) {}

reverse_funnel::reverse_funnel(listener& on, flow_generator& table, options settings)
    : jsThread("reverse_funnel timeouts", 2), on(on), table(table), config(std::move(settings)) {
  UD_ENTER("reverse_funnel::reverse_funnel", "%p", static_cast<void*>(&on));
  // The thread first: without it parked polls would never be answered, so a funnel that
  // cannot start it must not take polls at all.
  if (start() != 1) {
    UD_EXIT("%s", "reverse_funnel thread could not be started");
    throw funneltunnel_exception("reverse_funnel thread could not be started",
                                 status::CS_FUNNEL_THREAD_FAILED);
  }
  try {
    connection_endpoint.install_processors(on, reverse_connection_resource,
                                           config.answer_later ? SCS_POST_COMPLETES_LATER : 0);
  } catch (...) {
    stop(10000, true);  // the members it uses go away with this exception
    UD_EXIT("%s", "install failed");
    throw;
  }
  UD_EXIT("%s", "");
}

reverse_funnel::~reverse_funnel() {
  UD_ENTER("reverse_funnel::~reverse_funnel", "%p", static_cast<void*>(this));
  stop_serving();
  try {
    complete_all(tunnel_queue.drain(), 200);
    complete_all(outstanding_queue.drain(), 503);
    declared.release_presence_of(0);
  } catch (const funneltunnel_exception& e) {
    UD_TRACE(40000, "releasing waiting transactions failed %x %s", e.code, e.what());
  }
  UD_EXIT("%s", "");
}

void reverse_funnel::stop_serving() {
  stop(10000, true);  // the sleep ends at once on a stop request
  forwarder_endpoint.revoke_tokens();
  connection_endpoint.revoke_tokens();
}

void reverse_funnel::hand_over(reverse_funnel& successor) {
  UD_ENTER("reverse_funnel::hand_over", "%p", static_cast<void*>(&successor));
  stop_serving();  // no request reaches this funnel any more
  std::size_t moved = 0;
  for (auto& request : outstanding_queue.drain()) {
    if (request->claimed()) continue;
    successor.pair_request(UD_BLOCK, request);
    ++moved;
  }
  complete_all(tunnel_queue.drain(), 200);  // the remote client polls the successor next
  declared.release_presence_of(0);
  UD_EXIT("%zu requests moved", moved);
}

void reverse_funnel::tunnel_transaction(const post_handle& request, const post_handle& poll) {
  UD_ENTER("reverse_funnel::tunnel_transaction", "request %p poll %p",
           static_cast<void*>(request.get()), static_cast<void*>(poll.get()));
  // Read the request before it becomes visible in the flow table: from then on an
  // answer naming its id may complete it on another thread.
  std::array<std::string, known_headers.size()> values;
  for (std::size_t i = 0; i < known_headers.size(); ++i)
    values[i] = request->find_header(known_headers[i]);
  std::string location = request->get_resource();
  std::string method = "POST";
  std::string carried_headers;
  if (config.forward_any_request && accepts_any_request(*poll)) {  // the carried form
    if (!request->carried.target.empty()) location = request->carried.target;
    method = request->method();
    carried_headers = request->carried.headers;
    request->carried.reply_carried = true;
  }
  filestring body = std::move(request->request_data);  // nobody reads it once it is out
  request->set_holder(poll->holder());  // published by the flow table's lock
  const std::string flow_id = table.save_transaction(request);
  // Its caller may have given up since it was taken from the queue: then nobody will
  // take the entry out again, so do it here. The remote client still gets the request.
  if (request->note_flow(table, flow_id)) request->forget_flow();
  for (std::size_t i = 0; i < known_headers.size(); ++i) poll->set_header(known_headers[i], values[i]);
  poll->set_header(header_message_id, flow_id);
  poll->set_header(header_location, location);
  poll->set_header(header_method, method);
  if (!carried_headers.empty()) poll->response_extensions[header_headers] = std::move(carried_headers);
  poll->response_data = std::move(body);
  poll->set_status_code(200);
  UD_TRACE(40000, "%s", "completing reverse transaction");
  poll->complete();
  UD_EXIT("flow %s", flow_id.c_str());
}

void reverse_funnel::refuse(const post_handle& request, uint32_t status, const std::string& text) {
  request->claim();
  request->set_status_code(status);
  request->set_header(header_content_type, "text/plain");
  request->response_data = filestring::literal(text);
  request->complete();
}

void reverse_funnel::forward_request(const post_handle& request) {
  UD_ENTER("reverse_funnel::forward_request", "%p", static_cast<void*>(request.get()));
  forward_request(UD_BLOCK, request);
  UD_EXIT("%s", "");
}

uint32_t reverse_funnel::refusal(std::string& text) const {
  if (stop_begun.load()) {
    text = stopping_text;
    return 503;
  }
  const uint32_t bound = live.max_waiting_callers.load();
  if (bound != 0 && config.waiting->count() >= bound) {
    text = "qel: " + std::to_string(bound) +
           " callers are waiting for the remote client already; try again later\n";
    return 503;
  }
  return 0;
}

void reverse_funnel::forward_request(ud_block_ref block, const post_handle& request) {
  UD_USE_BLOCK(block);
  std::string text;
  if (stop_begun.load() && refusal(text) != 0) {
    UD_TRACE(40000, "%s", "refusing caller: the host is stopping");
    count(counters().callers_refused_stopping);
    refuse(request, 503, text);
    return;
  }
  if (config.forward_any_request) {
    if (const uint32_t status = read_carried_request(*request, text)) {
      refuse(request, status, text);
      return;
    }
  }
  const uint32_t bound = live.max_waiting_callers.load();
  std::shared_ptr<void> place = config.waiting->admit(bound);
  if (!place) {
    UD_TRACE(40000, "refusing caller: %u callers waiting", bound);
    refuse(request, 503,
           "qel: " + std::to_string(bound) + " callers are waiting for the remote client already; try again later\n");
    return;
  }
  request->hold_until_claimed(std::move(place));
  if (const uint32_t timeout = live.caller_timeout_s.load()) {
    request->set_deadline(raw_transaction::clock::now() + std::chrono::seconds(timeout));
  }
  pair_request(block, request);
}

void reverse_funnel::pair_request(ud_block_ref block, const post_handle& request) {
  UD_USE_BLOCK(block);
  post_handle poll;
  std::vector<post_handle> dead;  // released after the lock
  {
    jsFastLock guard(pairing);
    poll = take_parked_poll(request);
    if (!poll) {
      UD_TRACE(40000, "%s", "No tunneling transaction currently available");
      UD_TRACE(40000, "%s", "queueing transaction");
      outstanding_queue.enqueue(request);
      const uint32_t queued = outstanding_queue.size();
      if (queued >= sweep_at && queued > 2 * config.waiting->count())
        dead = outstanding_queue.remove_if(is_claimed);
    }
  }
  if (poll) tunnel_transaction(request, poll);
}

reverse_funnel::post_handle reverse_funnel::take_parked_poll(const post_handle& request) {
  const bool capable_only = config.forward_any_request && needs_capable_poll(*request);
  post_handle poll;
  while (tunnel_queue.take_first(
      [&](const post_handle& p) { return !capable_only || accepts_any_request(*p); }, is_claimed, poll)) {
    if (poll->claim()) return poll;  // else its client went just now
    poll.reset();
  }
  return nullptr;
}

reverse_funnel::post_handle reverse_funnel::take_queued_request(const post_handle& poll) {
  const bool capable = accepts_any_request(*poll);
  post_handle request;
  outstanding_queue.take_first(
      [&](const post_handle& r) { return capable || !needs_capable_poll(*r); }, is_claimed, request);
  return request;
}

void reverse_funnel::serve_poll(const post_handle& poll) {
  UD_ENTER("reverse_funnel::serve_poll", "%p", static_cast<void*>(poll.get()));
  serve_poll(UD_BLOCK, poll);
  UD_EXIT("%s", "");
}

void reverse_funnel::serve_poll(ud_block_ref block, const post_handle& poll) {
  UD_USE_BLOCK(block);
  post_handle request;
  bool takes_nothing = false;
  std::vector<post_handle> dead;  // released after the lock
  {
    // Stops set their flag before they take this lock to clear the queue, so a poll is
    // either parked before that or sees the flag here.
    jsFastLock guard(pairing);
    takes_nothing = stop_finished.load() || declared.is_stopping(poll->holder());
    if (!takes_nothing) request = take_queued_request(poll);
    if (!takes_nothing && !request) {
      UD_TRACE(40000, "%s", "No outstanding transaction to forward -- queueing tunnel transaction");
      poll->parked_at = std::time(nullptr);
      tunnel_queue.enqueue(poll);
      if (tunnel_queue.size() >= sweep_at) dead = tunnel_queue.remove_if(is_claimed);
    }
  }
  if (takes_nothing) {
    UD_TRACE(40000, "%s", "poll gets the empty answer: stopping");
    answer_empty(*poll);
    return;
  }
  if (!request) return;
  poll->claim();  // nobody else holds a poll that is being served
  tunnel_transaction(request, poll);
}

void reverse_funnel::apply(const tunnel_settings& settings) {
  live.caller_timeout_s.store(settings.caller_timeout_s);
  live.max_waiting_callers.store(settings.max_waiting_callers);
  live.sleep_ms.store(settings.poll_timeout_s * 1000);
  live.timeout_s.store(settings.poll_timeout_s);
  declared.set_grace(settings.client_grace_s);
}

void reverse_funnel::client_stopping(uint64_t serial) {
  UD_ENTER("reverse_funnel::client_stopping", "client %llu", static_cast<unsigned long long>(serial));
  declared.stopping(serial);
  std::vector<post_handle> parked;
  {
    jsFastLock guard(pairing);  // no request can take one of them while they go
    parked = tunnel_queue.remove_if([&](const post_handle& p) { return p->holder() == serial; });
  }
  std::size_t released = 0;
  for (auto& poll : parked) released += answer_empty(*poll) ? 1 : 0;
  declared.release_presence_of(serial);
  UD_EXIT("%zu parked polls released", released);
}

std::size_t reverse_funnel::release_vanished(remote_clients::clock::time_point now) {
  std::size_t answered = 0;
  for (const uint64_t serial : declared.gone(now)) {
    const std::size_t n = answer_all(table.release_held_by(serial), 502, vanished_text);
    if (n == 0) continue;
    answered += n;
    count(counters().callers_of_vanished_clients, n);
    QEL_LOG_LONG_AS("reverse_funnel", MSL_LOG_WARNING,
                    "a remote client went away (no poll for %u s) holding %zu requests; their "
                    "callers were answered 502",
                    declared.grace_seconds(), n);
  }
  return answered;
}

std::size_t reverse_funnel::begin_stop() {
  UD_ENTER("reverse_funnel::begin_stop", "%s", "");
  stop_begun.store(true);
  std::deque<post_handle> queued;
  {
    jsFastLock guard(pairing);  // a caller is either queued before this or refused after
    queued = outstanding_queue.drain();
  }
  const std::size_t refused = answer_all(std::move(queued), 503, stopping_text);
  count(counters().callers_refused_stopping, refused);
  UD_EXIT("%zu queued callers answered", refused);
  return refused;
}

std::size_t reverse_funnel::finish_stop() {
  UD_ENTER("reverse_funnel::finish_stop", "%s", "");
  stop_begun.store(true);
  stop_finished.store(true);
  const std::size_t unanswered = answer_all(table.release_all(), 503, stopped_text);
  std::deque<post_handle> parked, queued;
  {
    jsFastLock guard(pairing);
    parked = tunnel_queue.drain();
    queued = outstanding_queue.drain();  // a caller that passed the check as the stop began
  }
  count(counters().callers_refused_stopping, answer_all(std::move(queued), 503, stopping_text));
  for (auto& poll : parked) answer_empty(*poll);
  declared.release_presence_of(0);
  UD_EXIT("%zu requests out answered 503", unanswered);
  return unanswered;
}

void reverse_funnel::reset_tunnel() {
  UD_ENTER("reverse_funnel::reset_tunnel", "%s", "");
  join_mode.store(false);
  table.reset();
  std::deque<post_handle> dropped;
  {
    jsFastLock guard(pairing);
    dropped = tunnel_queue.drain();
  }
  UD_TRACE(40000, "answering %zu dropped polls", dropped.size());
  complete_all(std::move(dropped), 200);  // the time-out answer: nothing for you
  if (const uint32_t count = resets.record(std::time(nullptr))) {
    QEL_LOG_LONG_AS("reverse_funnel", MSL_LOG_WARNING,
                    "the reverse connection was reset %u times within a minute: two remote "
                    "clients may be polling this host and releasing each other's requests, "
                    "or a client resets on every poll",
                    count);
  }
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
  if (join_mode.load()) return release_expired_polls(UD_BLOCK, now) > 0;
  return release_one_poll(UD_BLOCK, now);
}

// The plain rule: once no poll has been parked for the time-out, the oldest one goes.
bool reverse_funnel::release_one_poll(ud_block_ref block, std::time_t now) {
  UD_USE_BLOCK(block);
  const std::time_t last = tunnel_queue.last_enqueue_time();
  UD_TRACE(40000, "last_enqueue_time %ld now %ld", static_cast<long>(last), static_cast<long>(now));
  if (!(now > last + live.timeout_s.load())) return false;  // a poll was parked recently
  post_handle poll;
  while (tunnel_queue.try_dequeue(poll)) {
    if (!poll->claim()) continue;  // its client has gone
    poll->set_status_code(200);
    poll->complete();
    return true;
  }
  UD_TRACE(42000, "%s", "empty queue -- no reverse tunnel transaction to timeout");
  return false;
}

// With parallel pollers every parked poll has its own time-out.
int reverse_funnel::release_expired_polls(ud_block_ref block, std::time_t now) {
  UD_USE_BLOCK(block);
  const auto expired = [&](const post_handle& p) {
    return p->claimed() || now > p->parked_at + live.timeout_s.load();
  };
  int released = 0;
  post_handle poll;
  while (tunnel_queue.dequeue_if(expired, poll)) {
    if (!poll->claim()) continue;
    poll->set_status_code(200);
    poll->complete();
    ++released;
  }
  UD_TRACE(42000, "%d parked polls released", released);
  return released;
}

void reverse_funnel::pass(ud_block_ref block, std::time_t now) {
  UD_USE_BLOCK(block);
  time_out_poll(UD_BLOCK, now);
  const int released = declared.release_presence(now, live.timeout_s.load());
  if (released > 0) UD_TRACE(42000, "%d presence polls released", released);
}

// A pass every sleep time, as the plain protocol has it; in between, once a second, the
// check for declared clients that have gone (it costs nothing while there are none).
unsigned long reverse_funnel::run() {
  UD_ENTER("reverse_funnel::_doWork", "%p", static_cast<void*>(this));
  using clock = std::chrono::steady_clock;
  UD_TRACE(40000, "sleep_time %u", live.sleep_ms.load() / 1000);
  waitForStop(0);  // the stop event starts signalled: consume that, so the first pass sleeps
  while (!stopRequested()) {
    const unsigned seconds = live.sleep_ms.load() / 1000;  // a reload may change it
    const auto sleep = std::chrono::milliseconds(live.sleep_ms.load());
    const auto tick = std::min<std::chrono::milliseconds>(sleep, std::chrono::seconds(1));
    UD_TRACE(40000, "sleeping %u seconds", seconds);
    const auto next_pass = clock::now() + sleep;
    for (auto now = clock::now(); now < next_pass && !stopRequested(); now = clock::now()) {
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::min<clock::duration>(tick, next_pass - now));
      waitForStop(static_cast<uint32_t>(std::max<long long>(1, wait.count())));
      if (declared.size() != 0) release_vanished(clock::now());
    }
    UD_TRACE(40000, "awake from %u seconds", seconds);
    pass(UD_BLOCK, std::time(nullptr));
  }
  UD_EXIT("%u", 0u);
  return 0;
}

}  // namespace funneltunnel
}  // namespace qel
