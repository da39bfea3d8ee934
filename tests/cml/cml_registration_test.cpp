// The reverse registration message: exact text, well-formedness for independent
// parsers, reading it back, invalid host texts, concurrency and the failure path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cml/cml_agent_startup_announcement.h"
#include "cml/cml_class_factory.h"
#include "cml/cml_implicit_namespaces.h"
#include "cml/cml_message.h"
#include "cml/cml_policy_node.h"
#include "cml/cml_set_site_response.h"
#include "cml/cml_uris.h"
#include "cml_test_util.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/process_set_site_message.h"

namespace qel {
namespace funneltunnel {
namespace {

const agent_info kAgent{"agent", "U-1", "urn:agent", "5.0"};
const std::string kLinks = "<LmiLinks xmlns='urn:lmi'><link href='a'/></LmiLinks>";

std::string Build(const agent_info& config, const std::string& dns, const std::string& links) {
  std::string response;
  process_set_site_message(config, dns, links, "ignored request", response);
  return response;
}

const char kExpected[] =
    "<?xml version='1.0' encoding='UTF-8' standalone='no'?>\n"
    "<qel xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'\n"
    "    xsi:schemaLocation='http://www.example.com ./schemas/Qel1_0_1.xsd\n"
    "    http://www.example.com/cml/Message ./schemas/cml/Message/Message1_0_0.xsd\n"
    "    http://www.example.com/cml/Message/AgentMessages "
    "./schemas/cml/Message/AgentMessages/AgentMessages1_0_4.xsd'\n"
    "    xmlns='http://www.example.com' schema-version='1.0.1'>\n"
    "    <cml xmlns='http://www.example.com/cml/Message' schema-version='1.0.0'>\n"
    "        <message-envelope broadcast='false' "
    "message-id='03BC0C40-1E32-4BF4-92C1-FE1E3A593FE3'>\n"
    "            <source name='Reverse Registration' "
    "namespace='http://www.example.com/cml/Palisade' agent-id='U-1'/>\n"
    "            <message-body>\n"
    "                <request>\n"
    "                    <agent-startup-announcement "
    "xmlns='http://www.example.com/cml/Message/AgentMessages' schema-version='1.0.4' "
    "request-id='F276B36C-C24F-4E02-9555-C8407C09D1C8' name='agent' agent-id='U-1' "
    "namespace='urn:agent' version='5.0'>\n"
    "                        <host-info os='' version='' ip-address='10.0.0.1'/>\n"
    "                    </agent-startup-announcement>\n"
    "                </request>\n"
    "                <response>\n"
    "                    <set-site-response "
    "xmlns='http://www.example.com/cml/Message/AgentMessages' schema-version='1.0.4' "
    "request-id=''>\n"
    "                        <set-site-response-info site-accessible='false'/>\n"
    "<LmiLinks xmlns='urn:lmi'><link href='a'/></LmiLinks>\n"
    "                    </set-site-response>\n"
    "                </response>\n"
    "            </message-body>\n"
    "        </message-envelope>\n"
    "    </cml>\n"
    "</qel>\n";

TEST(Registration, MessageTextIsExactAndStable) {
  const std::string first = Build(kAgent, "10.0.0.1", kLinks);
  EXPECT_EQ(first, kExpected);
  std::string second;
  process_set_site_message(kAgent, "10.0.0.1", kLinks, "<not xml", second);
  EXPECT_EQ(second, first);  // the request has no influence
  const std::string named = Build(kAgent, "host.example.org", "");
  EXPECT_NE(named.find("ip-address='host.example.org'/>"), std::string::npos);
  EXPECT_NE(named.find("site-accessible='false'/>\n\n"), std::string::npos);  // empty links
}

// Runs `command` with the file name appended; -1 when the tool is missing.
int RunTool(const std::string& probe, const std::string& command, const std::string& file) {
  if (std::system((probe + " >/dev/null 2>&1").c_str()) != 0) return -1;
  return std::system((command + " '" + file + "' >/dev/null 2>&1").c_str());
}

std::string WriteTemp(const std::string& name, const std::string& text) {
  std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(Registration, IndependentParsersAcceptTheMessage) {
  const std::string path = WriteTemp("registration.xml", Build(kAgent, "10.0.0.1", kLinks));
  const int xmllint = RunTool("xmllint --version", "xmllint --noout", path);
  const int python = RunTool("python3 -c 'import xml.etree.ElementTree'",
                             "python3 -c 'import sys,xml.etree.ElementTree as E; "
                             "E.parse(sys.argv[1])'",
                             path);
  if (xmllint < 0 && python < 0) GTEST_SKIP() << "neither xmllint nor python3 is installed";
  if (xmllint >= 0) {
    EXPECT_EQ(xmllint, 0);
  }
  if (python >= 0) {
    EXPECT_EQ(python, 0);
  }
}

TEST(Registration, InvalidUtf8HostTextsBecomeReplacementCharacters) {
  const agent_info bad{"ag\xffnt", "U\xc3", "urn:\xe2\x82", "5.\x80"};
  const std::string text = Build(bad, "10.0.0.\xfe", "<l>\xff</l>");
  EXPECT_NE(text.find("name='ag\xef\xbf\xbdnt'"), std::string::npos);
  EXPECT_NE(text.find("ip-address='10.0.0.\xef\xbf\xbd'"), std::string::npos);
  EXPECT_NE(text.find("<l>\xef\xbf\xbd</l>"), std::string::npos);
  const std::string path = WriteTemp("registration_bad_utf8.xml", text);
  const int xmllint = RunTool("xmllint --version", "xmllint --noout", path);
  if (xmllint < 0) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_EQ(xmllint, 0);
  const agent_info markup{"a'b<c>&", "\"", "x", "y"};
  const std::string escaped = Build(markup, "h", "");
  EXPECT_NE(escaped.find("name='a&apos;b&lt;c&gt;&amp;' agent-id='&quot;'"), std::string::npos);
}

TEST(Registration, MessageReadsBackThroughTheClassFactory) {
  prepare_set_site_message_support();
  const std::string text = Build(kAgent, "10.0.0.1", kLinks);
  auto message = cml::test::ReadAs<cml::CCmlMessage>(text);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->GetMessageId(), L"03BC0C40-1E32-4BF4-92C1-FE1E3A593FE3");
  EXPECT_EQ(message->GetSource().GetName(), L"Reverse Registration");
  ASSERT_EQ(message->GetRequests().size(), 1u);
  auto* announcement =
      dynamic_cast<cml::CAgentStartupAnnouncement*>(message->GetRequests()[0].get());
  ASSERT_NE(announcement, nullptr);
  EXPECT_EQ(announcement->GetContent().GetAgentId(), L"U-1");
  EXPECT_EQ(announcement->GetContent().GetHostInfo().GetIpAddress(), L"10.0.0.1");
  ASSERT_EQ(message->GetResponses().size(), 1u);
  auto* response = dynamic_cast<cml::CSetSiteResponse*>(message->GetResponses()[0].get());
  ASSERT_NE(response, nullptr);
  EXPECT_FALSE(response->GetSiteAccessible());
  ASSERT_EQ(response->GetPolicySourceCount(), 1u);  // the links document, kept as a node
  auto* links = dynamic_cast<cml::CPolicyNode*>(response->GetPolicySource(0));
  ASSERT_NE(links, nullptr);
  EXPECT_EQ(links->GetTagName(), L"LmiLinks");
  EXPECT_EQ(links->GetNamespace(), L"urn:lmi");
  // Written again, it reads back to the same message text.
  const std::string again = cml::test::Write(*message);
  auto reread = cml::test::ReadAs<cml::CCmlMessage>(again);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(cml::test::Write(*reread), again);
}

TEST(Registration, ConcurrentCallsGiveIdenticalAnswers) {
  const std::string expected = Build(kAgent, "10.0.0.1", kLinks);
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i) {
        if (Build(kAgent, "10.0.0.1", kLinks) != expected) ++mismatches[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

TEST(Registration, LibraryFailureBecomesTheGeneralFailure) {
  prepare_set_site_message_support();
  // A clashing implicit namespace makes the preparation step fail inside the library.
  cml::CImplicitNamespaces::Remove(cml::CNamespace(cml::uri::kAgentMessages, L""));
  cml::CImplicitNamespaces::Add(cml::CNamespace(cml::uri::kAgentMessages, L"1.0.3"));
  std::string response = "untouched";
  try {
    process_set_site_message(kAgent, "10.0.0.1", kLinks, "", response);
    FAIL() << "no exception";
  } catch (const funneltunnel_exception& e) {
    EXPECT_EQ(e.code, 0x47210047u);
    EXPECT_STREQ(e.what(),
                 "reverse_registration process_set_site_message caught Caught CCmlException");
  }
  EXPECT_EQ(response, "untouched");
  cml::CImplicitNamespaces::Remove(cml::CNamespace(cml::uri::kAgentMessages, L""));
  cml::CImplicitNamespaces::Add(cml::CNamespace(cml::uri::kAgentMessages, L"1.0.4"));
  EXPECT_EQ(Build(kAgent, "10.0.0.1", kLinks), kExpected);
}

// The builder skips registering while the registry is as it left it; a registry that
// changed since is registered again, so the registrations still hold on every call.
TEST(Registration, ChangedRegistryIsRegisteredAgain) {
  prepare_set_site_message_support();
  Build(kAgent, "10.0.0.1", kLinks);
  cml::CCmlClassFactory* factory = cml::CCmlClassFactory::GetGlobalFactory();
  factory->DeregisterDocumentClassFactory(cml::uri::kAgentMessages, L"1.0.4");
  EXPECT_EQ(factory->CreateDocument(cml::uri::kAgentMessages, L"1.0.4", L"set-site-response",
                                    cml::FactoryLookup::Exact),
            nullptr);
  EXPECT_EQ(Build(kAgent, "10.0.0.1", kLinks), kExpected);
  EXPECT_NE(factory->CreateDocument(cml::uri::kAgentMessages, L"1.0.4", L"set-site-response",
                                    cml::FactoryLookup::Exact),
            nullptr);
  prepare_set_site_message_support();
  cml::CAgentStartupAnnouncement::Register();  // the deregistration took it along
}

TEST(Registration, LinksFragmentCheck) {
  for (const char* good : {"", "plain text", "<a/><b>x</b> tail", "<?xml version='1.0'?><a/>",
                           "<!-- c --><a><![CDATA[<raw>]]></a>", "<x:a xmlns:x='urn:x'/>",
                           "\xff"}) {
    EXPECT_TRUE(is_well_formed_links_fragment(good)) << good;
  }
  for (const char* bad : {"<a>", "a & b", "</set-site-response>", "<!DOCTYPE x><x/>",
                          "<p:a/>", "<a b='1' b='2'/>", "\x01"}) {
    EXPECT_FALSE(is_well_formed_links_fragment(bad)) << bad;
  }
}

}  // namespace
}  // namespace funneltunnel
}  // namespace qel
