// Fuzz target: the flow id and status header handling of the reverse connection
// endpoint. Each input is one poll played through rce::post_processor::process on a
// funnel (fake service library, no sockets) that has one caller request out with the
// remote client. Input lines:
//   1: X-QEL-Message-Id; every '@' becomes the id of the request that is out
//   2: X-QEL-Status-Code (absent when the input has no second line)
//   3: flags; 'd' marks the poll as carrying a tunnel header twice
//   rest: the poll's body
// Whatever the headers say, the poll and the caller end exactly as the tunnel
// protocol promises, the caller's status is a final HTTP status, and after a reset
// nothing is left waiting.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fake_scs.h"
#include "fuzz/fuzz_check.h"
#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/reverse_funnel.h"

using namespace qel::funneltunnel;
using handle = std::shared_ptr<post_transaction>;

namespace {

struct poll_input {
  std::string message_id;
  std::string status;
  bool has_status = false;
  bool doubled = false;
  std::string body;
};

// The input's first `count` - 1 lines and then the rest, as far as there are lines.
std::vector<std::string> fields(const std::string& text, std::size_t count) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end;
       out.size() + 1 < count && (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    out.push_back(text.substr(start, end - start));
  }
  out.push_back(text.substr(start));
  return out;
}

poll_input read_input(const std::uint8_t* data, std::size_t size, const std::string& flow_id) {
  const auto f = fields(std::string(reinterpret_cast<const char*>(data), size), 4);
  poll_input in;
  for (char c : f[0]) in.message_id += c == '@' ? flow_id : std::string(1, c);
  in.has_status = f.size() > 1;
  if (in.has_status) in.status = f[1];
  in.doubled = f.size() > 2 && f[2].find('d') != std::string::npos;
  if (f.size() > 3) in.body = f[3];
  return in;
}

handle make_post(const std::string& resource, const std::string& body) {
  auto t = std::make_shared<post_transaction>();
  t->set_resource(resource);
  t->request_data = filestring::literal(body);
  return t;
}

handle make_poll(const poll_input& in) {
  handle p = make_post("/qel/reverseConnection", in.body);
  if (!in.message_id.empty()) p->set_header("X-QEL-Message-Id", in.message_id);
  if (in.has_status) p->set_header("X-QEL-Status-Code", in.status);
  if (in.doubled) p->mark_duplicate_tunnel_header();
  return p;
}

// One funnel for the whole run (a funnel per input would spend the time starting its
// thread). Each input leaves it as it found it: the reset at the end drains the flow
// table and both queues. Only the flow ids go on counting, which '@' hides.
struct tunnel {
  tunnel() {
    fake_scs::install();
    on = std::make_unique<listener>("", "");
    funnel = std::make_unique<reverse_funnel>(*on, table, reverse_funnel::timing{600000, 28});
    rce = std::make_unique<rce::post_processor>(funnel->connection());
  }
  flow_generator table;
  std::unique_ptr<listener> on;
  std::unique_ptr<reverse_funnel> funnel;
  std::unique_ptr<rce::post_processor> rce;
};

// One caller request, carried out to the remote client by a first poll; returns its id.
std::string send_out(reverse_funnel& funnel, rce::post_processor& rce, const handle& caller) {
  funnel.forward_request(caller);
  handle carrier = make_post("/qel/reverseConnection", "");
  rce.process(carrier);
  FUZZ_CHECK(carrier->completed() && carrier->response_data.text == "question");
  return carrier->find_header("X-QEL-Message-Id");
}

void check_outcome(const poll_input& in, const std::string& flow_id, const handle& caller,
                   const handle& poll, reverse_funnel& funnel, bool refused) {
  const std::size_t flows_left = funnel.flow_table().size();
  if (in.doubled) {
    FUZZ_CHECK(poll->completed() && poll->get_status_code() == 400);
    FUZZ_CHECK(!caller->completed() && flows_left == 1);
  } else if (in.message_id.empty()) {  // a reset
    FUZZ_CHECK(caller->completed() && flows_left == 0 && funnel.tunnel().size() == 1);
  } else if (in.message_id == join_poll) {
    FUZZ_CHECK(!caller->completed() && flows_left == 1 && funnel.tunnel().size() == 1);
    FUZZ_CHECK(poll->find_header("X-QEL-Message-Id").empty());
  } else if (in.message_id == flow_id) {
    FUZZ_CHECK(caller->completed() && flows_left == 0);
    FUZZ_CHECK(caller->get_status_code() == answer_status(in.status));
    FUZZ_CHECK(caller->get_status_code() >= 200 && caller->get_status_code() <= 599);
    FUZZ_CHECK(caller->response_data.text == in.body && funnel.tunnel().size() == 1);
  } else {
    FUZZ_CHECK(refused && !caller->completed() && flows_left == 1);
    FUZZ_CHECK(!poll->completed() && funnel.tunnel().size() == 0);
  }
  FUZZ_CHECK(refused == (!in.doubled && !in.message_id.empty() && in.message_id != join_poll &&
                         in.message_id != flow_id));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tunnel& t = *new tunnel;
  reverse_funnel& funnel = *t.funnel;
  handle caller = make_post("/qel", "question");
  const std::string flow_id = send_out(funnel, *t.rce, caller);
  const poll_input in = read_input(data, size, flow_id);
  handle poll = make_poll(in);
  bool refused = false;
  try {
    t.rce->process(poll);
  } catch (const funneltunnel_exception& e) {
    refused = std::strcmp(e.what(), "flow not found") == 0;
  }
  check_outcome(in, flow_id, caller, poll, funnel, refused);
  funnel.reset_tunnel();  // a refused poll was never taken in: its callback answers it
  FUZZ_CHECK(caller->completed() && (refused || poll->completed()) && t.table.size() == 0);
  FUZZ_CHECK(funnel.tunnel().size() == 0 && funnel.outstanding().size() == 0);
  return 0;
}
