// The library's own pages (metrics = on): /healthz, /metrics and its counters as
// requests flow, credentials on /metrics, the access log and refused authentications.
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

// The value of the first sample of `name` whose labels contain every part of `labels`;
// -1 when there is none.
double sample(const std::string& page, const std::string& name,
              const std::vector<std::string>& labels = {}) {
  std::istringstream lines(page);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(name + "{", 0) != 0) continue;
    const std::string label_text = line.substr(0, line.rfind('}') + 1);
    bool all = true;
    for (const std::string& part : labels) all = all && label_text.find(part) != std::string::npos;
    if (all) return std::stod(line.substr(line.rfind(' ') + 1));
  }
  return -1;
}

}  // namespace

TEST_F(ScsTest, MetricsPageCountsRequestsAsTheyFlow) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nmetrics = on\naccess_log = on", "", listener));
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest& r, std::string& answer) {
              if (r.body == "hold") gate.arrive_and_wait();
              if (r.body == "accepted") SCS_SERVER_SetHttpStatus(r.handle, 202);
              answer = "answer:" + r.body;
              return r.body == "fail" ? 0xC7219999u : 0u;
            }));
  const int port = start(listener, "/in");
  const std::string in = "resource=\"/in\"";

  const http_result health = http_get(url(port, "/healthz"));
  EXPECT_EQ(200, health.status);
  EXPECT_EQ("ok\n", health.body);
  EXPECT_EQ(0, sample(http_get(url(port, "/metrics")).body, "qel_http_requests_in_flight", {in}));

  EXPECT_EQ(200, http_request(url(port, "/in"), "hello").status);
  EXPECT_EQ(202, http_request(url(port, "/in"), "accepted").status);
  EXPECT_EQ(500, http_request(url(port, "/in"), "fail").status);
  EXPECT_EQ(404, http_request(url(port, "/elsewhere"), "x").status);
  EXPECT_EQ(405, http_get(url(port, "/in")).status);
  std::vector<std::thread> held;
  for (int i = 0; i < 2; ++i) held.emplace_back([&] { http_request(url(port, "/in"), "hold"); });
  ASSERT_TRUE(gate.wait_for_arrivals(2, 10));

  const http_result page = http_get(url(port, "/metrics"));
  EXPECT_EQ(200, page.status);
  EXPECT_NE(std::string::npos, page.header("Content-Type").find("version=0.0.4"));
  const std::string& text = page.body;
  EXPECT_EQ(2, sample(text, "qel_http_requests_in_flight", {in})) << text;
  EXPECT_EQ(1, sample(text, "qel_http_requests_total", {in, "code=\"200\""})) << text;
  EXPECT_EQ(1, sample(text, "qel_http_requests_total", {in, "code=\"202\""})) << text;
  EXPECT_EQ(1, sample(text, "qel_http_requests_total", {in, "code=\"500\""})) << text;
  EXPECT_EQ(1, sample(text, "qel_http_requests_total", {in, "code=\"405\""})) << text;
  EXPECT_EQ(1, sample(text, "qel_http_refused_requests_total", {"code=\"404\""})) << text;
  EXPECT_EQ(5 + 8 + 4, sample(text, "qel_http_request_body_bytes_total", {in})) << text;
  // "answer:hello" and "answer:accepted" from the callback, the library's 500 and 405 texts.
  EXPECT_EQ(12 + 15 + 22 + 19, sample(text, "qel_http_response_body_bytes_total", {in})) << text;
  EXPECT_EQ(4, sample(text, "qel_http_request_duration_seconds_count", {in})) << text;
  EXPECT_EQ(4, sample(text, "qel_http_request_duration_seconds_bucket", {in, "le=\"+Inf\""}));
  EXPECT_LE(sample(text, "qel_http_request_duration_seconds_bucket", {in, "le=\"0.005\""}), 4);

  gate.open();
  for (std::thread& t : held) t.join();
  const std::string after = http_get(url(port, "/metrics")).body;
  EXPECT_EQ(0, sample(after, "qel_http_requests_in_flight", {in})) << after;
  EXPECT_EQ(3, sample(after, "qel_http_requests_total", {in, "code=\"200\""})) << after;
  EXPECT_EQ(6, sample(after, "qel_http_request_duration_seconds_count", {in})) << after;

  const http_result posted = http_request(url(port, "/metrics"), "");
  EXPECT_EQ(405, posted.status);
  EXPECT_EQ("GET, HEAD", posted.header("Allow"));
  EXPECT_EQ(1u, logged("\"POST /in\" 202 in=8 out=15 ms=").size());
  EXPECT_EQ(1u, logged("\"POST /elsewhere\" 404").size());
  EXPECT_EQ(1u, logged("\"GET /healthz\" 200").size());
}

TEST_F(ScsTest, MetricsAskForTheEndpointsCredentialsHealthDoesNot) {
  const std::string token = temp_file("metrics-token", "m3trics\n");
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nmetrics = yes\nbearer_token_file = " + token, "", listener));
  ASSERT_EQ(0u, serve(listener, "/in", [](const TestRequest&, std::string&) { return 0u; }));
  const int port = start(listener, "/in");
  EXPECT_EQ(200, http_get(url(port, "/healthz")).status);
  EXPECT_EQ(401, http_get(url(port, "/metrics")).status);
  EXPECT_EQ(403, http_get(url(port, "/metrics"), {"Authorization: Bearer wrong"}).status);
  const http_result page = http_get(url(port, "/metrics"), {"Authorization: Bearer m3trics"});
  EXPECT_EQ(200, page.status);
  EXPECT_EQ(1, sample(page.body, "qel_http_refused_requests_total", {"code=\"401\""})) << page.body;
  EXPECT_EQ(1, sample(page.body, "qel_http_refused_requests_total", {"code=\"403\""})) << page.body;
  // Each refusal is logged with the client's address; the access log is off here.
  EXPECT_EQ(1u, logged("with 401 (no credentials)").size());
  EXPECT_EQ(1u, logged("with 403 (wrong credentials)").size());
  EXPECT_TRUE(logged("\"GET /healthz\"").empty());

  // An endpoint without metrics has no such pages: they are unknown resources.
  std::uint32_t plain = 0;
  ASSERT_EQ(0u, add("port = 0", "", plain));
  ASSERT_EQ(0u, serve(plain, "/in", [](const TestRequest&, std::string&) { return 0u; }));
  const int plain_port = start(plain, "/in");
  EXPECT_EQ(404, http_get(url(plain_port, "/metrics")).status);
  EXPECT_EQ(404, http_get(url(plain_port, "/healthz")).status);
}

TEST_F(ScsTest, MetricsLabelsAreEscapedAndEveryEndpointIsShown) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nmetrics = on\n[endpoint side]\nport = 0\nresources = /a\"b\\c", "",
                    listener));
  ASSERT_EQ(0u, serve(listener, "/a\"b\\c", [](const TestRequest&, std::string&) { return 0u; }));
  ASSERT_EQ(0u, serve(listener, "/main", [](const TestRequest&, std::string&) { return 0u; }));
  const int side = start(listener, "/a\"b\\c");
  const int main_port = start(listener, "/main");
  EXPECT_EQ(200, http_request(url(side, "/a%22b%5Cc"), "x").status);
  const std::string page = http_get(url(main_port, "/metrics")).body;
  EXPECT_EQ(1, sample(page, "qel_http_requests_total",
                      {"endpoint=\"side\"", "resource=\"/a\\\"b\\\\c\"", "code=\"200\""}))
      << page;
  EXPECT_EQ(0, sample(page, "qel_http_requests_in_flight",
                      {"endpoint=\"default\"", "listen=\"127.0.0.1:" + std::to_string(main_port) + "\""}))
      << page;
}

namespace {

char* source_text(void* context) {
  const std::string text = *static_cast<const std::string*>(context);
  if (text == "null") return nullptr;
  if (text == "throws") throw std::runtime_error("a source that fails");
  auto* block = static_cast<char*>(SCS_Allocate(static_cast<std::uint32_t>(text.size() + 1)));
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}
char* failing_source(void* context) { return source_text(context); }

}  // namespace

TEST_F(ScsTest, MetricsSourcesAddTheirFamiliesAndAFailingOneCostsOnlyItsOwn) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nmetrics = on", "", listener));
  ASSERT_EQ(0u, serve(listener, "/x", [](const TestRequest&, std::string&) { return 0u; }));
  const int port = start(listener, "/x");
  static std::string first = "# TYPE extra_total counter\nextra_total 7";  // no final line break
  static std::string replaced = "# TYPE extra_total counter\nextra_total 8\n";
  static std::string failing = "throws";
  ASSERT_EQ(0u, SCS_SERVER_AddMetricsSource(&source_text, &first));
  ASSERT_EQ(0u, SCS_SERVER_AddMetricsSource(&failing_source, &failing));
  std::string page = http_get(url(port, "/metrics")).body;
  EXPECT_NE(std::string::npos, page.find("extra_total 7\n")) << page;
  EXPECT_NE(std::string::npos, page.find("process_open_fds")) << page;  // the rest is still there
  ASSERT_EQ(0u, SCS_SERVER_AddMetricsSource(&source_text, &replaced));  // same source: new context
  page = http_get(url(port, "/metrics")).body;
  EXPECT_NE(std::string::npos, page.find("extra_total 8\n")) << page;
  EXPECT_EQ(std::string::npos, page.find("extra_total 7")) << page;
  static std::string nothing = "null";
  ASSERT_EQ(0u, SCS_SERVER_AddMetricsSource(&source_text, &nothing));
  EXPECT_EQ(std::string::npos, http_get(url(port, "/metrics")).body.find("extra_total"));
}

TEST_F(ScsTest, SettingsErrorsNameTheirFileAndLeaveStatusTextsOut) {
  std::uint32_t handle = 0;
  EXPECT_EQ(0xC7210107u, add("port = 0\nmetrics = maybe", "", handle));
  EXPECT_FALSE(logged("'maybe' (expected on or off)").empty());
  EXPECT_EQ(0xC7210106u, SCS_SERVER_AddListenerFrom("port = 0", "/etc/qel/a.conf",
                                                    "\n# x\nprot = 1", "/etc/qel/b.conf", &handle));
  EXPECT_EQ(1u, logged("listener settings file '/etc/qel/b.conf' line 3: unknown settings key 'prot'").size());
  EXPECT_EQ(0xC7210105u, SCS_SERVER_AddListenerFrom("words", nullptr, "", nullptr, &handle));
  EXPECT_EQ(1u, logged("listener settings text 1 line 1: expected key = value").size());
  EXPECT_TRUE(logged("(the log names").empty());  // texts for callers without a log
  EXPECT_EQ(0u, SCS_SERVER_AddListenerFrom("port = 0", "", nullptr, "", &handle));
  EXPECT_NE(0u, handle);
}
