// Compound messages, requests, responses, policies and agent information: element
// formats, round trips through the class factory, and failure cases.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "cml/cml_agent_startup_announcement.h"
#include "cml/cml_avp_sections.h"
#include "cml/cml_class_factory.h"
#include "cml/cml_group_settings.h"
#include "cml/cml_message.h"
#include "cml/cml_module_info.h"
#include "cml/cml_name_value_pair.h"
#include "cml/cml_policy_document_text.h"
#include "cml/cml_policy_node.h"
#include "cml/cml_response.h"
#include "cml/cml_set_site_request.h"
#include "cml/cml_set_site_response.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_status_text.h"
#include "cml/cml_xerces.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"
#include "cml_test_util.h"
#include "qelConnectionServer/process_set_site_message.h"

namespace qel {
namespace cml {
namespace {

using test::CodeOf;
using test::ReadAs;
using test::Write;

const std::string kBase = "http://www.example.com";
const std::string kAgentNs = kBase + "/cml/Message/AgentMessages";

class Messages : public ::testing::Test {
 protected:
  void SetUp() override { qel::funneltunnel::prepare_set_site_message_support(); }
};

std::string Element(const CCmlDocumentBase& d, unsigned level) {
  std::ostringstream os;
  d.SerializeElement(os, level);
  return os.str();
}

// Reads `text` back and checks that writing the result gives `text` again.
template <class T>
std::unique_ptr<T> RoundTrip(const std::string& text) {
  std::unique_ptr<T> back = ReadAs<T>(text);
  EXPECT_NE(back, nullptr) << text;
  if (back) {
    EXPECT_EQ(Write(*back), text);
  }
  return back;
}

TEST_F(Messages, EnvelopeWithContainersAndAddressing) {
  CCmlMessage message;
  message.SetMessageId(L"M1");
  message.SetResponseTo(L"M0");
  message.SetBroadcast(true);
  CAgentInfo source(L"anything");
  source.SetName(L"a<b");
  source.SetAgentId(L"id-1");
  source.AddAgentGroup(L"g1");
  message.SetSource(source);
  CAgentInfo destination(vocab::kDestination);
  destination.SetIpAddress(L"10.1.1.1");
  message.GetDestinations().push_back(destination);
  EXPECT_EQ(message.GetSource().GetTag(), L"source");
  auto response = std::make_unique<CSetSiteResponse>();
  response->SetCode(0x47210047u);
  response->SetText(L"x'y");
  message.AddResponse(response.release());
  std::string text = Write(message);
  EXPECT_NE(text.find("<message-envelope broadcast='true' message-id='M1' response-to='M0'>"),
            std::string::npos);
  EXPECT_NE(text.find("<source name='a&lt;b' agent-id='id-1'>"), std::string::npos);
  EXPECT_NE(text.find("code='0x47210047' text='x&apos;y'>"), std::string::npos);
  EXPECT_EQ(text.find("<request>"), std::string::npos);  // no requests, no container
  RoundTrip<CCmlMessage>(text);  // the values: the generated round trips
  EXPECT_EQ(CodeOf([&] { message.AddRequest(static_cast<CMessageBase*>(nullptr)); }),
            0xC7210003u);
}

TEST_F(Messages, EmptyBodyAndDefaultAttributes) {
  CCmlMessage message;
  std::string text = Write(message);
  EXPECT_NE(text.find("<message-body>\n            </message-body>"), std::string::npos);
  CSetSiteRequest request;
  EXPECT_EQ(Element(request, 0),
            "<set-site-request xmlns='" + kAgentNs + "' schema-version='1.0.4' request-id=''>\n"
            "    <set-site-request-info set-site='true' override-site='false'/>\n"
            "</set-site-request>\n");
  request.SetNeedReply(false);
  EXPECT_NE(Element(request, 0).find("request-id='' need-reply='false'>"), std::string::npos);
  bool previous = SetWriteDefaults(true);
  request.SetNeedReply(true);
  EXPECT_NE(Element(request, 0).find("need-reply='true'"), std::string::npos);
  CSetSiteResponse response;
  EXPECT_NE(Element(response, 0).find("request-id='' code='0x0'>"), std::string::npos);
  SetWriteDefaults(previous);
  EXPECT_EQ(Element(response, 1),
            "    <set-site-response xmlns='" + kAgentNs +
                "' schema-version='1.0.4' request-id=''>\n"
                "        <set-site-response-info site-accessible='false'/>\n"
                "    </set-site-response>\n");
}

TEST_F(Messages, SetSitePoliciesInForeignNamespacesAreKeptVerbatim) {
  const std::string xml =
      "<set-site-request xmlns='" + kAgentNs + "' schema-version='1.0.4' request-id='R' "
      "need-reply='false'><set-site-request-info set-site='TRUE' override-site='true'/>"
      "<policy xmlns='" + kBase + "/cml/CommonDocuments/GroupSettings' schema-version='2.3.3' "
      "name='gs' valid='true'><item k='v &amp; w'/></policy><x:p xmlns:x='urn:foreign'/>"
      "<ignored/></set-site-request>";
  auto request = ReadAs<CSetSiteRequest>(xml);
  ASSERT_NE(request, nullptr);
  EXPECT_FALSE(request->GetSetSite());  // only "true" counts
  EXPECT_TRUE(request->GetOverrideSite());
  EXPECT_FALSE(request->GetNeedReply());
  ASSERT_EQ(request->GetPolicySourceCount(), 2u);
  CPolicySource* gs = request->GetPolicySource(0);
  EXPECT_EQ(gs->GetPolicySourceType(), kPolicyNode);
  EXPECT_EQ(gs->GetPolicyName(), L"gs");
  EXPECT_TRUE(gs->IsValid());
  EXPECT_EQ(CodeOf([&] { request->GetPolicySource(2); }), 0xC738000Bu);
  const std::string element = Element(*request, 0);
  // Namespace declarations first, then the attributes in the order of the DOM map.
  EXPECT_NE(element.find("    <policy xmlns='" + kBase +
                         "/cml/CommonDocuments/GroupSettings' "
                         "name='gs' schema-version='2.3.3' valid='true'>\n"
                         "        <item k='v &amp; w'/>\n    </policy>\n"
                         "    <x:p xmlns:x='urn:foreign'/>\n"),
            std::string::npos)
      << element;
  // Storing group settings on a request pins its version; on a response it does not.
  auto node = std::make_unique<CPolicyNode>(static_cast<CPolicyNode&>(*gs).GetElement());
  node->SetSchemaVersion(L"2.3.1");
  request->SetPolicySource(0, std::move(node));
  EXPECT_EQ(request->GetPolicySource(0)->GetSchemaVersion(), L"2.3.3");
  CSetSiteResponse response;
  response.AddPolicySourceCopy(*request->GetPolicySource(1));
  auto gs2 = std::make_unique<CCmlGroupSettings>();
  gs2->SetSchemaVersion(L"2.3.1");
  response.SetPolicySource(0, std::move(gs2));
  EXPECT_EQ(response.GetPolicySource(0)->GetSchemaVersion(), L"2.3.1");
  EXPECT_EQ(CodeOf([&] { response.SetPolicySource(1, nullptr); }), 0xC738000Bu);
  // Whole messages carrying them round-trip.
  CCmlMessage message;
  message.AddRequestCopy(*request);
  RoundTrip<CCmlMessage>(Write(message));
}

TEST_F(Messages, PolicyDocumentTextAndNamespaceConflicts) {
  CPolicyDocumentText doc(L"LmiLinks", uri::kAgentMessages, L"1.0.1",
                          L"<?xml version='1.0'?><a>&amp;<b/></a>", L"", L"");
  EXPECT_EQ(doc.GetText(), L"<a>&amp;<b/></a>");
  EXPECT_EQ(Element(doc, 3), "<a>&amp;<b/></a>\n");
  doc.AddNamespace(L"urn:extra", L"1");
  doc.AddNamespace(L"urn:extra", L"1");
  EXPECT_EQ(CodeOf([&] { doc.AddNamespace(L"urn:extra", L"2"); }), 0xC738000Eu);
  CCmlMessage message;
  message.AddRequest(new CAgentStartupAnnouncement());
  auto response = std::make_unique<CSetSiteResponse>();
  response->AddPolicySourceCopy(doc);
  message.AddResponse(response.release());
  try {
    Write(message);
    FAIL() << "1.0.1 and 1.0.4 of one namespace must conflict";
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC738000Eu);
    EXPECT_EQ(e.GetOperation(), L"Constructing CmlMessage namespace object");
  }
  CCmlGroupSettings policy;
  policy.SetPolicyName(L"n&m");
  policy.SetValid(false);
  EXPECT_EQ(Element(policy, 0), "<policy xmlns='" + kBase +
                                    "/cml/CommonDocuments/GroupSettings' schema-version='2.3.3' "
                                    "name='n&amp;m' valid='false'/>\n");
  auto back = RoundTrip<CCmlGroupSettings>(Write(policy));
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->IsValid());
  auto valid = ReadAs<CCmlGroupSettings>("<policy xmlns='" + kBase +
                                         "/cml/CommonDocuments/GroupSettings' schema-version='2.3.3' valid='no'/>");
  ASSERT_NE(valid, nullptr);
  EXPECT_TRUE(valid->IsValid());
}

TEST_F(Messages, AnnouncementContentAttributesAndRecords) {
  CAgentStartupAnnouncement a;
  a.SetRequestId(L"R1");
  CAgentInfoContent& c = a.GetContent();
  c.SetName(L"n");
  c.SetAgentId(L"id");
  c.SetAgentNamespace(L"urn:a");
  c.SetVersion(L"1");
  c.SetAgentStatus(0xC7210001u);
  c.SetSendNewSchemas(false);
  c.SetPersistentConnection(kTriTrue);
  c.SetReverseConnection(kTriFalse);
  c.SetTqeStatus(7);
  c.GetHostInfo().SetHostName(L"h");
  c.GetContentDates().emplace_back(L"i<d", L"2024");
  c.GetModules().emplace_back(L"m", L"2", 0xC738000Bu);
  c.GetUpdates().emplace_back(L"m", L"", L"3");
  c.SetCopyrightInfo(L"(c) a&b");
  std::string text = Element(a, 0);
  EXPECT_NE(text.find("agent-status='0xc7210001' status-text='" +
                      ToUtf8(EscapeAttributeValue(StatusText(0xC7210001u))) + "'"),
            std::string::npos);
  EXPECT_FALSE(StatusText(0xC7210001u).empty());
  EXPECT_NE(text.find("send-new-schemas='false' tqe-status='7' persistent-connection='true' "
                      "reverse-connection='false'>"),
            std::string::npos);
  EXPECT_NE(text.find("    <host-info os='' version='' host-name='h'/>\n"
                      "    <content-date-list>\n"
                      "        <content-date identity='i&lt;d' date='2024'/>\n"),
            std::string::npos);
  EXPECT_NE(text.find("<update module='m' version='3'/>"), std::string::npos);
  EXPECT_NE(text.find("<copyright-info>(c) a&amp;b</copyright-info>"), std::string::npos);
  RoundTrip<CAgentStartupAnnouncement>(Write(a));
  EXPECT_EQ(CodeOf([&] { a.GetContent().GetContentDate(1); }), 0xC738000Bu);
}

// Attributes at their default values are written only with the write-defaults switch
// on; the indent width sets every level's indentation.
TEST_F(Messages, WriteDefaultsSwitchAndIndentWidth) {
  test::CSettingsGuard settings;
  CCmlGroupSettings policy;
  CAgentStartupAnnouncement announcement;
  CAgentInfoContent& content = announcement.GetContent();
  SetWriteDefaults(false);
  EXPECT_EQ(Element(policy, 0).find("valid="), std::string::npos);
  std::string text = Element(announcement, 0);
  EXPECT_EQ(text.find("use-local-settings="), std::string::npos);
  EXPECT_EQ(text.find("send-new-schemas="), std::string::npos);
  policy.SetValid(false);
  content.SetUseLocalSettings(true);
  content.SetSendNewSchemas(false);
  EXPECT_NE(Element(policy, 0).find(" valid='false'"), std::string::npos);
  text = Element(announcement, 0);
  EXPECT_NE(text.find(" use-local-settings='true'"), std::string::npos);
  EXPECT_NE(text.find(" send-new-schemas='false'"), std::string::npos);
  policy.SetValid(true);
  content.SetUseLocalSettings(false);
  content.SetSendNewSchemas(true);
  SetWriteDefaults(true);
  EXPECT_NE(Element(policy, 0).find(" valid='true'"), std::string::npos);
  text = Element(announcement, 0);
  EXPECT_NE(text.find(" use-local-settings='false'"), std::string::npos);
  EXPECT_NE(text.find(" send-new-schemas='true'"), std::string::npos);
  SetWriteDefaults(false);

  SetIndentWidth(2);
  EXPECT_EQ(Element(announcement, 1).substr(0, 29), "  <agent-startup-announcement");
  EXPECT_NE(Element(announcement, 1).find("\n    <host-info "), std::string::npos);
  CCmlMessage message;
  message.AddRequestCopy(announcement);
  text = Write(message);
  EXPECT_NE(text.find("\n  <cml "), std::string::npos);
  EXPECT_NE(text.find("\n    <message-envelope "), std::string::npos);
  EXPECT_NE(text.find("\n            <host-info "), std::string::npos);  // level 6
  SetIndentWidth(0);
  EXPECT_NE(Write(message).find("\n<host-info "), std::string::npos);
}

// The assignment operations replace everything the target held (they are not the
// copy constructors: the targets exist with values of their own) and copy deeply.
TEST_F(Messages, AssignOperationsReplaceWhatTheTargetHeld) {
  CSetSiteResponse response;
  response.SetRequestId(L"x");
  response.SetCode(0x47210047u);
  response.SetText(L"t");
  response.SetSiteAccessible(true);
  response.AddPolicySourceCopy(
      CPolicyDocumentText(L"l", L"urn:l", L"1.0.0", L"<l xmlns='urn:l'/>", L"n", L"1"));
  CSetSiteResponse targetResponse;
  targetResponse.AddPolicySourceCopy(CCmlGroupSettings());
  targetResponse.AssignSetSiteResponse(response);
  EXPECT_EQ(Element(targetResponse, 0), Element(response, 0));
  EXPECT_NE(targetResponse.GetPolicySource(0), response.GetPolicySource(0));

  CSetSiteRequest request;
  request.SetRequestId(L"r");
  request.SetNeedReply(false);
  request.SetSetSite(false);
  request.SetOverrideSite(true);
  request.AddPolicySourceCopy(CCmlGroupSettings());
  CSetSiteRequest targetRequest;
  targetRequest.SetNamespace(uri::kCml);
  targetRequest.AssignSetSiteRequest(request);
  EXPECT_EQ(Element(targetRequest, 0), Element(request, 0));

  CAgentStartupAnnouncement announcement;
  announcement.GetContent().SetName(L"n");
  announcement.GetContent().GetModules().emplace_back(L"m", L"1", 0u);
  CAgentStartupAnnouncement targetAnnouncement;
  targetAnnouncement.GetContent().SetCopyrightInfo(L"old");
  targetAnnouncement.AssignAnnouncement(announcement);
  EXPECT_EQ(Element(targetAnnouncement, 0), Element(announcement, 0));

  CPolicyDocumentText text(L"d", L"urn:d", L"2.0.0", L"<d/>", L"name", L"3");
  text.AddNamespace(L"urn:extra", L"1.0.0");
  CPolicyDocumentText targetText(L"o", L"urn:o", L"1.0.0", L"<o/>", L"", L"");
  targetText.AssignDocumentText(text);
  EXPECT_EQ(targetText.GetTagName(), L"d");
  EXPECT_EQ(targetText.GetNamespace(), L"urn:d");
  EXPECT_EQ(targetText.GetInstanceSchemaVersion(), L"2.0.0");
  EXPECT_EQ(targetText.GetText(), L"<d/>");
  EXPECT_EQ(targetText.GetPolicyName(), L"name");
  EXPECT_EQ(targetText.GetPolicyVersion(), L"3");
  EXPECT_EQ(targetText.GetNamespaceSet().size(), 1u);

  CCmlGroupSettings policy;
  policy.SetPolicyName(L"p");
  policy.SetPolicyVersion(L"2");
  policy.SetOverwrite(true);
  policy.SetValid(false);
  CCmlGroupSettings targetPolicy;
  targetPolicy.SetNamespace(uri::kGroupSettings);
  targetPolicy.AssignPolicy(policy);
  EXPECT_EQ(Element(targetPolicy, 0), Element(policy, 0));

  CCmlMessage message;
  message.SetSchemaVersion(L"1.0.0");
  message.SetMessageId(L"m");
  message.SetResponseTo(L"p");
  message.SetBroadcast(true);
  message.GetDestinations().emplace_back(vocab::kDestination);
  message.AddRequestCopy(announcement);
  message.AddResponseCopy(response);
  message.ApplyMessageLayerToChildren();
  CCmlMessage targetMessage;
  targetMessage.AddRequestCopy(request);
  targetMessage.AddRequestCopy(request);
  targetMessage.Assign(message);
  EXPECT_EQ(Write(targetMessage), Write(message));
  ASSERT_EQ(targetMessage.GetRequests().size(), 1u);
  EXPECT_NE(targetMessage.GetRequests()[0].get(), message.GetRequests()[0].get());
  message.GetRequests()[0]->SetRequestId(L"changed later");
  EXPECT_EQ(targetMessage.GetRequests()[0]->GetRequestId(), L"");
  targetMessage.Assign(targetMessage);  // itself: nothing changes
  EXPECT_EQ(targetMessage.GetRequests().size(), 1u);
}

// Reading replaces what an object held: the same element read twice into one
// announcement gives the object read once; a sparse element leaves nothing behind.
TEST_F(Messages, ReadingTheSameContentObjectTwice) {
  CAgentStartupAnnouncement a;
  CAgentInfoContent& c = a.GetContent();
  c.SetName(L"n");
  c.GetHostInfo().SetHostName(L"h");
  c.GetSchemas().emplace_back(L"s", L"urn:s", L"1.0.0");
  c.GetContentDates().emplace_back(L"i", L"2024");
  c.GetModules().emplace_back(L"m", L"2", 0xC738000Bu);
  c.GetUpdates().emplace_back(L"m", L"t", L"3");
  c.SetCopyrightInfo(L"(c)");
  c.SetPatentInfo(L"p");
  CPolicyDocumentText links(L"links", L"urn:links", L"", L"<links xmlns='urn:links'/>", L"", L"");
  c.AddPolicySourceCopy(links);
  const std::string text = Element(a, 0);
  CCmlParser parser;
  parser.Parse(text.data(), text.size(), kParseNoValidation);
  CAgentStartupAnnouncement read;
  read.Deserialize(parser.GetDocumentElement());
  const std::string once = Element(read, 0);
  read.Deserialize(parser.GetDocumentElement());
  const CAgentInfoContent& r = read.GetContent();
  EXPECT_EQ(r.GetSchemas().size(), 1u);
  EXPECT_EQ(r.GetContentDates().size(), 1u);
  EXPECT_EQ(r.GetModules().size(), 1u);
  EXPECT_EQ(r.GetUpdates().size(), 1u);
  EXPECT_EQ(r.GetPolicySourceCount(), 1u);
  EXPECT_EQ(Element(read, 0), once);

  const std::string sparse =
      "<agent-startup-announcement xmlns='" + kAgentNs + "' schema-version='1.0.4' name='other'/>";
  parser.Parse(sparse.data(), sparse.size(), kParseNoValidation);
  read.Deserialize(parser.GetDocumentElement());
  EXPECT_TRUE(r.GetSchemas().empty() && r.GetContentDates().empty() && r.GetModules().empty() &&
              r.GetUpdates().empty());
  EXPECT_EQ(r.GetPolicySourceCount(), 0u);
  EXPECT_EQ(r.GetCopyrightInfo(), L"");
  EXPECT_EQ(r.GetPatentInfo(), L"");
  EXPECT_EQ(r.GetHostInfo().GetHostName(), L"");
  EXPECT_EQ(r.GetName(), L"other");
}

TEST_F(Messages, ContentReadingRulesAndVersionGate) {
  auto read = [](const std::string& attributes) {
    auto a = ReadAs<CAgentStartupAnnouncement>("<agent-startup-announcement xmlns='" + kAgentNs +
                                               "' schema-version='1.0.4' " + attributes + "/>");
    if (!a) throw std::runtime_error("announcement not read");
    return a;
  };
  EXPECT_EQ(read("agent-status='0x10'")->GetContent().GetAgentStatus(), 16u);
  EXPECT_EQ(read("agent-status='010'")->GetContent().GetAgentStatus(), 8u);
  EXPECT_EQ(read("agent-status='abc'")->GetContent().GetAgentStatus(), 0x47380022u);
  EXPECT_EQ(read("")->GetContent().GetAgentStatus(), 0x47380022u);
  auto yes = read("persistent-connection='yes'");
  EXPECT_EQ(yes->GetContent().GetPersistentConnection(), kTriNotStated);
  EXPECT_EQ(Element(*yes, 0).find("persistent-connection"), std::string::npos);
  CAgentStartupAnnouncement old;
  old.GetContent().SetRegisterAgent(L"r");
  old.GetContent().SetPersistentConnection(kTriTrue);
  old.SetNamespace(uri::kCml);
  old.SetSchemaVersion(L"2.4.1");
  EXPECT_EQ(Element(old, 0).find("register-agent"), std::string::npos);
  old.SetSchemaVersion(L"2.4.5");
  EXPECT_NE(Element(old, 0).find("register-agent='r' persistent-connection='true'"),
            std::string::npos);
}

TEST_F(Messages, DeserialisationFailures) {
  const std::string head = "<qel xmlns='" + kBase + "' schema-version='1.0.1'>";
  auto codeOf = [](const std::string& text) { return CodeOf([&] { test::Read(text); }); };
  EXPECT_EQ(codeOf(head + "<cml xmlns='urn:elsewhere'/></qel>"), 0xC7380005u);
  EXPECT_EQ(codeOf(head + "<cml xmlns='" + kBase + "/cml/Message'/></qel>"), 0xC7380005u);
  const std::string unknown = head + "<cml xmlns='" + kBase + "/cml/Message'><message-envelope>"
                              "<message-body><request><nobody-knows-me/></request>"
                              "</message-body></message-envelope></cml></qel>";
  try {
    test::Read(unknown);
    FAIL();
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetText(), L"Document is not a message");
    EXPECT_EQ(e.GetOperation(), L"Error deserializing CML request");
  }
  const std::string foreignDestination =
      head + "<cml xmlns='" + kBase + "/cml/Message'><message-envelope>"
      "<destination xmlns='urn:x' name='d'/><message-body/></message-envelope></cml></qel>";
  auto message = ReadAs<CCmlMessage>(foreignDestination);
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(message->GetDestinations().empty());
}

TEST_F(Messages, NameValuePairElement) {
  CNameValuePair p(L"urn:p", L"a'b", L"c\nd", 3);
  std::ostringstream os;
  p.SerializeElement(os, 1);
  EXPECT_EQ(os.str(), "    <param xmlns='urn:p' name='a&apos;b' value='c&#xa;d' ordinal='3'/>\n");
  CCmlParser parser;
  const std::string xml = "<param xmlns='urn:p' name='n' value='v' ordinal='0x10'/>";
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  CNameValuePair back;
  back.Deserialize(parser.GetDocumentElement());
  EXPECT_EQ(back.GetOrdinal(), 16);
  EXPECT_EQ(back.GetNamespace(), L"urn:p");
}

// Status details that are AVP sections become read-only AVP sections policies; other
// details stay policy nodes. Registering the announcement is all it takes.
TEST_F(Messages, ModuleStatusDetailsConvertToReadOnlyAvpSections) {
  CCmlClassFactory* factory = CCmlClassFactory::GetGlobalFactory();
  for (const wchar_t* ns :
       {uri::kAvpSections, uri::kCdAvpSections, uri::kRoAvpSections, uri::kCdRoAvpSections}) {
    factory->DeregisterDocumentClassFactory(ns, version::kAvpSections);
  }
  CAgentStartupAnnouncement::Register();
  const std::string xml = "<module-list xmlns='" + kAgentNs +
                          "'><module name='m' version='1'>"
                          "<policy xmlns='" +
                          kBase +
                          "/cml/AvpSections' schema-version='1.0.0' name='avp'>"
                          "<section name='s1'><param xmlns='" +
                          kBase +
                          "/cml/AvpSections' name='k' value='v'/>"
                          "</section></policy><other xmlns='urn:o'/></module></module-list>";
  CCmlParser parser;
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  for (const std::wstring& messageNamespace :
       {std::wstring(uri::kAgentMessages), std::wstring(uri::kCdAgentStatusDetails)}) {
    CModuleInfo module;
    module.Deserialize(CCmlDOM_Element(parser.GetDocumentElement().getFirstChild()));
    module.ConvertStatusDetails(messageNamespace);
    auto* avp = dynamic_cast<CCmlAvpSections*>(module.GetPolicySources().Get(0));
    ASSERT_NE(avp, nullptr);
    EXPECT_EQ(avp->GetNamespace(), messageNamespace == uri::kAgentMessages
                                       ? std::wstring(uri::kRoAvpSections)
                                       : std::wstring(uri::kCdRoAvpSections));
    EXPECT_EQ(avp->GetPolicyName(), L"avp");
    ASSERT_NE(avp->FindSection(L"s1"), nullptr);
    EXPECT_EQ(*avp->FindSection(L"s1")->FindValue(L"k"), L"v");
    EXPECT_NE(dynamic_cast<CPolicyNode*>(module.GetPolicySources().Get(1)), nullptr);
    // Written, the converted policy reads back in its new namespace.
    auto back = ReadAs<CCmlAvpSections>(Write(*avp));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back->FindSection(L"s1")->FindValue(L"k"), L"v");
  }
}

// The constructor that takes every field puts each where the writer finds it.
TEST_F(Messages, ContentConstructorTakesEveryField) {
  CAgentInfoContent c(L"n", L"id", L"ns", L"v", L"mo", L"tv", L"aip", L"dip", L"gh", true, false,
                      0x10u, L"ltp", 7u, L"tsd", L"ra", kTriTrue, kTriFalse, uri::kCml, L"2.4.1",
                      L"lr");
  CAgentStartupAnnouncement a(vocab::kAgentStartupAnnouncement, uri::kAgentMessages, L"1.0.4", L"R",
                              true, c);
  const std::string text = Element(a, 0);
  EXPECT_NE(text.find("name='n' agent-id='id' namespace='ns' version='v' model='mo' "
                      "tqe-version='tv' agent-install-path='aip' daemon-install-path='dip' "
                      "agent-status='0x10'"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("last-tqe-path='ltp' groupname-hint='gh' use-local-settings='true' "
                      "last-restart='lr' send-new-schemas='false' tqe-status='7' "
                      "tqe-status-description='tsd' register-agent='ra' "
                      "persistent-connection='true' reverse-connection='false'"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace cml
}  // namespace qel
