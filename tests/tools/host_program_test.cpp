// qelcs-host as a child process: serving with qelcs-remote and a target, the trace
// command file, and its failure reports.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <sstream>

#include "e2e_host.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

std::string url(int port, const std::string& path) { return e2e::local_url(port, path); }
std::string settings(int port) { return e2e::loopback_settings(port); }
using e2e::run_host;
using e2e::serving;

// Trace lines that are neither ENTER nor EXIT lines.
int detail_lines(const std::string& trace) {
  std::istringstream in(trace);
  int count = 0;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("ud ", 0) == 0 && line.find("\tENTER ") == std::string::npos &&
        line.find("\tEXIT ") == std::string::npos)
      ++count;
  return count;
}

}  // namespace

TEST(HostProgram, ServesCallersThroughRemoteClientToTarget) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  e2e::write_file(dir.file("host.conf"), "# host for the test\nagent-name = conf-agent\n"
                                         "listener-settings-1 = address = 127.0.0.1\\nport = " +
                                             std::to_string(port) + "\n");
  auto host = run_host({"--config", dir.file("host.conf")}, dir.path());
  ASSERT_TRUE(serving(port, *host)) << host->output();
  const auto registration = e2e::http_post(url(port, "/qel/sensor_services/management"), "");
  EXPECT_NE(std::string::npos, registration.body.find("conf-agent"));  // from the config file

  e2e::local_target target;
  e2e::child_process remote({e2e::program_path("qelcs-remote"), "--poll",
                             url(port, "/qel/reverseConnection"), "--target", target.url() + "/status/202"},
                            dir.file("remote.out"), dir.path());
  const auto result = e2e::http_post(url(port, "/qel"), "through the tunnel", {"Content-Type: text/plain"});
  EXPECT_EQ(202, result.status) << remote.output();
  EXPECT_EQ("target POST /status/202/qel through the tunnel", result.body);
  EXPECT_EQ(0, remote.stop(SIGTERM, 30000)) << remote.output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  const std::string output = host->output();
  EXPECT_NE(std::string::npos, output.find("listening on " + url(port, ""))) << output;
  EXPECT_NE(std::string::npos, output.find("SIGTERM received")) << output;
}

TEST(HostProgram, UdrcSwitchesTraceLinesOnAndNothingIsTracedWithoutIt) {
  for (const bool with_udrc : {true, false}) {
    SCOPED_TRACE(with_udrc ? "with .udrc" : "without .udrc");
    e2e::temp_dir dir;
    if (with_udrc)
      e2e::write_file(dir.file(".udrc"), "# trace the request callback\n"
                                         "enter_exit POST_request_callback 1\n"
                                         "level POST_request_callback 43000\n");
    const int port = e2e::free_port();
    auto host = run_host({"--listener-settings-1", settings(port)}, dir.path());
    ASSERT_TRUE(serving(port, *host)) << host->output();
    EXPECT_EQ(0, host->stop(SIGINT, 30000)) << host->output();
    const std::string trace = e2e::read_file(dir.file(".udout"));
    const bool traced = trace.find("ENTER POST_request_callback") != std::string::npos &&
                        trace.find("EXIT POST_request_callback returns") != std::string::npos &&
                        detail_lines(trace) > 0;
    EXPECT_EQ(with_udrc, traced) << trace;
    if (!with_udrc) {
      EXPECT_EQ(std::string::npos, trace.find("ENTER")) << trace;
      EXPECT_EQ(std::string::npos, trace.find("EXIT")) << trace;
      EXPECT_EQ(0, detail_lines(trace)) << trace;
    }
  }
}

TEST(HostProgram, ReportsLoadAndInitFailuresWithStatusText) {
  e2e::temp_dir dir;
  auto missing = run_host({"--library", dir.file("nowhere/libqelConnectionServer5.so")}, dir.path());
  EXPECT_EQ(2, missing->wait(30000));
  EXPECT_NE(std::string::npos, missing->output().find(dir.file("nowhere"))) << missing->output();

  // The failure says what the library logged (setting and line), not the status text
  // written for callers without a log.
  auto bad = run_host({"--verbose", "--listener-settings-1", "port = 1\nno_such_key = 1"}, dir.path());
  EXPECT_EQ(3, bad->wait(30000));
  const std::string output = bad->output();
  EXPECT_NE(std::string::npos,
            output.find("ERROR CS_Init failed: listener settings text 1 line 2: unknown settings key "
                        "'no_such_key' (status 0xC7210106)")) << output;
  EXPECT_EQ(std::string::npos, output.find("(the log names")) << output;
  EXPECT_NE(std::string::npos, output.find("qelcs-host: DEBUG ENTRY ")) << output;  // --verbose
  auto quiet = run_host({"--log-level", "error", "--listener-settings-1", "no_such_key = 1"}, dir.path());
  EXPECT_EQ(3, quiet->wait(30000));
  EXPECT_EQ(std::string::npos, quiet->output().find(" INFO ")) << quiet->output();
  EXPECT_NE(std::string::npos, quiet->output().find(" ERROR CS_Init failed")) << quiet->output();

  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--no-such-option", "1"}, "qelcs-host: unrecognized option '--no-such-option'"},
           {{"--agent-name"}, "option '--agent-name' requires an argument"},
           {{"--log-level", "loud"}, "expected error, warning, info or debug, got 'loud'"},
           {{"stray"}, "unexpected argument 'stray'"}}) {
    auto wrong = run_host(args, dir.path());
    EXPECT_EQ(1, wrong->wait(30000)) << message;
    EXPECT_NE(std::string::npos, wrong->output().find(message)) << wrong->output();
    EXPECT_NE(std::string::npos, wrong->output().find("Try 'qelcs-host --help'.")) << wrong->output();
  }
  auto help = run_host({"--help"}, dir.path());
  EXPECT_EQ(0, help->wait(30000));
  for (const char* option : {"--agent-version", "--listener-settings-1", "--reserved-settings",
                             "--listener-settings-2", "--agent-uuid", "--agent-name",
                             "--agent-namespace", "--dns-name", "--lmi-links", "--config",
                             "--library", "--msl-lib-path", "--sig-ext", "--verbose",
                             "--log-level", "--check-config", "--version"})
    EXPECT_NE(std::string::npos, help->output().find(option)) << option;
  for (const char* code : {"  0  ", "  1  ", "  2  ", "  3  ", "  4  "})  // every exit status
    EXPECT_NE(std::string::npos, help->output().find(code)) << code;
}

// The deployment docs/host.md shows: callers and registration on loopback, the remote
// side on an endpoint of its own with TLS and a bearer token.
TEST(HostProgram, RemoteClientPollsATlsEndpointWithBearerToken) {
  if (std::system("command -v certtool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "certtool (gnutls-bin, installed by scripts/bootstrap.sh) is missing";
  e2e::temp_dir dir;
  e2e::write_file(dir.file("cert.tmpl"), "cn = 127.0.0.1\nip_address = 127.0.0.1\nexpiration_days = 2\n"
                                         "ca\ncert_signing_key\nsigning_key\ntls_www_server\n");
  ASSERT_EQ(0, std::system(("cd " + dir.path() +
                            " && certtool --generate-privkey --key-type=ecdsa --outfile key.pem"
                            " >/dev/null 2>&1 && certtool --generate-self-signed --load-privkey"
                            " key.pem --template cert.tmpl --outfile cert.pem >/dev/null 2>&1")
                               .c_str()));
  e2e::write_file(dir.file("token"), "s3cret-token\n");
  e2e::write_file(dir.file("wrong.token"), "not-the-token\n");
  const int port = e2e::free_port();
  int tls_port = e2e::free_port();
  while (tls_port == port) tls_port = e2e::free_port();
  // Callers and registration on plain loopback HTTP, the remote side on TLS with a token.
  const std::string tls_settings =
      settings(port) + "\n[endpoint remote]\naddress = 127.0.0.1\nport = " + std::to_string(tls_port) +
      "\nresources = /qel/reverseConnection\ntls_cert_file = " + dir.file("cert.pem") +
      "\ntls_key_file = " + dir.file("key.pem") + "\nbearer_token_file = " + dir.file("token") + "\n";
  auto host = run_host({"--listener-settings-1", tls_settings}, dir.path());
  ASSERT_TRUE(serving(port, *host)) << host->output();
  const std::string poll_url = "https://127.0.0.1:" + std::to_string(tls_port) + "/qel/reverseConnection";
  // The start-up hint names the TLS endpoint with the options it needs.
  EXPECT_TRUE(e2e::wait_until([&] {
    return host->output().find("--poll " + poll_url + " --cacert " + dir.file("cert.pem") + " --token " +
                               dir.file("token") + " --target") != std::string::npos;
  }, 10000)) << host->output();

  e2e::local_target target;
  const auto remote = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> args = {e2e::program_path("qelcs-remote"), "--poll", poll_url, "--target",
                                     target.url(), "--status-interval", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<e2e::child_process>(args, dir.file(name + ".out"), dir.path());
  };
  auto verified = remote("verified", {"--cacert", dir.file("cert.pem"), "--token", dir.file("token"),
                                      "--max-requests", "1"});
  const auto result = e2e::http_post(url(port, "/qel"), "secure", {"Content-Type: text/plain"});
  EXPECT_EQ(201, result.status) << verified->output();
  EXPECT_EQ("target POST /qel secure", result.body);
  EXPECT_EQ(0, verified->wait(30000)) << verified->output();

  // An unverifiable certificate: every poll fails, named with its URL. A wrong token:
  // the client gives up after --max-auth-failures refusals in a row (exit status 3).
  // One poller each, for a time that grows with the build's slowness (TLS handshakes
  // under a sanitizer take long).
  const std::string seconds = std::to_string(e2e::settle_ms() / 200);
  auto unverified = remote("unverified", {"--token", dir.file("token"), "--duration", seconds, "--pollers", "1"});
  auto wrong_token = remote("wrong", {"--cacert", dir.file("cert.pem"), "--token",
                                      dir.file("wrong.token"), "--duration", "60", "--pollers", "1"});
  auto insecure = remote("insecure", {"--insecure", "--token", dir.file("token"), "--duration", seconds,
                                      "--pollers", "1"});
  EXPECT_EQ(0, unverified->wait(30000));
  EXPECT_EQ(3, wrong_token->wait(30000)) << wrong_token->output();
  EXPECT_NE(std::string::npos, wrong_token->output().find("refused the credentials 5 times in a row"))
      << wrong_token->output();
  EXPECT_EQ(0, insecure->wait(30000));
  EXPECT_NE(std::string::npos, unverified->output().find("poll " + poll_url + ": ")) << unverified->output();
  EXPECT_NE(std::string::npos, wrong_token->output().find("answered HTTP 40")) << wrong_token->output();
  EXPECT_EQ(std::string::npos, insecure->output().find("retrying in")) << insecure->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
}

TEST(HostProgram, WarnsWhenTheRemoteSideIsOpenWithoutTlsOrClientAuthentication) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  int open_port = e2e::free_port();
  while (open_port == port) open_port = e2e::free_port();
  auto host = run_host({"--listener-settings-1",
                        settings(port) + "\n[endpoint remote]\naddress = 0.0.0.0\nport = " +
                            std::to_string(open_port) + "\nresources = /qel/reverseConnection\n"},
                       dir.path());
  ASSERT_TRUE(serving(port, *host)) << host->output();
  EXPECT_TRUE(e2e::wait_until([&] { return host->output().find("WARNING") != std::string::npos; }, 10000));
  EXPECT_NE(std::string::npos, host->output().find("without TLS")) << host->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
  // Loopback only: nothing to warn about.
  auto quiet = run_host({"--listener-settings-1", settings(port)}, dir.path());
  ASSERT_TRUE(serving(port, *quiet)) << quiet->output();
  EXPECT_EQ(0, quiet->stop(SIGTERM, 30000));
  EXPECT_EQ(std::string::npos, quiet->output().find("WARNING")) << quiet->output();
}
