// Both metrics pages (the host's, served by the service library, and qelcs-remote's)
// as Prometheus reads them: promtool accepts each, and each carries the build's
// version and the process figures every exporter shows. The client's listener also
// answers /healthz and takes a host name.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "e2e_host.h"
#include "e2e_support.h"
#include "qel_build_info.h"

namespace {

double sample(const std::string& page, const std::string& series) {
  std::istringstream lines(page);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(series + " ", 0) == 0) return std::stod(line.substr(series.size() + 1));
  return -1;
}

// promtool's verdict on the page: "" when it passes, else what it said.
std::string promtool_problems(const e2e::temp_dir& dir, const std::string& page) {
  e2e::write_file(dir.file("page.prom"), page);
  std::string output;
  const int code = qeltest::run_program({"sh", "-c", "promtool check metrics < " + dir.file("page.prom")}, &output);
  return code == 0 ? "" : "exit " + std::to_string(code) + ": " + output;
}

void expect_process_figures(const std::string& page) {
  EXPECT_EQ(1, sample(page, std::string("qelcs_build_info{version=\"") + QEL_VERSION + "\"}")) << page;
  EXPECT_GT(sample(page, "process_resident_memory_bytes"), 1e6) << page;
  EXPECT_GT(sample(page, "process_virtual_memory_bytes"), 1e6) << page;
  EXPECT_GE(sample(page, "process_open_fds"), 3) << page;
  EXPECT_GE(sample(page, "process_max_fds"), sample(page, "process_open_fds")) << page;
  EXPECT_GT(sample(page, "process_start_time_seconds"), 1.6e9) << page;
  EXPECT_GE(sample(page, "process_cpu_seconds_total"), 0) << page;
  EXPECT_GE(sample(page, "process_threads"), 2) << page;  // both programs run threads
}

}  // namespace

TEST(MetricsPages, BothPagesPassPromtoolWithBuildInfoAndProcessFigures) {
  if (std::system("command -v promtool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "promtool (Debian package prometheus, installed by scripts/bootstrap.sh) is missing";
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port) + "\nmetrics = on"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  // A request first, so that the library's own families have samples.
  EXPECT_EQ(200, e2e::http_post(e2e::local_url(port, "/qel/sensor_services/management"), "").status);
  const e2e::http_result host_page = e2e::http_get(e2e::local_url(port, "/metrics"));
  ASSERT_EQ(200, host_page.status);
  EXPECT_EQ("", promtool_problems(dir, host_page.body)) << host_page.body;
  expect_process_figures(host_page.body);

  // The client's page on a host name, beside its /healthz.
  auto remote = std::make_unique<e2e::child_process>(
      std::vector<std::string>{e2e::program_path("qelcs-remote"), "--poll",
                               e2e::local_url(port, "/qel/reverseConnection"), "--target", "http://127.0.0.1:9",
                               "--metrics", "localhost:0", "--status-interval", "0"},
      dir.file("remote.out"), dir.path());
  ASSERT_TRUE(e2e::wait_until([&] { return remote->output().find("metrics at http://localhost:") !=
                                           std::string::npos; }, 20000)) << remote->output();
  const std::string started = remote->output();
  const size_t at = started.find("metrics at ") + 11;
  const std::string metrics = started.substr(at, started.find('\n', at) - at);
  ASSERT_TRUE(e2e::wait_until([&] {
    return sample(e2e::http_get(metrics).body, "qelcs_remote_pollers") >= 1;
  }, 20000)) << remote->output();
  const e2e::http_result remote_page = e2e::http_get(metrics);
  EXPECT_EQ("", promtool_problems(dir, remote_page.body)) << remote_page.body;
  expect_process_figures(remote_page.body);
  const e2e::http_result health = e2e::http_get(metrics.substr(0, metrics.size() - 8) + "/healthz");
  EXPECT_EQ(200, health.status);
  EXPECT_EQ("ok\n", health.body);
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
}
