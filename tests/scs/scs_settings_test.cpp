// Listener settings: the grammar, the errors it reports, endpoints and resources, and
// listeners that share one address.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

TestHandler answer_with(const std::string& text) {
  return [text](const TestRequest&, std::string& answer) {
    answer = text;
    return 0u;
  };
}

}  // namespace

TEST_F(ScsTest, SettingsErrorsHaveTheirOwnStatusAndLogLine) {
  struct Case {
    std::string settings;
    std::uint32_t status;
    std::string logged;
  };
  const std::vector<Case> cases = {
      {"port = 0\nprot = 80", 0xC7210106u, "'prot'"},
      {"port = 70000", 0xC7210107u, "'70000'"},
      {"port = 0\naddress = localhost", 0xC7210107u, "'localhost'"},
      {"port = 0\nmax_body_size = 12k", 0xC7210107u, "'12k'"},
      {"port = 0\njust words", 0xC7210105u, "line 2"},
      {"[endpoint]\nport = 0", 0xC7210105u, "[endpoint NAME]"},
      {"port = 0\nport = 1", 0xC7210108u, "'port' given twice"},
      {"port = 0\nresources = /a", 0xC7210106u, "'resources'"},
      {"port = 0\n[endpoint side]\nresources = /a", 0xC721010Au, "'side': no 'port' given"},
      {"port = 0\ntls_cert_file = /nonexistent/cert.pem\ntls_key_file = /nonexistent/k",
       0xC7210109u, "/nonexistent/cert.pem"},
      {"port = 0\ntls_client_ca_file = /etc/hostname", 0xC721010Au, "tls_client_ca_file"},
  };
  for (const Case& c : cases) {
    std::uint32_t handle = 7;
    EXPECT_EQ(c.status, add(c.settings, "", handle)) << c.settings;
    EXPECT_EQ(0u, handle);
    EXPECT_FALSE(logged(c.logged).empty()) << c.settings;
  }
  // The catalog texts say what kind of thing is wrong.
  char text[256];
  ASSERT_EQ(0u, SCS_SERVER_GetErrorMsg(0xC7210106u, text, sizeof text));
  EXPECT_NE(std::string::npos, std::string(text).find("unknown key"));
}

TEST_F(ScsTest, PortInUseFailsTheStartAndNamesTheAddress) {
  const int busy = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, bind(busy, reinterpret_cast<sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, listen(busy, 1));
  socklen_t length = sizeof address;
  getsockname(busy, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));

  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = " + port, "", listener));
  ASSERT_EQ(0u, serve(listener, "/in", answer_with("x")));
  EXPECT_EQ(0xC721010Bu, SCS_SERVER_StartServer(listener));
  EXPECT_FALSE(logged("127.0.0.1:" + port).empty());
  close(busy);
  EXPECT_EQ(0u, SCS_SERVER_StartServer(listener));  // nothing was left half-open
}

TEST_F(ScsTest, SecondTextOverridesAndCommentsAreIgnored) {
  std::uint32_t listener = 0;
  const std::string first =
      "# caller side\n"
      "port = 1   # privileged: must be overridden\n"
      "max_body_size = 4\n";
  ASSERT_EQ(0u, add(first, "\r\n  port = 0\r\n", listener));
  ASSERT_EQ(0u, serve(listener, "/in", answer_with("x")));
  const int port = start(listener, "/in");
  EXPECT_EQ(200, http_request(url(port, "/in"), "1234").status);
  EXPECT_EQ(413, http_request(url(port, "/in"), "12345").status);
}

TEST_F(ScsTest, EndpointsServeTheResourcesTheyList) {
  std::uint32_t listener = 0;
  const std::string settings =
      "port = 0\n"
      "[endpoint side]\n"
      "port = 0\n"
      "max_body_size = 100\n"
      "resources = /side, /both\n"
      "[endpoint other]\n"
      "port = 0\n"
      "max_body_size = 200\n"
      "resources = /both\n";
  ASSERT_EQ(0u, add(settings, "", listener));
  ASSERT_EQ(0u, serve(listener, "/main", answer_with("main")));
  ASSERT_EQ(0u, serve(listener, "/side", answer_with("side")));
  ASSERT_EQ(0u, serve(listener, "/both", answer_with("both")));
  const int main_port = start(listener, "/main");
  ASSERT_EQ(1u, logged("endpoint 'side' serves /both, /side").size());
  ASSERT_EQ(1u, logged("endpoint 'other' serves /both").size());
  const int side_port = start(listener, "/side");
  EXPECT_NE(main_port, side_port);
  EXPECT_EQ("main", http_request(url(main_port, "/main"), "").body);
  EXPECT_EQ(404, http_request(url(main_port, "/side"), "").status);
  EXPECT_EQ(404, http_request(url(main_port, "/both"), "").status);
  EXPECT_EQ("side", http_request(url(side_port, "/side"), "").body);
  EXPECT_EQ("both", http_request(url(side_port, "/both"), "").body);
  EXPECT_EQ(404, http_request(url(side_port, "/main"), "").status);
}

TEST_F(ScsTest, ListenersWithEqualEndpointsShareOneServer) {
  std::uint32_t one = 0, two = 0, three = 0;
  ASSERT_EQ(0u, add("port = 0", "", one));
  ASSERT_EQ(0u, add("port = 0", "", two));
  ASSERT_EQ(0u, add("port = 0", "", three));
  ASSERT_EQ(0u, serve(one, "/one", answer_with("1")));
  const int port = start(one, "/one");
  ASSERT_EQ(0u, serve(two, "/two", answer_with("2")));
  EXPECT_EQ(port, start(two, "/two"));
  // Registering on a running listener takes effect at its next start.
  ASSERT_EQ(0u, serve(two, "/two-b", answer_with("2b")));
  EXPECT_EQ(404, http_request(url(port, "/two-b"), "").status);
  EXPECT_EQ(port, start(two, "/two-b"));
  EXPECT_EQ("2b", http_request(url(port, "/two-b"), "").body);
  // A resource belongs to one listener per address.
  ASSERT_EQ(0u, serve(three, "/one", answer_with("3")));
  EXPECT_EQ(0xC721010Eu, SCS_SERVER_StartServer(three));
  EXPECT_EQ("1", http_request(url(port, "/one"), "").body);
  // Stopping one listener leaves the shared server to the other.
  ASSERT_EQ(0u, SCS_SERVER_StopServer(one));
  EXPECT_EQ(404, http_request(url(port, "/one"), "").status);
  EXPECT_EQ("2", http_request(url(port, "/two"), "").body);
  ASSERT_EQ(0u, SCS_SERVER_RemoveListener(two));
  EXPECT_NE("", http_request(url(port, "/two"), "").error);  // the server is gone
  EXPECT_EQ(0xC7210103u, SCS_SERVER_StartServer(two));
}

TEST_F(ScsTest, CallsAreCheckedAgainstTheLibraryState) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  EXPECT_EQ(0xC7210101u, SCS_SERVER_AddListener("port = 0", "", nullptr));
  EXPECT_EQ(0xC721010Fu, serve(listener, "no-slash", answer_with("")));
  EXPECT_EQ(0xC721010Fu, serve(listener, "/with space", answer_with("")));
  EXPECT_EQ(0xC7210100u, SCS_SERVER_RegisterOnPostData(listener, "/x", 1, &test_callback, 1));
  EXPECT_EQ(0xC7210101u, SCS_SERVER_RegisterOnPostData(listener, "/x", 1, nullptr, 2));
  EXPECT_EQ(0xC7210103u, SCS_SERVER_StopServer(listener + 1));
  ASSERT_EQ(0u, SCS_SERVER_ShutDown());
  EXPECT_EQ(0xC7210102u, SCS_SERVER_AddListener("port = 0", "", &listener));
  EXPECT_EQ(0xC7210102u, SCS_SERVER_StartServer(listener));
  ASSERT_EQ(0u, SCS_SERVER_Init("5.0", "u", "n", nullptr));
  EXPECT_EQ(0u, SCS_SERVER_AddListener("port = 0", "", &listener));
}
