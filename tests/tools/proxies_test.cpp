// qelcs-remote behind real proxies: a forward proxy (tinyproxy) on the poll connection
// over TLS to the host, whether named by --proxy or by https_proxy, while the target
// connection ignores every *_proxy variable; and the poll resource behind nginx with TLS
// ending there and the shipped location snippet, where idle polls of a host with
// poll_timeout = 35 get their empty answer instead of nginx's 504.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "e2e_host.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

bool have(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A self-signed certificate for 127.0.0.1 in dir/cert.pem, its key in dir/key.pem.
bool make_certificate(const e2e::temp_dir& dir) {
  e2e::write_file(dir.file("cert.tmpl"), "cn = 127.0.0.1\nip_address = 127.0.0.1\nexpiration_days = 2\n"
                                         "ca\ncert_signing_key\nsigning_key\ntls_www_server\n");
  return std::system(("cd " + dir.path() +
                      " && certtool --generate-privkey --key-type=ecdsa --outfile key.pem >/dev/null 2>&1"
                      " && certtool --generate-self-signed --load-privkey key.pem --template cert.tmpl"
                      " --outfile cert.pem >/dev/null 2>&1").c_str()) == 0;
}

int other_port(std::initializer_list<int> taken) {
  for (;;) {
    const int port = e2e::free_port();
    if (std::find(taken.begin(), taken.end(), port) == taken.end()) return port;
  }
}

// Sets environment variables for the children started in its lifetime.
class environment {
 public:
  explicit environment(const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) {
      setenv(name.c_str(), value.c_str(), 1);
      names_.push_back(name);
    }
  }
  ~environment() {
    for (const std::string& name : names_) unsetenv(name.c_str());
  }

 private:
  std::vector<std::string> names_;
};

// Counts the lines of `text` containing `part`.
int count(const std::string& text, const std::string& part) {
  std::istringstream lines(text);
  int found = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.find(part) != std::string::npos) ++found;
  return found;
}

}  // namespace

TEST(Proxies, PollsGoThroughAForwardProxyOverTlsAndTheTargetNeverDoes) {
  if (!have("tinyproxy") || !have("certtool"))
    GTEST_SKIP() << "tinyproxy or certtool (installed by scripts/bootstrap.sh) is missing";
  e2e::temp_dir dir;
  ASSERT_TRUE(make_certificate(dir));
  e2e::write_file(dir.file("token"), "pr0xied\n");
  const int callers = e2e::free_port();
  const int tls = other_port({callers});
  const int proxy_port = other_port({callers, tls});
  auto host = e2e::run_host(
      {"--listener-settings-1",
       e2e::loopback_settings(callers) + "\n[endpoint remote]\naddress = 127.0.0.1\nport = " +
           std::to_string(tls) + "\nresources = /qel/reverseConnection\ntls_cert_file = " +
           dir.file("cert.pem") + "\ntls_key_file = " + dir.file("key.pem") +
           "\nbearer_token_file = " + dir.file("token") + "\n"},
      dir.path());
  ASSERT_TRUE(e2e::serving(callers, *host)) << host->output();
  e2e::write_file(dir.file("tinyproxy.conf"), "Port " + std::to_string(proxy_port) +
                                                  "\nListen 127.0.0.1\nTimeout 120\nAllow 127.0.0.1\n"
                                                  "LogLevel Info\nMaxClients 50\n");
  e2e::child_process proxy({"/usr/bin/env", "tinyproxy", "-d", "-c", dir.file("tinyproxy.conf")},
                           dir.file("tinyproxy.out"), dir.path());
  ASSERT_TRUE(e2e::wait_until([&] { return proxy.output().find("Accepting connections") != std::string::npos; },
                              10000)) << proxy.output();
  e2e::local_target target;
  const std::string poll = "https://127.0.0.1:" + std::to_string(tls) + "/qel/reverseConnection";
  const std::string proxy_url = "http://127.0.0.1:" + std::to_string(proxy_port);
  const std::string dead = "http://127.0.0.1:9";  // nothing listens: a proxy used by mistake fails
  // One client, started with `variables` in its environment (only there: the test's own
  // calls must not see them), serves one caller.
  using variables = std::vector<std::pair<std::string, std::string>>;
  const auto serve_one = [&](const std::string& name, const std::vector<std::string>& extra,
                             const variables& values) {
    std::vector<std::string> args = {e2e::program_path("qelcs-remote"), "--poll", poll, "--target",
                                     target.url(), "--cacert", dir.file("cert.pem"), "--token",
                                     dir.file("token"), "--pollers", "1", "--max-requests", "1",
                                     "--status-interval", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::unique_ptr<e2e::child_process> remote;
    {
      environment scope(values);
      remote = std::make_unique<e2e::child_process>(args, dir.file(name + ".out"), dir.path());
    }
    const e2e::http_result answer = e2e::http_post(e2e::local_url(callers, "/qel"), name, {}, 30000);
    EXPECT_EQ(201, answer.status) << name << ": " << remote->output();
    EXPECT_EQ("target POST /qel " + name, answer.body) << name;
    EXPECT_EQ(0, remote->wait(30000)) << remote->output();
  };
  const std::string tunnel = "CONNECT 127.0.0.1:" + std::to_string(tls);
  // --proxy: the polls go through it; every *_proxy variable is ignored, on both
  // connections (the target is plain http on 127.0.0.1, which http_proxy would catch).
  serve_one("named", {"--proxy", proxy_url},
            {{"http_proxy", dead}, {"https_proxy", dead}, {"HTTPS_PROXY", dead}, {"all_proxy", dead},
             {"no_proxy", "127.0.0.1"}});
  EXPECT_GE(count(proxy.output(), tunnel), 1) << proxy.output();
  const int after_named = count(proxy.output(), tunnel);
  // No --proxy: the polls follow https_proxy; the target still ignores http_proxy.
  serve_one("environment", {}, {{"https_proxy", proxy_url}, {"http_proxy", dead}, {"all_proxy", dead}});
  EXPECT_GT(count(proxy.output(), tunnel), after_named) << proxy.output();
  const int after_environment = count(proxy.output(), tunnel);
  // --proxy none: directly, whatever the variables say.
  serve_one("direct", {"--proxy", "none"},
            {{"https_proxy", proxy_url}, {"all_proxy", proxy_url}, {"http_proxy", dead}});
  EXPECT_EQ(after_environment, count(proxy.output(), tunnel)) << proxy.output();
  EXPECT_EQ(3, target.requests());
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}

TEST(Proxies, IdlePollsThroughNginxGetTheirEmptyAnswerNever504) {
  if (!have("nginx") && access("/usr/sbin/nginx", X_OK) != 0)
    GTEST_SKIP() << "nginx (installed by scripts/bootstrap.sh) is missing";
  if (!have("certtool")) GTEST_SKIP() << "certtool (gnutls-bin) is missing";
  e2e::temp_dir dir;
  ASSERT_TRUE(make_certificate(dir));
  const int port = e2e::free_port();
  const int nginx_port = other_port({port});
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port), "--reserved-settings",
                             "poll_timeout = 35"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  // The shipped snippet, pointed at this host.
  std::string snippet = e2e::read_file(std::string(QEL_E2E_SOURCE_DIR) +
                                       "/packaging/examples/nginx-qelcs-poll.conf");
  const std::string shipped = "proxy_pass http://127.0.0.1:18081;";
  ASSERT_NE(std::string::npos, snippet.find(shipped));
  snippet.replace(snippet.find(shipped), shipped.size(),
                  "proxy_pass http://127.0.0.1:" + std::to_string(port) + ";");
  e2e::write_file(dir.file("poll.conf"), snippet);
  for (const char* folder : {"body", "proxy", "fastcgi", "uwsgi", "scgi"})
    ASSERT_EQ(0, mkdir(dir.file(folder).c_str(), 0700));
  const std::string d = dir.path() + "/";
  e2e::write_file(dir.file("nginx.conf"),
                  "daemon off;\nmaster_process off;\npid " + d + "nginx.pid;\nerror_log " + d +
                      "error.log;\nevents {}\nhttp {\n  access_log " + d + "access.log;\n"
                      "  client_body_temp_path " + d + "body;\n  proxy_temp_path " + d + "proxy;\n"
                      "  fastcgi_temp_path " + d + "fastcgi;\n  uwsgi_temp_path " + d + "uwsgi;\n"
                      "  scgi_temp_path " + d + "scgi;\n  server {\n    listen 127.0.0.1:" +
                      std::to_string(nginx_port) + " ssl;\n    ssl_certificate " + d + "cert.pem;\n"
                      "    ssl_certificate_key " + d + "key.pem;\n    include " + d + "poll.conf;\n  }\n}\n");
  const std::string nginx = have("nginx") ? "nginx" : "/usr/sbin/nginx";
  e2e::child_process proxy({"/usr/bin/env", nginx, "-p", dir.path(), "-e", dir.file("error.log"), "-c",
                            dir.file("nginx.conf")},
                           dir.file("nginx.out"), dir.path());
  ASSERT_TRUE(e2e::wait_until([&] {
    return e2e::http_get("http://127.0.0.1:" + std::to_string(nginx_port) + "/", {}, 2000).status != 0 ||
           !proxy.running();
  }, 10000)) << proxy.output() << e2e::read_file(dir.file("error.log"));
  ASSERT_TRUE(proxy.running()) << proxy.output() << e2e::read_file(dir.file("error.log"));
  // Two pollers for 76 s: every first poll is held by the host for 35 to 70 s, longer
  // than nginx's default read time-out of 60 s for some of them.
  e2e::local_target target;
  e2e::child_process remote({e2e::program_path("qelcs-remote"), "--poll",
                             "https://127.0.0.1:" + std::to_string(nginx_port) + "/qel/reverseConnection",
                             "--cacert", dir.file("cert.pem"), "--target", target.url(), "--pollers", "2",
                             "--duration", "76", "--status-interval", "0"},
                            dir.file("remote.out"), dir.path());
  const e2e::http_result answer = e2e::http_post(e2e::local_url(port, "/qel"), "via nginx", {}, 30000);
  EXPECT_EQ(201, answer.status) << remote.output();
  EXPECT_EQ(0, remote.wait(120000)) << remote.output();
  const std::string log = e2e::read_file(dir.file("access.log"));
  EXPECT_EQ(0, count(log, "\" 504 ")) << log;
  EXPECT_EQ(0, count(log, "\" 502 ")) << log;
  EXPECT_GE(count(log, "\" 200 "), 3) << log;  // the caller's request and both idle polls
  EXPECT_NE(std::string::npos, remote.output().find(" 0 poll errors")) << remote.output();
  proxy.stop(SIGTERM, 10000);
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}
