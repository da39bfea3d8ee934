// Operating qelcs-host and qelcs-remote: --check-config on good and bad configurations,
// bound ports and credentials in the start-up hints, metrics that move as requests
// flow, SIGHUP, log lines with time and level (or journald priorities), and the remote
// client's exit policy, metrics and reconnect line.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <cctype>
#include <sstream>

#include "e2e_host.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

using e2e::run_host;

bool shows(e2e::child_process& child, const std::string& text, int timeout_ms = 20000) {
  return e2e::wait_until([&] { return child.output().find(text) != std::string::npos; }, timeout_ms);
}

// The port of the "listening on http://127.0.0.1:PORT for LIST" line whose LIST is
// `resources` (or, with `part`, contains it); 0 when there is none.
int listening_port(const std::string& output, const std::string& resources, bool part = false) {
  const std::string mark = "listening on http://127.0.0.1:";
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find(mark), list = line.find(" for ");
    if (at == std::string::npos || list == std::string::npos) continue;
    const std::string served = line.substr(list + 5);
    if (part ? served.find(resources) != std::string::npos : served == resources)
      return std::atoi(line.c_str() + at + mark.size());
  }
  return 0;
}

// "2025-01-30T10:15:02.123+01:00 qelcs-host: LEVEL text"
bool stamped(const std::string& line) {
  const std::string shape = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd qelcs-host: ";
  if (line.size() < shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    const char c = line[i];
    const bool fits = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0
                      : shape[i] == '+' ? c == '+' || c == '-' : c == shape[i];
    if (!fits) return false;
  }
  const std::string rest = line.substr(shape.size());
  for (const char* level : {"ERROR ", "WARNING ", "INFO ", "DEBUG "})
    if (rest.rfind(level, 0) == 0) return true;
  return false;
}

double sample(const std::string& page, const std::string& series) {
  std::istringstream lines(page);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(series + " ", 0) == 0) return std::stod(line.substr(series.size() + 1));
  return -1;
}

std::unique_ptr<e2e::child_process> run_remote(const std::vector<std::string>& extra,
                                               const e2e::temp_dir& dir, const std::string& name) {
  std::vector<std::string> args = {e2e::program_path("qelcs-remote"), "--status-interval", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<e2e::child_process>(args, dir.file(name + ".out"), dir.path());
}

}  // namespace

TEST(HostOperations, CheckConfigPrintsTheEffectiveEndpointsOrNamesTheFault) {
  e2e::temp_dir dir;
  e2e::write_file(dir.file("token"), "t0ken\n");
  const int port = e2e::free_port();
  e2e::write_file(dir.file("listeners.conf"),
                  "port = " + std::to_string(port) + "\n[endpoint remote]\nport = 0\n"
                  "resources = /qel/reverseConnection\nbearer_token_file = " + dir.file("token") +
                  "\nmetrics = on\n");
  e2e::write_file(dir.file("host.conf"), "listener-settings-1 = " + dir.file("listeners.conf") +
                                             "\nreserved-settings = caller_timeout = 30\n");
  // A host serving on the same port does not disturb the check: it opens nothing.
  auto serving = run_host({"--listener-settings-1", e2e::loopback_settings(port)}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *serving)) << serving->output();
  auto good = run_host({"--config", dir.file("host.conf"), "--check-config"}, dir.path());
  EXPECT_EQ(0, good->wait(30000)) << good->output();
  const std::string text = good->output();
  EXPECT_NE(std::string::npos, text.find("the configuration is valid")) << text;
  EXPECT_NE(std::string::npos, text.find("endpoint 'default' at http://127.0.0.1:" + std::to_string(port) +
                                         " serves /qel, /qel/sensor_services/management")) << text;
  EXPECT_NE(std::string::npos, text.find("endpoint 'remote' at http://127.0.0.1:0 serves "
                                         "/qel/reverseConnection (bearer token from " + dir.file("token"))) << text;
  EXPECT_NE(std::string::npos, text.find("tunnel: caller_timeout = 30, max_waiting_callers = 512")) << text;
  EXPECT_EQ(0, serving->stop(SIGTERM, 30000));

  e2e::write_file(dir.file("bad.conf"), "# callers\nport = 18080\nprot = 1\n");
  e2e::write_file(dir.file("badhost.conf"), "agent-name = x\nlistener-settings-1\n");
  const std::vector<std::pair<std::vector<std::string>, std::string>> faults = {
      {{"--listener-settings-1", dir.file("bad.conf")},
       "listener settings file '" + dir.file("bad.conf") + "' line 3: unknown settings key 'prot'"},
      {{"--listener-settings-1", dir.file("missing.conf")},
       "no file named '" + dir.file("missing.conf") + "' exists; read as settings text"},
      {{"--listener-settings-1", "port = 1\nbearer_token_file = " + dir.file("none")},
       "file '" + dir.file("none") + "'"},
      {{"--reserved-settings", "poll_timeout = 10\ncaller_timeout = soon"},
       "reserved settings line 2: caller_timeout = soon: not a whole number"},
      {{"--listener-settings-1", "port = 1\nworkers = 2", "--reserved-settings", "answer_later = off"},
       "'default' runs 2 workers, but /qel may wait"},
      {{"--config", dir.file("badhost.conf")}, dir.file("badhost.conf") + ":2: expected 'name = value'"}};
  for (const auto& [args, message] : faults) {
    std::vector<std::string> with_check = args;
    with_check.push_back("--check-config");
    auto bad = run_host(with_check, dir.path());
    EXPECT_EQ(1, bad->wait(30000)) << message;
    EXPECT_NE(std::string::npos, bad->output().find(message)) << bad->output();
    EXPECT_EQ(std::string::npos, bad->output().find("is valid")) << bad->output();
  }
  // Callers and polls answered later wait on no worker: workers serve every resource.
  auto pooled = run_host({"--listener-settings-1", "port = 1\nworkers = 2", "--check-config"}, dir.path());
  EXPECT_EQ(0, pooled->wait(30000)) << pooled->output();
  EXPECT_NE(std::string::npos, pooled->output().find("(2 workers)")) << pooled->output();
}

TEST(HostOperations, PortZeroHintsSighupMetricsAndLogLines) {
  e2e::temp_dir dir;
  e2e::write_file(dir.file("token"), "m3trics\n");
  const std::string settings = "port = 0\naccess_log = on\n[endpoint remote]\nport = 0\n"
                               "resources = /qel/reverseConnection, /qel/sensor_services/management\n"
                               "metrics = on\nbearer_token_file = " + dir.file("token") + "\n";
  auto host = run_host({"--listener-settings-1", settings}, dir.path());
  ASSERT_TRUE(shows(*host, "stop with Ctrl-C")) << host->output();
  const std::string output = host->output();
  const int callers = listening_port(output, "/qel");
  const int remote = listening_port(output, "/qel/reverseConnection", true);
  ASSERT_GT(callers, 0) << output;
  ASSERT_GT(remote, 0) << output;
  const std::string remote_url = e2e::local_url(remote, "");
  EXPECT_NE(std::string::npos, output.find("qelcs-remote --poll " + remote_url + "/qel/reverseConnection --token " +
                                           dir.file("token") + " --target")) << output;
  EXPECT_EQ(std::string::npos, output.find(":0/")) << output;  // no hint names port 0

  // SIGHUP with the same settings reloads them: the host serves on as before.
  EXPECT_EQ(-1, host->stop(SIGHUP, 500)) << host->output();  // still running
  ASSERT_TRUE(shows(*host, "SIGHUP received")) << host->output();
  const e2e::header_lines token = {"Authorization: Bearer m3trics"};
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(200, e2e::http_post(remote_url + "/qel/sensor_services/management", "", token).status);
  EXPECT_EQ(401, e2e::http_post(remote_url + "/qel/sensor_services/management", "").status);
  EXPECT_EQ(200, e2e::http_get(remote_url + "/healthz").status);
  EXPECT_EQ(401, e2e::http_get(remote_url + "/metrics").status);
  const e2e::http_result page = e2e::http_get(remote_url + "/metrics", token);
  EXPECT_EQ(200, page.status);
  const std::string labels = "{endpoint=\"remote\",listen=\"127.0.0.1:" + std::to_string(remote) +
                             "\",resource=\"/qel/sensor_services/management\"";
  EXPECT_EQ(2, sample(page.body, "qel_http_requests_total" + labels + ",code=\"200\"}")) << page.body;
  EXPECT_EQ(2, sample(page.body, "qel_http_request_duration_seconds_count" + labels + "}")) << page.body;
  // A caller waits on /qel while no remote client runs: one request in flight.
  auto waiting = e2e::http_post_async(e2e::local_url(callers, "/qel"), "hello", {}, 30000);
  EXPECT_TRUE(e2e::wait_until([&] {
    return sample(e2e::http_get(remote_url + "/metrics", token).body,
                  "qel_http_requests_in_flight{endpoint=\"default\",listen=\"127.0.0.1:" +
                      std::to_string(callers) + "\",resource=\"/qel\"}") == 1;
  }, 10000));

  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  waiting.wait();
  const std::string log = host->output();
  EXPECT_NE(std::string::npos, log.find("refused 127.0.0.1:")) << log;
  EXPECT_NE(std::string::npos, log.find("with 401 (no credentials)")) << log;
  // Every line carries its time and level.
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) EXPECT_TRUE(stamped(line)) << line;
}

TEST(HostOperations, UnderJournaldLinesCarryPriorities) {
  e2e::temp_dir dir;
  const std::string out = dir.file("host.out");
  e2e::write_file(out, "");
  struct stat info {};
  ASSERT_EQ(0, stat(out.c_str(), &info));
  // The child's stderr is this very file: the host takes it for the journal's stream.
  setenv("JOURNAL_STREAM", (std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino)).c_str(), 1);
  auto host = run_host({"--listener-settings-1", "port = 0\nprot = 1"}, dir.path());
  unsetenv("JOURNAL_STREAM");
  EXPECT_EQ(3, host->wait(30000));
  const std::string log = host->output();
  EXPECT_NE(std::string::npos, log.find("<3>ERROR CS_Init failed: ")) << log;
  EXPECT_NE(std::string::npos, log.find("\n<6>INFO ")) << log;
  EXPECT_EQ(std::string::npos, log.find("qelcs-host: ")) << log;  // the journal adds name and time
}

TEST(RemoteOperations, UnreadableFilesAndRefusedCredentialsEndTheClient) {
  e2e::temp_dir dir;
  e2e::write_file(dir.file("token"), "right\n");
  e2e::write_file(dir.file("wrong"), "wrong\n");
  e2e::write_file(dir.file("blank"), " \n");
  const int port = e2e::free_port();
  const std::string poll = e2e::local_url(port, "/qel/reverseConnection");
  for (const auto& [option, file, message] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"--token", dir.file("absent"), "cannot read token file '" + dir.file("absent") + "'"},
           {"--token", dir.file("blank"), "token file '" + dir.file("blank") + "' holds no token"},
           {"--cacert", dir.file("absent.pem"), "cannot read CA file"}}) {
    auto remote = run_remote({"--poll", poll, "--target", "http://127.0.0.1:9", option, file}, dir, "start");
    EXPECT_EQ(2, remote->wait(10000)) << message;
    EXPECT_NE(std::string::npos, remote->output().find(message)) << remote->output();
  }
  auto bogus = run_remote({"--bogus"}, dir, "bogus");
  EXPECT_EQ(1, bogus->wait(10000));
  EXPECT_NE(std::string::npos, bogus->output().find("unrecognized option '--bogus'")) << bogus->output();

  auto host = run_host({"--listener-settings-1", e2e::loopback_settings(port) +
                                                     "\nbearer_token_file = " + dir.file("token")},
                       dir.path());
  ASSERT_TRUE(shows(*host, "stop with Ctrl-C")) << host->output();
  auto refused = run_remote({"--poll", poll, "--target", "http://127.0.0.1:9", "--token", dir.file("wrong"),
                             "--pollers", "1", "--max-auth-failures", "3", "--max-backoff", "0.2"},
                            dir, "refused");
  EXPECT_EQ(3, refused->wait(30000)) << refused->output();
  EXPECT_NE(std::string::npos, refused->output().find("refused the credentials 3 times in a row"))
      << refused->output();
  // With the limit off, the client keeps trying until its run ends.
  auto patient = run_remote({"--poll", poll, "--target", "http://127.0.0.1:9", "--token", dir.file("wrong"),
                             "--pollers", "1", "--max-auth-failures", "0", "--max-backoff", "0.2",
                             "--duration", "2"},
                            dir, "patient");
  EXPECT_EQ(0, patient->wait(30000)) << patient->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}

TEST(RemoteOperations, MetricsAndReconnectLine) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  e2e::local_target target;
  // The client starts before its host: its polls fail until the host is up.
  auto remote = run_remote({"--poll", e2e::local_url(port, "/qel/reverseConnection"), "--target",
                            target.url(), "--pollers", "1", "--max-backoff", "0.5", "--metrics",
                            "127.0.0.1:0", "--log-level", "debug"},
                           dir, "remote");
  ASSERT_TRUE(shows(*remote, "retrying in")) << remote->output();
  const std::string started = remote->output();
  const size_t at = started.find("metrics at http://127.0.0.1:");
  ASSERT_NE(std::string::npos, at) << started;
  const std::string metrics = started.substr(at + 11, started.find('\n', at) - at - 11);
  ASSERT_EQ("/metrics", metrics.substr(metrics.size() - 8)) << metrics;
  EXPECT_EQ(0, sample(e2e::http_get(metrics).body, "qelcs_remote_pollers_connected"));

  auto host = run_host({"--listener-settings-1", e2e::loopback_settings(port)}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  const e2e::http_result answer = e2e::http_post(e2e::local_url(port, "/qel"), "x", {}, 30000);
  EXPECT_EQ(201, answer.status) << remote->output();
  EXPECT_TRUE(shows(*remote, "reconnected after ")) << remote->output();
  EXPECT_TRUE(shows(*remote, " answered 201 in ")) << remote->output();  // debug: one line a request
  const std::string page = e2e::http_get(metrics).body;
  EXPECT_EQ(1, sample(page, "qelcs_remote_forwarded_total")) << page;
  EXPECT_EQ(1, sample(page, "qelcs_remote_pollers_connected")) << page;
  EXPECT_GE(sample(page, "qelcs_remote_poll_errors_total"), 1) << page;
  EXPECT_GT(sample(page, "qelcs_remote_last_successful_poll_timestamp_seconds"), 1.6e9) << page;
  EXPECT_EQ(404, e2e::http_get(metrics.substr(0, metrics.size() - 8) + "/other").status);
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}
