// The programs' configuration and logs as an operator meets them: qelcs-remote's own
// config file and --check-config (faults named by file, line and key; files checked as
// the service's user), SIGHUP that rotates the bearer token and keeps the running
// configuration when the file is broken, log files reopened after a rename (SIGUSR1),
// and JSON log lines that parse.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "e2e_host.h"
#include "e2e_poll_recorder.h"
#include "e2e_support.h"

namespace {

bool shows(e2e::child_process& child, const std::string& text, int timeout_ms = 20000) {
  return e2e::wait_until([&] { return child.output().find(text) != std::string::npos; }, timeout_ms);
}

bool file_shows(const std::string& path, const std::string& text, int timeout_ms = 20000) {
  return e2e::wait_until([&] { return e2e::read_file(path).find(text) != std::string::npos; }, timeout_ms);
}

std::unique_ptr<e2e::child_process> run_remote(std::vector<std::string> args, const e2e::temp_dir& dir,
                                               const std::string& name) {
  args.insert(args.begin(), e2e::program_path("qelcs-remote"));
  return std::make_unique<e2e::child_process>(args, dir.file(name + ".out"), dir.path());
}

// Runs `program --check-config` with `args`; returns the exit code, output in `text`.
int check(const std::string& program, std::vector<std::string> args, std::string& text) {
  args.insert(args.begin(), e2e::program_path(program));
  args.push_back("--check-config");
  return qeltest::run_program(args, &text);
}

// Every line of each file is one JSON object with time, level, program and message, in
// UTF-8; the program is `program`. Python's parser is the judge.
void expect_json_lines(const e2e::temp_dir& dir, const std::string& program,
                       const std::vector<std::string>& files) {
  e2e::write_file(dir.file("json_lines.py"),
                  "import json, sys\n"
                  "for path in sys.argv[2:]:\n"
                  "    with open(path, 'rb') as f:\n"
                  "        lines = f.read().split(b'\\n')\n"
                  "    assert lines[-1] == b'', path + ': no line break at the end'\n"
                  "    for n, raw in enumerate(lines[:-1], 1):\n"
                  "        line = json.loads(raw.decode('utf-8'))\n"
                  "        for key in ('time', 'level', 'program', 'message'):\n"
                  "            assert isinstance(line[key], str), (path, n, key)\n"
                  "        assert line['program'] == sys.argv[1], (path, n)\n"
                  "        assert line['level'] in ('ERROR', 'WARNING', 'INFO', 'DEBUG'), (path, n)\n"
                  "    print(path, len(lines) - 1)\n");
  std::vector<std::string> args = {"python3", dir.file("json_lines.py"), program};
  args.insert(args.end(), files.begin(), files.end());
  std::string output;
  EXPECT_EQ(0, qeltest::run_program(args, &output)) << output;
}

}  // namespace

TEST(RemoteConfig, CheckConfigNamesFileLineAndKeyAndReadsAsTheServiceUser) {
  e2e::temp_dir dir;
  e2e::write_file(dir.file("token"), "t0ken\n", 0600);
  const std::string conf = dir.file("site.conf");
  e2e::write_file(conf, "# site a\npoll = http://127.0.0.1:18081/qel/reverseConnection\n"
                        "target = http://127.0.0.1:8080\ntoken = " + dir.file("token") + "\npollers = 2\n");
  std::string text;
  EXPECT_EQ(0, check("qelcs-remote", {"--config", conf, "--pollers", "3"}, text)) << text;
  EXPECT_NE(std::string::npos, text.find("the configuration is valid")) << text;
  EXPECT_NE(std::string::npos, text.find("with 3 poller(s)")) << text;  // the command line wins
  EXPECT_NE(std::string::npos, text.find("bearer token from " + dir.file("token"))) << text;

  const std::vector<std::pair<std::string, std::string>> faults = {
      {"pollers = many\n", ":6: pollers: expected a number, got 'many'"},
      {"prxy = http://proxy:3128\n", ":6: prxy: unknown key"},
      {"POLL=http://127.0.0.1:18081/qel/reverseConnection\n", ":6: POLL: unknown key (an environment file"},
      {"proxy = socks://proxy\n", ":6: proxy: expected an http:// or https:// URL, or none"},
      {"insecure = maybe\n", ":6: insecure: expected true or false"},
      {"token = " + dir.file("absent") + "\n", ":6: token: user '"}};
  for (const auto& [line, message] : faults) {
    e2e::write_file(dir.file("bad.conf"), e2e::read_file(conf) + line);
    EXPECT_EQ(1, check("qelcs-remote", {"--config", dir.file("bad.conf")}, text)) << line;
    EXPECT_NE(std::string::npos, text.find(dir.file("bad.conf") + message)) << text;
    EXPECT_NE(std::string::npos, text.find("the configuration is not valid")) << text;
  }
  // A key only root can read passes for root and fails for the service's user.
  if (geteuid() != 0) GTEST_SKIP() << "checking as another user needs root";
  EXPECT_EQ(0, check("qelcs-remote", {"--config", conf, "--user", "root"}, text)) << text;
  EXPECT_EQ(1, check("qelcs-remote", {"--config", conf, "--user", "nobody"}, text)) << text;
  EXPECT_NE(std::string::npos, text.find(conf + ":4: token: user 'nobody' cannot read '" + dir.file("token") +
                                         "': Permission denied")) << text;
  EXPECT_EQ(1, check("qelcs-remote", {"--config", conf, "--user", "no-such-user-here"}, text)) << text;
}

// The shipped example is valid and polls where the shipped host serves the poll resource.
TEST(RemoteConfig, ShippedExamplePollsTheHostDefaultPollEndpoint) {
  std::string host_text, remote_text;
  ASSERT_EQ(0, check("qelcs-host", {}, host_text)) << host_text;
  const std::string example = std::string(QEL_E2E_SOURCE_DIR) + "/packaging/config/qelcs-remote.conf.in";
  ASSERT_EQ(0, check("qelcs-remote", {"--config", example}, remote_text)) << remote_text;
  const size_t at = remote_text.find("poll http://");
  ASSERT_NE(std::string::npos, at) << remote_text;
  const std::string poll = remote_text.substr(at + 5, remote_text.find(' ', at + 5) - at - 5);
  const std::string origin = poll.substr(0, poll.find("/qel/"));
  EXPECT_NE(std::string::npos, host_text.find("at " + origin + " serves /qel/reverseConnection")) << host_text;
}

TEST(RemoteConfig, SighupRotatesTheTokenAndKeepsTheRunningConfigurationOnErrors) {
  e2e::temp_dir dir;
  e2e::poll_recorder host;
  ASSERT_TRUE(host.running());
  const std::string conf = dir.file("remote.conf");
  const std::string base = "poll = " + host.url() + "\ntarget = http://127.0.0.1:9\npollers = 1\n"
                           "status-interval = 0\ntoken = " + dir.file("token") + "\n";
  e2e::write_file(dir.file("token"), "alpha\n");
  e2e::write_file(conf, base);
  auto remote = run_remote({"--config", conf}, dir, "remote");
  const auto carried = [&](const std::string& token) {
    for (const std::string& seen : host.authorizations())
      if (seen == "Bearer " + token) return true;
    return false;
  };
  ASSERT_TRUE(e2e::wait_until([&] { return carried("alpha"); }, 20000)) << remote->output();

  e2e::write_file(dir.file("token"), "beta\n");  // rotated in place, as a secret manager does
  kill(remote->pid(), SIGHUP);
  ASSERT_TRUE(e2e::wait_until([&] { return carried("beta"); }, 20000)) << remote->output();
  const auto after = [&](const std::string& token) {  // polls since `token` was first carried
    const std::vector<std::string> seen = host.authorizations();
    auto first = std::find(seen.begin(), seen.end(), "Bearer " + token);
    return std::vector<std::string>(first, seen.end());
  };
  for (const std::string& seen : after("beta")) EXPECT_EQ("Bearer beta", seen);
  EXPECT_TRUE(shows(*remote, "SIGHUP: configuration reloaded")) << remote->output();

  // A broken file: nothing of it applies, not even the new token.
  e2e::write_file(dir.file("token"), "gamma\n");
  e2e::write_file(conf, base + "pollers = many\n");
  kill(remote->pid(), SIGHUP);
  ASSERT_TRUE(shows(*remote, "not reloaded, the running configuration stays in force: " + conf +
                                 ":6: pollers: expected a number")) << remote->output();
  const size_t polls = host.authorizations().size();
  ASSERT_TRUE(e2e::wait_until([&] { return host.authorizations().size() >= polls + 3; }, 20000));
  for (const std::string& seen : after("beta")) EXPECT_EQ("Bearer beta", seen);

  // What cannot change while running is named and kept; the rest applies.
  e2e::write_file(conf, base + "poll = http://127.0.0.1:9/qel/reverseConnection\npollers = 2\n");
  kill(remote->pid(), SIGHUP);
  ASSERT_TRUE(shows(*remote, "WARNING SIGHUP: poll = " + host.url() + ", pollers = 1: cannot change "
                                 "without a restart")) << remote->output();
  ASSERT_TRUE(e2e::wait_until([&] { return carried("gamma"); }, 20000)) << remote->output();
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  EXPECT_EQ(std::string::npos, remote->output().find("retrying")) << remote->output();
}

TEST(RemoteConfig, LogFileReopenedAfterRenameAndJsonLinesParse) {
  e2e::temp_dir dir;
  e2e::poll_recorder host;
  const std::string log = dir.file("remote.log");
  // Quotes, a backslash, a tab, a control byte and a byte that is not UTF-8 in one line.
  const std::string odd_target = "http://127.0.0.1:9/\"q\"\\\t\x01\xff";
  auto remote = run_remote({"--poll", host.url(), "--target", odd_target, "--pollers", "1",
                            "--status-interval", "0.2", "--log-format", "json", "--log-file", log},
                           dir, "remote");
  ASSERT_TRUE(file_shows(log, "forwarding to")) << remote->output();
  EXPECT_EQ("", remote->output());  // everything goes to the file
  ASSERT_EQ(0, std::rename(log.c_str(), (log + ".1").c_str()));
  kill(remote->pid(), SIGUSR1);
  ASSERT_TRUE(file_shows(log, "SIGUSR1: log file reopened")) << remote->output();
  EXPECT_TRUE(file_shows(log, "state waiting"));  // status lines go to the new file
  // SIGHUP reopens as well.
  ASSERT_EQ(0, std::rename(log.c_str(), (log + ".2").c_str()));
  kill(remote->pid(), SIGHUP);
  ASSERT_TRUE(file_shows(log, "SIGHUP: configuration reloaded")) << remote->output();
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000));
  EXPECT_NE(std::string::npos, e2e::read_file(log).find("summary after")) << e2e::read_file(log);
  expect_json_lines(dir, "qelcs-remote", {log, log + ".1", log + ".2"});
  EXPECT_NE(std::string::npos, e2e::read_file(log + ".1").find(R"(\"q\"\\\t\u0001\ufffd)"))
      << e2e::read_file(log + ".1");
}

TEST(HostLog, LogFileReopenedOnSigusr1AndJsonLinesCarryTheFunction) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  const std::string log = dir.file("host.log");
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port), "--log-file", log,
                             "--log-format", "json"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << e2e::read_file(log);
  ASSERT_TRUE(file_shows(log, "stop with Ctrl-C"));
  ASSERT_EQ(0, std::rename(log.c_str(), (log + ".1").c_str()));
  kill(host->pid(), SIGUSR1);
  ASSERT_TRUE(file_shows(log, "SIGUSR1: log file reopened")) << host->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  EXPECT_NE(std::string::npos, e2e::read_file(log).find("\"message\":\"stopped\"")) << e2e::read_file(log);
  expect_json_lines(dir, "qelcs-host", {log, log + ".1"});
  // The libraries' lines name their function in a field of its own.
  EXPECT_NE(std::string::npos, e2e::read_file(log + ".1").find(R"("function":"LoadServiceLibrary")"));
}

TEST(HostConfig, CheckConfigReadsEveryNamedFileAsTheServiceUser) {
  if (geteuid() != 0) GTEST_SKIP() << "checking as another user needs root";
  e2e::temp_dir dir;
  e2e::write_file(dir.file("token"), "t0ken\n", 0600);
  e2e::write_file(dir.file("listeners.conf"), "port = 0\nbearer_token_file = " + dir.file("token") + "\n");
  // The library is read by the service's user too; a copy in the folder under test.
  qeltest::copy_file(e2e::library_dir() + "/libqelConnectionServer5.so", dir.file("lib.so"));
  const std::vector<std::string> args = {"--listener-settings-1", dir.file("listeners.conf"), "--library",
                                         dir.file("lib.so"), "--user"};
  std::string text;
  EXPECT_EQ(0, check("qelcs-host", {args[0], args[1], args[2], args[3]}, text)) << text;
  EXPECT_NE(std::string::npos, text.find("readable by user 'root'")) << text;
  std::vector<std::string> as_nobody = args;
  as_nobody.push_back("nobody");
  EXPECT_EQ(1, check("qelcs-host", as_nobody, text)) << text;
  EXPECT_NE(std::string::npos, text.find("endpoint 'default' bearer_token_file: user 'nobody' cannot read '" +
                                         dir.file("token") + "': Permission denied")) << text;
  e2e::write_file(dir.file("token"), "t0ken\n", 0644);
  EXPECT_EQ(1, check("qelcs-host", as_nobody, text)) << text;  // the folder itself is closed to others
  EXPECT_NE(std::string::npos, text.find("library: user 'nobody' cannot read")) << text;
  ASSERT_EQ(0, chmod(dir.path().c_str(), 0755));
  EXPECT_EQ(0, check("qelcs-host", as_nobody, text)) << text;
}
