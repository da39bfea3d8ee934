// qelcs-remote stopping while a poll that carries an answer is out: the host side is
// played by hand here, so that the test decides whether that poll was read.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "e2e_scripted_server.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

using scripted_host = e2e::scripted_server;

TEST(RemoteStop, AnswerOutWhenTheClientStopsIsSentAgain) {
  scripted_host host;
  e2e::local_target target;
  e2e::temp_dir dir;
  e2e::child_process remote({e2e::program_path("qelcs-remote"), "--poll", host.url("/qel/reverseConnection"),
                             "--target", target.url(), "--pollers", "1", "--status-interval", "0"},
                            dir.file("remote.out"), dir.path());
  ASSERT_NE("", host.next_request(10000)) << remote.output();  // the first poll resets
  host.answer("X-QEL-Message-Id: 7\r\nX-QEL-Location: /qel\r\nX-QEL-Method: POST\r\n", "hello");
  const std::string answer = host.next_request(10000);
  ASSERT_NE(std::string::npos, answer.find("X-QEL-Message-Id: 7")) << answer;
  // That answer has gone out but, as far as the client can tell, may not have been read:
  // the client stops now, and must send it once more before it ends.
  ASSERT_EQ(0, kill(remote.pid(), SIGTERM));
  const std::string again = host.next_request(10000);
  EXPECT_NE(std::string::npos, again.find("X-QEL-Message-Id: 7")) << again << remote.output();
  EXPECT_NE(std::string::npos, again.find("target POST /qel hello")) << again;
  host.answer("", "");  // taken: no request to carry
  EXPECT_EQ(0, remote.wait(30000)) << remote.output();
}

}  // namespace
