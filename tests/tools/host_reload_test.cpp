// SIGHUP on qelcs-host: a renewed certificate and a rotated bearer token take effect
// without a restart while a caller keeps waiting, a broken settings file keeps the
// running configuration, and what needs a restart is named and kept.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <thread>

#include "e2e_host.h"
#include "e2e_support.h"

namespace {

using e2e::local_url;

bool make_certificate(const e2e::temp_dir& dir, const std::string& name) {
  e2e::write_file(dir.file(name + ".tmpl"), "cn = 127.0.0.1\nip_address = 127.0.0.1\nexpiration_days = 2\n"
                                            "ca\ncert_signing_key\nsigning_key\ntls_www_server\n");
  const std::string command = "cd " + dir.path() + " && certtool --generate-privkey --key-type=ecdsa --outfile " +
                              name + ".key >/dev/null 2>&1 && certtool --generate-self-signed --load-privkey " +
                              name + ".key --template " + name + ".tmpl --outfile " + name + ".pem >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// GET /metrics on the TLS endpoint, verifying with `ca` and sending `token`.
e2e::http_result metrics(int port, const std::string& ca, const std::string& token) {
  qeltest::http_options options;
  options.method = "GET";
  options.ca_file = ca;
  options.headers = {"Authorization: Bearer " + token};
  options.timeout_ms = 10000;
  return qeltest::http_request("https://127.0.0.1:" + std::to_string(port) + "/metrics", "", options);
}

}  // namespace

TEST(HostReload, CertificateAndTokenChangeWithoutARestartWhileACallerWaits) {
  if (std::system("command -v certtool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "certtool (gnutls-bin, installed by scripts/bootstrap.sh) is missing";
  e2e::temp_dir dir;
  ASSERT_TRUE(make_certificate(dir, "old") && make_certificate(dir, "new"));
  const std::string served_cert = dir.file("served.pem"), served_key = dir.file("served.key");
  e2e::write_file(served_cert, e2e::read_file(dir.file("old.pem")));
  e2e::write_file(served_key, e2e::read_file(dir.file("old.key")));
  e2e::write_file(dir.file("token"), "old-token\n");
  const int port = e2e::free_port(), tls_port = e2e::free_port();
  const std::string settings = dir.file("listeners.conf");
  const std::string text = "address = 127.0.0.1\nport = " + std::to_string(port) +
                           "\n[endpoint remote]\naddress = 127.0.0.1\nport = " + std::to_string(tls_port) +
                           "\nresources = /qel/reverseConnection\nmetrics = on\ntls_cert_file = " + served_cert +
                           "\ntls_key_file = " + served_key + "\nbearer_token_file = " + dir.file("token") + "\n";
  e2e::write_file(settings, text);
  auto host = e2e::run_host({"--listener-settings-1", settings}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  auto caller = e2e::http_post_async(local_url(port, "/qel"), "waits", {"Content-Type: text/plain"}, 60000);
  EXPECT_EQ(200, metrics(tls_port, dir.file("old.pem"), "old-token").status);
  EXPECT_NE("", metrics(tls_port, dir.file("new.pem"), "old-token").error);  // not renewed yet
  // Renew the certificate, rotate the token, reload.
  e2e::write_file(served_cert, e2e::read_file(dir.file("new.pem")));
  e2e::write_file(served_key, e2e::read_file(dir.file("new.key")));
  e2e::write_file(dir.file("token"), "new-token\n");
  kill(host->pid(), SIGHUP);
  ASSERT_TRUE(e2e::wait_until([&] { return host->output().find("SIGHUP: reloaded") != std::string::npos; }, 20000))
      << host->output();
  EXPECT_EQ(200, metrics(tls_port, dir.file("new.pem"), "new-token").status);
  EXPECT_EQ(403, metrics(tls_port, dir.file("new.pem"), "old-token").status);
  EXPECT_NE("", metrics(tls_port, dir.file("old.pem"), "new-token").error);  // the old certificate is gone
  EXPECT_FALSE(e2e::ready_within(caller, 0));  // the waiting caller was not touched
  // A broken file changes nothing; a new port needs a restart and is kept as it was.
  e2e::write_file(settings, text + "prot = 1\n");
  kill(host->pid(), SIGHUP);
  ASSERT_TRUE(e2e::wait_until([&] { return host->output().find("not reloaded") != std::string::npos; }, 20000))
      << host->output();
  EXPECT_NE(std::string::npos, host->output().find("prot")) << host->output();
  EXPECT_EQ(200, metrics(tls_port, dir.file("new.pem"), "new-token").status);
  const int other_port = e2e::free_port();
  std::string moved = text;
  moved.replace(moved.find("port = " + std::to_string(port)), 7 + std::to_string(port).size(),
                "port = " + std::to_string(other_port));
  e2e::write_file(settings, moved);
  kill(host->pid(), SIGHUP);
  ASSERT_TRUE(e2e::wait_until([&] { return host->output().find("restart") != std::string::npos; }, 20000))
      << host->output();
  EXPECT_EQ(200, e2e::http_post(local_url(port, "/qel/sensor_services/management"), "", {}, 10000).status);
  EXPECT_FALSE(e2e::ready_within(caller, 0));
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  EXPECT_EQ(503, caller.get().status);
}
