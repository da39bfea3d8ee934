// Document forms and ownership: message layouts, file and wide-stream output, the
// base reader's namespace check, policy nodes outliving their parser, module records,
// and the guarded implicit namespace set under concurrent use.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include "cml/cml_agent_startup_announcement.h"
#include "cml/cml_group_settings.h"
#include "cml/cml_implicit_namespaces.h"
#include "cml/cml_message.h"
#include "cml/cml_module_info.h"
#include "cml/cml_node_writer.h"
#include "cml/cml_policy_document_text.h"
#include "cml/cml_policy_node.h"
#include "cml/cml_serializer.h"
#include "cml/cml_set_site_request.h"
#include "cml/cml_set_site_response.h"
#include "cml/cml_settings.h"
#include "cml/cml_status_text.h"
#include "cml/cml_uris.h"
#include "cml/cml_xerces.h"
#include "cml_test_util.h"
#include "qelConnectionServer/process_set_site_message.h"

namespace qel {
namespace cml {
namespace {

using test::CodeOf;
using test::ReadAs;
using test::Write;

const std::string kBase = "http://www.example.com";

class Documents : public ::testing::Test {
 protected:
  void SetUp() override { qel::funneltunnel::prepare_set_site_message_support(); }
};

// The older layout: a "cml" element of "/cml" at 2.4.2 over body elements at 2.4.1,
// which do not carry the 2.4.2 attributes of the agent information; it reads back as
// itself, announcement and set-site response included.
TEST_F(Documents, OlderMessageLayoutIsWrittenAndRead) {
  CCmlMessage message;
  message.SetSchemaVersion(L"1.0.0");
  EXPECT_EQ(message.GetMessageLayerNamespace(), uri::kCml);
  EXPECT_EQ(message.GetMessageLayerVersion(), L"2.4.2");
  auto* announcement = new CAgentStartupAnnouncement();
  CAgentInfoContent& content = announcement->GetContent();
  content.SetName(L"old agent");
  content.SetPersistentConnection(kTriTrue);
  content.SetReverseConnection(kTriFalse);
  content.SetTqeStatus(5);
  content.SetRegisterAgent(L"yes");
  message.AddRequest(announcement);
  message.AddResponse(new CSetSiteResponse());
  message.ApplyMessageLayerToChildren();
  EXPECT_EQ(announcement->GetNamespace(), uri::kCml);
  EXPECT_EQ(announcement->GetSchemaVersion(), L"2.4.1");
  EXPECT_EQ(announcement->GetInstanceSchemaVersion(), L"2.4.1");
  EXPECT_EQ(message.GetResponses()[0]->GetSchemaVersion(), L"2.4.1");
  const std::string text = Write(message);
  EXPECT_NE(text.find("    <cml xmlns='" + kBase + "/cml' schema-version='2.4.2'>\n"),
            std::string::npos);
  // One schema location for "/cml": the 2.4.2 schema, which reads 2.4.1 elements.
  EXPECT_NE(text.find(kBase + "/cml ./schemas/cml/cml2_4_2.xsd'"), std::string::npos) << text;
  EXPECT_EQ(text.find("cml2_4_1"), std::string::npos);
  EXPECT_NE(text.find("<agent-startup-announcement xmlns='" + kBase +
                      "/cml' schema-version='2.4.1' request-id='' name='old agent'"),
            std::string::npos);
  EXPECT_NE(text.find("<set-site-response xmlns='" + kBase + "/cml' schema-version='2.4.1'"),
            std::string::npos);
  EXPECT_NE(text.find("    xmlns='" + kBase + "' schema-version='1.0.0'>\n"), std::string::npos);
  for (const char* feature :
       {"tqe-status", "register-agent", "persistent-connection", "reverse-connection"}) {
    EXPECT_EQ(text.find(feature), std::string::npos) << feature;
  }
  auto back = ReadAs<CCmlMessage>(text);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetSchemaVersion(), L"1.0.0");
  EXPECT_EQ(back->GetMessageLayerNamespace(), uri::kCml);
  EXPECT_EQ(back->GetMessageLayerVersion(), L"2.4.2");
  ASSERT_EQ(back->GetRequests().size(), 1u);
  auto* read = dynamic_cast<CAgentStartupAnnouncement*>(back->GetRequests()[0].get());
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->GetContent().GetName(), L"old agent");
  EXPECT_EQ(read->GetSchemaVersion(), L"2.4.1");
  ASSERT_EQ(back->GetResponses().size(), 1u);
  EXPECT_EQ(static_cast<CSetSiteResponse&>(*back->GetResponses()[0]).GetPolicySourceCount(), 0u);
  EXPECT_EQ(Write(*back), text);
  // A body element of a later patch than the "cml" element is still a conflict.
  back->GetRequests()[0]->SetSchemaVersion(L"2.4.3");
  EXPECT_EQ(CodeOf([&] { Write(*back); }), 0xC738000Eu);
}

// Group settings are read in both of their namespaces, and their comments and
// processing instructions come back in their place.
TEST_F(Documents, GroupSettingsInBothNamespacesKeepCommentsAndInstructions) {
  CCmlGroupSettings::Register();
  for (const std::string ns : {"/cml/GroupSettings", "/cml/CommonDocuments/GroupSettings"}) {
    SCOPED_TRACE(ns);
    const std::string text =
        "<?xml version='1.0' encoding='UTF-8' standalone='no'?>\n"
        "<policy xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'\n"
        "    xsi:schemaLocation='" +
        kBase + ns + " ./schemas" + ns +
        "/GroupSettings2_3_3.xsd'"
        " xmlns='" +
        kBase + ns +
        "' schema-version='2.3.3' name='p'>\n"
        "    <!-- before the settings -->\n"
        "    <agent-settings a='1'>\n"
        "        <?tune fast?>\n"
        "        <poster-info host='h'/>\n"
        "        <!--inside-->\n"
        "    </agent-settings>\n"
        "    <mixed>text<!--c--><?pi?></mixed>\n"
        "    <?after?>\n"
        "</policy>\n";
    auto policy = ReadAs<CCmlGroupSettings>(text);
    ASSERT_NE(policy, nullptr);
    EXPECT_EQ(policy->GetNamespace(), FromUtf8(kBase + ns));
    ASSERT_EQ(policy->GetSettings().size(), 4u);
    EXPECT_EQ(policy->GetSettings()[0].GetKind(), CGroupSettingsNode::Kind::Comment);
    EXPECT_EQ(policy->GetSettings()[0].GetText(), L" before the settings ");
    const CGroupSettingsNode* agent = policy->FindSetting(L"agent-settings");
    ASSERT_NE(agent, nullptr);
    ASSERT_EQ(agent->GetChildren().size(), 3u);
    EXPECT_EQ(agent->GetChildren()[0].GetKind(), CGroupSettingsNode::Kind::ProcessingInstruction);
    EXPECT_EQ(agent->GetChildren()[0].GetName(), L"tune");
    EXPECT_EQ(agent->GetChildren()[0].GetText(), L"fast");
    EXPECT_NE(agent->FindChild(L"poster-info", FromUtf8(kBase + ns)), nullptr);
    EXPECT_EQ(Write(*policy), text);
  }
  // What would not read back is refused, not written differently.
  CCmlGroupSettings policy;
  policy.AddSetting(L"s").AddComment(L"a--b");
  EXPECT_EQ(CodeOf([&] { Write(policy); }), 0xC7210003u);
  CCmlGroupSettings instruction;
  instruction.AddProcessingInstruction(L"xml", L"x");
  EXPECT_EQ(CodeOf([&] { Write(instruction); }), 0xC7210003u);
}

TEST_F(Documents, BaseReaderChecksTheNamespace) {
  CCmlParser parser;
  const std::string xml = "<policy xmlns='urn:wrong' schema-version='2.3.3'/>";
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  CCmlGroupSettings policy;
  try {
    policy.Deserialize(parser.GetDocumentElement());
    FAIL();
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC738000Au);
    EXPECT_EQ(e.GetText(), L"Unrecognized namespace urn:wrong");
  }
  EXPECT_EQ(CodeOf([&] { policy.Deserialize(CCmlDOM_Element()); }), 0xC738000Fu);
  CCmlMessage message;
  EXPECT_EQ(CodeOf([&] { message.Deserialize(CCmlDOM_Element()); }), 0xC738000Fu);
}

TEST_F(Documents, FileAndWideStreamForms) {
  CCmlGroupSettings policy;
  policy.SetPolicyName(L"caf\u00e9");
  const std::string path = ::testing::TempDir() + "cml_docs/x/y/policy.xml";
  policy.SerializeToFile(path.c_str());
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, Write(policy));
  EXPECT_EQ(content,
            "<?xml version='1.0' encoding='UTF-8' standalone='no'?>\n"
            "<policy xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'\n"
            "    xsi:schemaLocation='" + kBase + "/cml/CommonDocuments/GroupSettings "
            "./schemas/cml/CommonDocuments/GroupSettings/GroupSettings2_3_3.xsd' xmlns='" +
            kBase + "/cml/CommonDocuments/GroupSettings' schema-version='2.3.3' "
            "name='caf\xc3\xa9'/>\n");
  EXPECT_EQ(CodeOf([&] { policy.SerializeToFile(static_cast<const char*>(nullptr)); }),
            0xC7210003u);
  EXPECT_EQ(CodeOf([&] { policy.SerializeToFile("/proc/self/none/x.xml"); }), 0xC7210037u);
  std::wostringstream wide;
  policy.Serialize(wide);
  EXPECT_EQ(wide.str().rfind(L"<?xml version='1.0' encoding='UCS4'", 0), 0u);
  EXPECT_NE(wide.str().find(L"name='caf\u00e9'"), std::wstring::npos);
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t FilesIn(const std::string& folder) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.exists();
  return count;
}

// A write that fails leaves the file it would replace as it was, and no other file.
TEST_F(Documents, FileFormsKeepThePreviousFileWhenAWriteFails) {
  const std::string folder = ::testing::TempDir() + "cml_keep";
  const std::string path = folder + "/message.xml";
  CCmlMessage good;
  good.SerializeToFile(path.c_str());
  const std::string before = FileText(path);
  ASSERT_NE(before.find("</qel>"), std::string::npos);
  CCmlMessage clash;  // two versions of one namespace
  auto* response = new CSetSiteResponse();
  response->AddPolicySource(
      new CPolicyDocumentText(L"t", uri::kMessage, L"9.9.9", L"<t/>", L"", L""));
  clash.AddResponse(response);
  EXPECT_EQ(CodeOf([&] { clash.SerializeToFile(FromUtf8(path)); }), 0xC738000Eu);
  CCmlDOM_Document doc = CCmlDOM_Document::CreateEmpty();
  CCmlDOM_Element top = doc.createElement(L"d");
  doc.appendChild(top);
  CCmlDOM_Node current = top;
  for (unsigned i = 0; i < kMaxElementDepth; ++i)
    current = current.appendChild(doc.createElement(L"d"));
  EXPECT_EQ(CodeOf([&] { SerializeNodeToFile(top, path.c_str()); }), 0xC7380030u);
  EXPECT_EQ(FileText(path), before);
  EXPECT_EQ(FilesIn(folder), 1u);
  if (::geteuid() != 0) {  // permissions do not hold root back
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(CodeOf([&] { good.SerializeToFile(path.c_str()); }), 0xC7210021u);
    EXPECT_EQ(CodeOf([&] { SerializeNodeFormattedToFile(top.getFirstChild(), path.c_str()); }),
              0xC7210021u);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(FileText(path), before);
    EXPECT_EQ(FilesIn(folder), 1u);
  }
}

TEST_F(Documents, PolicyNodesOwnTheirElement) {
  std::unique_ptr<CSetSiteResponse> response;
  {
    const std::string xml = "<set-site-response xmlns='" + kBase +
                            "/cml/Message/AgentMessages' schema-version='1.0.4'>"
                            "<k:keep xmlns:k='urn:k' name='n1' version='v1'><k:c/></k:keep>"
                            "</set-site-response>";
    response = ReadAs<CSetSiteResponse>(xml);  // its parser is gone after this line
  }
  ASSERT_NE(response, nullptr);
  auto* node = dynamic_cast<CPolicyNode*>(response->GetPolicySource(0));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->GetPolicyName(), L"n1");
  EXPECT_EQ(node->GetPolicyVersion(), L"v1");
  EXPECT_FALSE(node->IsValid());  // no valid='true'
  auto clone = node->ClonePolicy();
  clone->SetSchemaVersion(L"9.9.9");
  EXPECT_EQ(node->GetSchemaVersion(), L"");
  EXPECT_EQ(static_cast<CPolicyNode&>(*clone).GetElement().getAttribute(L"schema-version"),
            L"9.9.9");
  std::ostringstream os;
  node->SerializeElement(os, 0);
  EXPECT_EQ(os.str(), "<k:keep xmlns:k='urn:k' name='n1' version='v1'>\n    <k:c/>\n</k:keep>\n");
}

// Rebinding a policy node makes it a policy node of the new element, with a copy of
// its own: the namespace, tag, versions and name follow, the old document may go.
TEST_F(Documents, PolicyNodeFollowsARebinding) {
  CCmlParser first;
  const std::string a = "<a xmlns='urn:a' name='n1'/>";
  first.Parse(a.data(), a.size(), kParseNoValidation);
  CPolicyNode node(first.GetDocumentElement());
  {
    CCmlParser second;
    const std::string b = "<b:x xmlns:b='urn:b' name='n2' schema-version='1.2.3' valid='true'/>";
    second.Parse(b.data(), b.size(), kParseNoValidation);
    node.SetDOMElement(second.GetDocumentElement().GetDOMNode());
  }
  EXPECT_EQ(node.GetNamespace(), L"urn:b");
  EXPECT_EQ(node.GetTagName(), L"b:x");
  EXPECT_EQ(node.GetSchemaVersion(), L"1.2.3");
  EXPECT_EQ(node.GetPolicyName(), L"n2");
  EXPECT_TRUE(node.IsValid());
  CNamespaceSet set;
  node.GetNamespaces(set);
  EXPECT_EQ(set.count(CNamespace(L"urn:b", L"")), 1u);
  std::ostringstream os;
  node.SerializeElement(os, 0);
  EXPECT_EQ(os.str(), "<b:x xmlns:b='urn:b' name='n2' schema-version='1.2.3' valid='true'/>\n");
}

// A tag read with a prefix is written with the prefix bound; a tag that is no XML
// name, or a prefix with nothing to bind to, is refused instead of written.
TEST_F(Documents, TagsAreWrittenAsNamesThatReadBack) {
  const std::string prefixed = "<a:set-site-request xmlns:a='" + kBase +
                               "/cml/Message/AgentMessages' schema-version='1.0.4'>"
                               "<a:set-site-request-info set-site='false'/></a:set-site-request>";
  // The class factory knows tags as written, so the element is read directly.
  auto read = [](const std::string& xml) {
    CCmlParser parser;
    parser.Parse(xml.data(), xml.size(), kParseNoValidation);
    auto request = std::make_unique<CSetSiteRequest>();
    request->Deserialize(parser.GetDocumentElement());
    return request;
  };
  std::unique_ptr<CSetSiteRequest> request = read(prefixed);
  EXPECT_FALSE(request->GetSetSite());
  const std::string text = Write(*request);
  EXPECT_NE(text.find("xmlns='" + kBase + "/cml/Message/AgentMessages' xmlns:a='" + kBase +
                      "/cml/Message/AgentMessages' schema-version='1.0.4'"),
            std::string::npos);
  std::unique_ptr<CSetSiteRequest> again = read(text);
  EXPECT_FALSE(again->GetSetSite());
  EXPECT_EQ(again->GetPolicySourceCount(), 0u);  // the info child stayed in its namespace
  EXPECT_EQ(Write(*again), text);
  CCmlGroupSettings policy;
  policy.SetTagName(L"p:policy");
  policy.SetNamespace(L"");
  EXPECT_EQ(CodeOf([&] { Write(policy); }), 0xC7210003u);
  policy.SetTagName(L"bad tag");
  EXPECT_EQ(CodeOf([&] { Write(policy); }), 0xC7210003u);
  CCmlMessage message;
  message.GetSource().SetTag(L"s:source");  // records carry no namespace of their own
  EXPECT_EQ(CodeOf([&] { Write(message); }), 0xC7210003u);
}

// Only a leading XML declaration is dropped from a document text.
TEST_F(Documents, DocumentTextKeepsEverythingButALeadingDeclaration) {
  const std::wstring kept[] = {L"<a><?pi x?></a>", L"<a><!-- ?> --></a>",
                               L"<?xml-stylesheet href='s'?><a/>", L"plain ?> text"};
  for (const std::wstring& text : kept) {
    EXPECT_EQ(CPolicyDocumentText(L"t", L"", L"", text, L"", L"").GetText(), text);
  }
  EXPECT_EQ(SkipXmlDeclaration(std::wstring(L"\xfeff \n<?xml version='1.0'?>\n<a/>")), L"\n<a/>");
  EXPECT_EQ(SkipXmlDeclaration(std::string("<?xml version='1.0' encoding='UTF-8'?><a?>")), "<a?>");
}

TEST_F(Documents, ModuleRecordsWithStatusDetails) {
  CModuleInfo module(L"mod", L"1.2", 0x47380022u);
  std::wostringstream empty;
  CCmlOutput out(empty);
  module.WriteElement(out, 0);
  out.Finish();
  EXPECT_EQ(empty.str(), L"<module name='mod' version='1.2'/>\n");
  CCmlParser parser;
  const std::string xml = "<d:detail xmlns:d='urn:d' a='1'/>";
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  module.GetPolicySources().AddNode(parser.GetDocumentElement());
  module.SetStatus(0);
  std::wostringstream nested;
  CCmlOutput out2(nested);
  module.WriteElement(out2, 1);
  out2.Finish();
  EXPECT_EQ(nested.str(), L"    <module name='mod' version='1.2' status='0x0' status-text='" +
                              EscapeAttributeValue(StatusText(0)) +
                              L"'>\n        <d:detail xmlns:d='urn:d' a='1'/>\n    </module>\n");
}

TEST_F(Documents, DeserializeDocumentRejectsInstanceNamespacesClashingWithImplicitOnes) {
  CNamespaceSet set{CNamespace(uri::kAgentMessages, L"1.0.4")};
  const std::string xml = "<x/>";
  EXPECT_EQ(CodeOf([&] { DeserializeDocument(xml.data(), xml.size(), kParseValidate, &set); }),
            0xC7380024u);
  // Without validation the set is not used.
  EXPECT_EQ(DeserializeDocument(xml.data(), xml.size(), kParseNoValidation, &set), nullptr);
}

// A set-site response whose long first policy is written before a policy node that
// was made deeper than the limit after it was adopted.
std::unique_ptr<CSetSiteResponse> ResponseFailingLate() {
  auto response = std::make_unique<CSetSiteResponse>();
  response->AddPolicySource(
      new CPolicyDocumentText(L"Long", L"", L"", std::wstring(9000, L'x'), L"", L""));
  CCmlParser parser;
  const std::string xml = "<p:deep xmlns:p='urn:p'/>";
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  auto* node = static_cast<CPolicyNode*>(response->AddPolicyNode(parser.GetDocumentElement()));
  xercesc::DOMNode* current = node->GetElement().GetDOMNode();
  for (unsigned i = 0; i < kMaxElementDepth + 1; ++i) {
    current = current->appendChild(
        current->getOwnerDocument()->createElement(ToXml(L"d").c_str()));
  }
  return response;
}

TEST_F(Documents, FailedWritesLeaveTheStreamUntouched) {
  std::unique_ptr<CSetSiteResponse> response = ResponseFailingLate();
  std::ostringstream bytes;
  EXPECT_EQ(CodeOf([&] { response->Serialize(bytes); }), 0xC7380030u);
  EXPECT_EQ(bytes.str(), "");
  std::wostringstream wide;
  EXPECT_EQ(CodeOf([&] { response->SerializeElement(wide, 0); }), 0xC7380030u);
  EXPECT_EQ(wide.str(), L"");
  CCmlMessage message;
  message.AddResponse(response.release());
  std::ostringstream whole;
  EXPECT_EQ(CodeOf([&] { message.Serialize(whole); }), 0xC7380030u);
  EXPECT_EQ(whole.str(), "");
  std::ostringstream broken;  // a stream that takes nothing: the caller is told
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(CodeOf([&] { CCmlMessage().Serialize(broken); }), 0xC7380034u);
  // The same message without the faulty node is written in full.
  message.GetResponses()[0].reset(new CSetSiteResponse());
  EXPECT_EQ(CodeOf([&] { message.Serialize(whole); }), 0u);
  EXPECT_NE(whole.str().find("</qel>\n"), std::string::npos);
}

TEST_F(Documents, NullPolicySourceIsRefusedAndTheListKept) {
  CSetSiteResponse response;
  response.AddPolicySource(new CPolicyDocumentText(L"Keep", L"", L"", L"<Keep/>", L"", L""));
  EXPECT_EQ(CodeOf([&] { response.SetPolicySource(0, nullptr); }), 0xC7210003u);
  CSetSiteRequest request;
  request.AddPolicySource(new CPolicyDocumentText(L"Keep", L"", L"", L"<Keep/>", L"", L""));
  EXPECT_EQ(CodeOf([&] { request.SetPolicySource(0, nullptr); }), 0xC7210003u);
  EXPECT_EQ(CodeOf([&] { request.SetPolicySource(1, nullptr); }), 0xC738000Bu);
  // Both still write, copy and collect namespaces with their original entry.
  for (const CCmlDocumentBase* document : {static_cast<const CCmlDocumentBase*>(&response),
                                           static_cast<const CCmlDocumentBase*>(&request)}) {
    std::unique_ptr<CCmlDocumentBase> copy = document->Clone();
    EXPECT_NE(Write(*copy).find("\n<Keep/>\n"), std::string::npos);
  }
}

TEST(ImplicitNamespaces, ConcurrentAdditionsAndReadsStayConsistent) {
  test::CSettingsGuard settings;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        CImplicitNamespaces::Add(CNamespace(L"urn:shared", L"1.0.0"));
        CImplicitNamespaces::Add(CNamespace(L"urn:t" + std::to_wstring(t), L"1.0.0"));
        std::wstring version;
        ASSERT_TRUE(CImplicitNamespaces::Find(L"urn:shared", version));
        ASSERT_EQ(version, L"1.0.0");
        CCmlParser parser;
        ASSERT_EQ(CodeOf([&] { parser.AddNamespace(L"urn:shared", L"1.0.0"); }), 0xC7380024u);
      }
    });
  }
  for (auto& th : threads) th.join();
  CNamespaceSet snapshot = CImplicitNamespaces::Snapshot();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(snapshot.count(CNamespace(L"urn:t" + std::to_wstring(t), L"")), 1u);
  }
}

}  // namespace
}  // namespace cml
}  // namespace qel
